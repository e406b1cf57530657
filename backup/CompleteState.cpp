#include "backup/CompleteState.h"

#include <cerrno>

#include "platform/CopyAttributes.h"
#include "platform/DirectoryReader.h"
#include "platform/FileCopy.h"
#include "platform/OwnTemporary.h"
#include "platform/PathUtil.h"
#include "run/DatedFolders.h"

namespace kalvero {

namespace {

bool SameInode(const platform::FileStatus& a, const platform::FileStatus& b) {
  return a.device == b.device && a.inode == b.inode;
}

// The errors of a file system (or a mount) that keeps no second names.
bool RefusesLinks(int err) { return err == EPERM || err == EXDEV || err == ENOTSUP || err == EOPNOTSUPP; }

std::string LastComponent(const std::string& folder) {
  const std::string plain = WithoutTrailingSlash(folder);
  const std::size_t slash = plain.rfind('/');
  return slash == std::string::npos ? plain : plain.substr(slash + 1);
}

}  // namespace

bool CopyHoldsSource(const platform::FileStatus& source, const std::string& sourcePath,
                     const platform::FileStatus& copy, const std::string& copyPath, bool archive,
                     bool attributesKept) {
  if (copy.kind != platform::EntryKind::File || copy.isSymlink) return false;
  if (archive) {
    // In the archive's own time unit (100 ns): it gets its source's time.
    return source.lastWrite <= copy.lastWrite && !platform::changedAfter(source, copy) &&
           (!attributesKept || platform::archiveAttributesMatch(source, copy));
  }
  if (copy.size != source.size || copy.mtimeSeconds != source.mtimeSeconds ||
      copy.mtimeNanoseconds != source.mtimeNanoseconds)
    return false;
  if (!attributesKept) return true;
  return platform::plainCopyAttributesMatch(source, copy) &&
         (!platform::changedAfter(source, copy) || platform::sameExtendedAttributes(sourcePath, copyPath));
}

namespace {

bool EmptyOrMissing(const std::string& folder) {
  platform::DirectoryReader reader(folder);
  platform::DirEntry entry;
  return !reader.isOpen() || !reader.next(entry);
}

std::string NewestEarlierComplete(const std::string& destination, const std::string& today) {
  const std::string todayName = LastComponent(today);
  std::string base;
  for (const DatedFolder& f : ListDatedFolders(destination))
    if (f.complete && f.name < todayName) base = WithTrailingSlash(f.path);
  return base;
}

}  // namespace

std::string FreshStateBase(const BackupOptions& options, const std::string& destination, const std::string& today) {
  if (!options.SubVerzDatum || !options.DatumVollstaendig || !EmptyOrMissing(today)) return {};
  return NewestEarlierComplete(destination, today);
}

void CompleteState::begin(const BackupOptions& options, const std::string& destination, const std::string& today) {
  active_ = options.SubVerzDatum != 0 && options.DatumVollstaendig != 0;
  refused_ = noted_ = false;
  base_.clear();
  if (!active_) return;
  attributesKept_ = platform::keepsModesAndOwners(destination);
  fresh_ = EmptyOrMissing(today);
  base_ = NewestEarlierComplete(destination, today);
}

std::string CompleteState::unchangedCopy(const std::string& relative, const platform::FileStatus& source,
                                         const std::string& sourcePath, bool archive,
                                         platform::FileStatus* status) const {
  if (base_.empty()) return {};
  std::string copy = base_ + relative;
  const auto st = platform::lstatPath(copy);
  if (!st || !CopyHoldsSource(source, sourcePath, *st, copy, archive, attributesKept_)) return {};
  if (status) *status = *st;
  return copy;
}

CompleteState::Link CompleteState::link(const std::string& baseCopy, const std::string& target, bool replace,
                                        int* err) {
  int e = 0;
  if (platform::linkPath(baseCopy, target, &e)) return Link::Done;
  if (e == EEXIST && replace) {
    // Already this file (a run of the same day got this far), or a copy
    // that is replaced by name: never written through.
    const auto present = platform::lstatPath(target);
    const auto copy = platform::lstatPath(baseCopy);
    if (present && copy && SameInode(*present, *copy)) return Link::Done;
    for (int attempt = 0; attempt < 10 && e == EEXIST; ++attempt) {
      const std::string temporary = platform::ownTemporaryBeside(target);
      e = 0;
      if (platform::linkPath(baseCopy, temporary, &e))
        return platform::commitTemporary(temporary, target, &e) ? Link::Done : (*err = e, Link::Failed);
    }
  }
  *err = e;
  // EMLINK and the rest: this file is copied.
  return refusedBy(e) ? Link::Unsupported : Link::Failed;
}

bool CompleteState::refusedBy(int err) {
  refused_ = refused_ || RefusesLinks(err);
  return RefusesLinks(err);
}

}  // namespace kalvero
