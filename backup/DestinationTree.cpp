#include "backup/DestinationTree.h"

#include <fmt/printf.h>
#include <limits.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <optional>
#include <vector>

#include "backup/BackupTexts.h"
#include "backup/CompressZip.h"
#include "platform/FileError.h"
#include "platform/FileSystem.h"
#include "platform/LevelOpen.h"
#include "platform/PathUtil.h"
#include "platform/TreeCopy.h"
#include "zip/ZipArchiveLayer.h"

namespace kalvero {

namespace {

std::string join(const std::string& dir, const std::string& name) { return dir == "/" ? "/" + name : dir + "/" + name; }

std::string nameOf(const std::string& path) { return path.substr(path.rfind('/') + 1); }

bool fail(int* err, int value) {
  if (err) *err = value;
  return false;
}

using Status = std::optional<platform::FileStatus>;

// The entry itself (a link is not followed); e holds the errno when there is none.
Status entryStatus(const std::string& path, int& e) { return platform::lstatPath(path, &e); }

DestinationTree::Kind kindOf(const platform::FileStatus& st) {
  if (st.isSymlink) return DestinationTree::Kind::Link;
  if (st.kind == platform::EntryKind::Directory) return DestinationTree::Kind::Directory;
  return DestinationTree::Kind::File;
}

bool isRegular(const Status& st) { return st && !st->isSymlink && st->kind == platform::EntryKind::File; }

// name cut to at most max bytes, never inside a UTF-8 sequence.
std::string cutName(const std::string& name, std::size_t max) {
  if (name.size() <= max) return name;
  std::size_t n = max;
  while (n > 0 && (static_cast<unsigned char>(name[n]) & 0xC0) == 0x80) --n;
  return name.substr(0, n);
}

}  // namespace

DestinationTree::~DestinationTree() { closeOpenDirectory(); }

void DestinationTree::beginRun(std::string date) {
  date_ = std::move(date);
  verified_.clear();
  turnDir_.clear();
  closeOpenDirectory();
}

void DestinationTree::closeOpenDirectory() {
  if (openDirFd_ >= 0) ::close(openDirFd_);
  openDirFd_ = -1;
  openDir_.clear();
}

int DestinationTree::directoryOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos || slash == 0 || path.size() >= PATH_MAX) return -1;
  if (openDirFd_ >= 0 && openDir_.size() == slash && path.compare(0, slash, openDir_) == 0) return openDirFd_;
  return openVerified(path.substr(0, slash));
}

int DestinationTree::openVerified(const std::string& dir) {
  if (openDirFd_ >= 0 && openDir_ == dir) return openDirFd_;
  if (!verified_.count(dir)) return -1;  // only what this run made or checked
  closeOpenDirectory();
  openDirFd_ = platform::openDirectoryBelow(destRoot_, dir);
  if (openDirFd_ >= 0) openDir_ = dir;
  return openDirFd_;
}

std::optional<platform::FileStatus> DestinationTree::look(const std::string& path, int* err) {
  const int dir = directoryOf(path);
  if (dir < 0) return platform::lstatPath(path, err);
  return platform::statusAt(dir, LastName(path), path, err);
}

void DestinationTree::beginPair(const std::string& sourceRoot, const std::string& destRoot, Hooks hooks) {
  closeOpenDirectory();
  turnDir_.clear();
  sourceRoot_ = WithoutTrailingSlash(sourceRoot);
  destRoot_ = WithoutTrailingSlash(destRoot);
  hooks_ = std::move(hooks);
}

std::string DestinationTree::sourceOf(const std::string& destination) const {
  const std::size_t skip = destRoot_ == "/" ? 1 : destRoot_.size() + 1;
  return destination.size() > skip ? join(sourceRoot_, destination.substr(skip)) : sourceRoot_;
}

bool DestinationTree::makeDirectories(const std::string& dir, int* err, bool quiet) {
  if (!verified_.count(destRoot_)) {
    // The root and what lies above it are the user's: made as the path says.
    if (GetPathKind(destRoot_) != PathKind::Directory && !MakeDirectories(destRoot_, err)) return false;
    verified_[destRoot_] = Level{};
  }
  const std::string d = WithoutTrailingSlash(dir);
  if (d == destRoot_) return true;
  const std::size_t skip = destRoot_ == "/" ? 1 : destRoot_.size() + 1;
  if (d.size() <= skip || d.compare(0, destRoot_.size(), destRoot_) != 0 || d[skip - 1] != '/')
    return fail(err, EXDEV);  // never anything outside the pair's destination
  for (int attempt = 0; attempt < 3; ++attempt) {
    int e = 0;
    if (!makeLevels(d, skip, &e, quiet)) {
      if (quiet || e != ELOOP) return fail(err, e);
      continue;  // a level replaced since it was checked: each one again
    }
    if (quiet) return true;
    // The first file of a directory in its own turn opens it anew below the
    // root (the open is kept for the files' looks and renames): a level the
    // user replaced by a link since it was checked is checked again.
    if (d != turnDir_) {
      closeOpenDirectory();
      turnDir_ = d;
    }
    if (openVerified(d) >= 0) return true;
    forgetLevelsOf(d);
  }
  return fail(err, ELOOP);
}

void DestinationTree::forgetLevelsOf(const std::string& dir) {
  closeOpenDirectory();
  for (std::string level = dir; level.size() > destRoot_.size(); level.resize(level.rfind('/')))
    verified_.erase(level);
}

bool DestinationTree::makeLevels(const std::string& d, std::size_t skip, int* err, bool quiet) {
  // The next file into a directory of this run: its levels were all checked then.
  if (const auto known = verified_.find(d); known != verified_.end() && known->second.writable) return true;
  std::string path = destRoot_;
  std::size_t start = skip;
  while (start < d.size()) {
    std::size_t end = d.find('/', start);
    if (end == std::string::npos) end = d.size();
    path = join(path, d.substr(start, end - start));
    start = end + 1;
    const auto known = verified_.find(path);
    if (known != verified_.end() && known->second.writable) continue;
    if (!verifyLevel(path, err, quiet)) return false;
  }
  return true;
}

// One level below the root: a real directory afterwards, or false.
bool DestinationTree::verifyLevel(const std::string& path, int* err, bool quiet) {
  if (const auto known = verified_.find(path); known != verified_.end()) {
    // Its mode is changed only while it is still the folder this run checked.
    if (openVerified(path) < 0) {
      forgetLevelsOf(path);
      return fail(err, ELOOP);
    }
    if (!platform::makeOwnerWritable(path, err)) return false;
    known->second.writable = true;
    return true;
  }
  // A new level is looked at and made only while its parent still opens
  // below the root: never through a link that replaced the parent since.
  const std::string parent = path.substr(0, path.rfind('/'));
  if (parent != destRoot_ && openVerified(parent) < 0) {
    forgetLevelsOf(parent);
    return fail(err, ELOOP);
  }
  int zipErr = 0;
  // Our archive of a former file at this name is unpacked aside in the file's turn only.
  if (quiet && (look(path + ".zip", &zipErr) || zipErr != ENOENT)) return fail(err, EEXIST);
  Level level;
  for (int attempt = 0;; ++attempt) {
    int e = 0;
    const Status st = entryStatus(path, e);
    if (!st) {
      if (e != ENOENT) return fail(err, e);
      level.made = platform::makeDirectory(path, &e);
      if (level.made) break;
      if (e != EEXIST || attempt > 2) return fail(err, e);
      continue;  // made meanwhile: looked at again
    }
    if (kindOf(*st) == Kind::Directory) {
      if (!platform::makeOwnerWritable(path, err)) return false;
      break;
    }
    // Our copy of a link, or of a file the source had here before: never
    // followed, never written into; kept aside unless this run made it.
    if (quiet || attempt > 2 || (hooks_.takenThisRun && hooks_.takenThisRun(path))) return fail(err, EEXIST);
    if (!keepAside(path, kindOf(*st), err)) return false;
  }
  keepArchiveAside(path);
  verified_[path] = level;
  return true;
}

void DestinationTree::modeSet(const std::string& dir) {
  if (const auto known = verified_.find(WithoutTrailingSlash(dir)); known != verified_.end())
    known->second.writable = false;
}

bool DestinationTree::clearFor(const std::string& path, Kind kind, int* err) {
  int e = 0;
  if (const Status st = look(path, &e)) {
    const Kind have = kindOf(*st);
    if (have != kind) {
      const bool ours = have == Kind::Directory ? verified_.count(path) != 0
                                                : hooks_.takenThisRun && hooks_.takenThisRun(path);
      if (ours) return fail(err, EEXIST);
      if (!keepAside(path, have, err)) return false;
    }
  } else if (e != ENOENT) {
    return fail(err, e);
  }
  if (kind == Kind::Link) keepArchiveAside(path);
  return true;
}

bool DestinationTree::keepAside(const std::string& path, Kind kind, int* err) {
  if (kind == Kind::Directory) closeOpenDirectory();
  const std::string kept = keptName(path, kind);
  if (hooks_.keeping) hooks_.keeping(path);
  int e = 0;
  if (!platform::renamePath(path, kept, &e)) return fail(err, e);
  if (kind == Kind::Directory) {
    forgetBelow(path);
    unpackArchivesIn(kept);
  }
  if (hooks_.kept) hooks_.kept(path, kept);
  return true;
}

// Our archives keep the name a file had when it was stored; in a folder kept
// under another name the restore would put them back under the old one,
// where the new entry now is. They become the plain files they hold.
void DestinationTree::unpackArchivesIn(const std::string& dir) {
  namespace fs = std::filesystem;
  std::vector<std::string> archives;
  std::error_code ec;
  for (fs::recursive_directory_iterator it(dir, fs::directory_options::skip_permission_denied, ec), end;
       !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name.size() > 4 && name.compare(name.size() - 4, 4, ".zip") == 0 && it->symlink_status(ec).type() == fs::file_type::regular)
      archives.push_back(it->path().string());
  }
  for (const std::string& archive : archives) {
    const std::string plain = archive.substr(0, archive.size() - 4);
    int e = 0;
    if (entryStatus(plain, e) || !isOurArchive(archive, plain)) continue;
    if (unpackArchive(archive, plain, e))
      platform::removeFile(archive);
    else if (hooks_.keepFailed)
      hooks_.keepFailed(archive, e);
  }
}

// The single entry of our archive as the plain file target, on the disk.
bool DestinationTree::unpackArchive(const std::string& archive, const std::string& target, int& e) {
  bool done = false;
  e = EIO;
  try {
    ZipArchiveLayer zip;
    zip.Open(archive, ZipArchiveLayer::OpenExisting);
    done = zip.ExtractEntry(0, target) == ExtractResult::Done;
    zip.Close(false);
  } catch (const platform::FileError& x) {
    e = x.osError() ? x.osError() : EIO;
  } catch (const CZipException&) {
  }
  return done && platform::flushFileAndDirectory(target, &e);
}

std::string DestinationTree::keptName(const std::string& path, Kind kind) const {
  const std::size_t slash = path.rfind('/');
  const std::string dir = path.substr(0, slash + 1);
  const char* format = kind == Kind::Directory ? texts::KEPT_FOLDER
                       : kind == Kind::Link    ? texts::KEPT_LINK
                                               : texts::KEPT_FILE;
  // Room for the longest suffix, its number and a later ".zip" within NAME_MAX.
  const std::string suffixOnly = fmt::sprintf(format, "", date_);
  const std::string name = cutName(path.substr(slash + 1), NAME_MAX - suffixOnly.size() - 16);
  const std::string base = fmt::sprintf(format, name, date_);
  std::string candidate = dir + base;
  int e = 0;
  for (int n = 2; entryStatus(candidate, e) && n < 10000; ++n)
    candidate = dir + fmt::sprintf(texts::KEPT_NUMBERED, base, n);
  return candidate;
}

void DestinationTree::forgetBelow(const std::string& path) {
  closeOpenDirectory();
  verified_.erase(path);
  // Everything below path sorts between path + "/" and path + "0" ('0' follows '/').
  verified_.erase(verified_.lower_bound(path + "/"), verified_.lower_bound(path + "0"));
}

// Our archive of a file that the source now has as a folder or a link: its
// content goes to a plain file under the kept name, so the restore gives it
// back beside the new entry instead of over it.
void DestinationTree::keepArchiveAside(const std::string& plainName) {
  const std::string archive = plainName + ".zip";
  int e = 0;
  if (!isRegular(entryStatus(archive, e))) return;
  if (entryStatus(sourceOf(archive), e) || e != ENOENT) return;  // the copy of the user's own "X.zip"
  if (!isOurArchive(archive, plainName)) return;
  const std::string kept = keptName(plainName, Kind::File);
  if (hooks_.keeping) hooks_.keeping(archive);
  if (!unpackArchive(archive, kept, e)) {
    if (hooks_.keepFailed) hooks_.keepFailed(archive, e);
    return;
  }
  platform::removeFile(archive);
  if (hooks_.kept) hooks_.kept(archive, kept);
}

bool DestinationTree::isOurArchive(const std::string& archive, const std::string& plainName) const {
  try {
    ZipArchiveLayer zip;
    zip.Open(archive, ZipArchiveLayer::OpenExisting);
    ZipEntryHeader entry;
    const bool ours = zip.GetArchiveComment() == kArchiveComment && zip.GetEntryCount() == 1 &&
                      !zip.IsEntryDirectory(0) && zip.GetEntryInfo(0, entry) &&
                      nameOf("/" + entry.name) == nameOf(plainName);
    zip.Close(false);
    return ours;
  } catch (const platform::FileError&) {
  } catch (const CZipException&) {
  }
  return false;
}

void DestinationTree::removeOtherForm(const std::string& committed, bool compressed) {
  // A directory this run made holds no other form but this run's own.
  if (const auto dir = verified_.find(committed.substr(0, committed.rfind('/')));
      dir != verified_.end() && dir->second.made)
    return;
  int e = 0;
  std::string other;
  if (compressed) {
    other = committed.substr(0, committed.size() - 4);  // the plain copy beside the archive
    if (!isRegular(look(other, &e))) return;
  } else {
    other = committed + ".zip";
    if (!isRegular(look(other, &e))) return;
    if (entryStatus(sourceOf(other), e) || e != ENOENT) return;  // the copy of the user's own "X.zip"
    if (!isOurArchive(other, committed)) return;
  }
  if (hooks_.takenThisRun && hooks_.takenThisRun(other)) return;
  // Only once the new form is surely on the disk does the old one go.
  if (platform::flushFileAndDirectory(committed) && platform::removeFile(other) && hooks_.removed) hooks_.removed(other);
}

}  // namespace kalvero
