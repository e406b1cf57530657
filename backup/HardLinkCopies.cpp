#include "backup/HardLinkCopies.h"

#include <cerrno>

#include "platform/OwnTemporary.h"

namespace kalvero {

namespace {

bool SameFile(const platform::FileStatus& a, const platform::FileStatus& b) {
  return a.device == b.device && a.inode == b.inode;
}

}  // namespace

const std::string* HardLinkCopies::copyOf(const platform::FileStatus& source) const {
  const auto found = copies_.find({source.device, source.inode});
  if (found == copies_.end()) return nullptr;
  const platform::FileStatus& was = found->second.state;
  // Written since its copy was made: the copy no longer holds it.
  if (was.size != source.size || was.mtimeSeconds != source.mtimeSeconds ||
      was.mtimeNanoseconds != source.mtimeNanoseconds)
    return nullptr;
  return &found->second.path;
}

void HardLinkCopies::remember(const platform::FileStatus& source, const std::string& copy) {
  copies_.insert_or_assign({source.device, source.inode}, Copy{source, copy});
}

bool LinkToCopy(const std::string& earlier, CopyJob& job) {
  job.finalName.clear();
  job.pending.clear();
  job.cancelled = false;
  const auto copy = platform::lstatPath(earlier);
  if (!copy || copy->kind != platform::EntryKind::File || copy->isSymlink) return false;
  // A rename onto another name of the same file would leave both names.
  if (const auto present = platform::lstatPath(job.destination); present && SameFile(*present, *copy)) return true;
  for (int attempt = 0; attempt < 10; ++attempt) {
    const std::string temporary = platform::ownTemporaryBeside(job.destination);
    int err = 0;
    if (platform::linkPath(earlier, temporary, &err)) {
      job.pending = temporary;
      return true;
    }
    if (err != EEXIST) return false;
  }
  return false;
}

}  // namespace kalvero
