// Directory search over opendir/readdir. Entries are examined with fstatat
// relative to the open directory, so a long path is resolved only once per
// directory, and a symlink is looked at twice: once itself, once its target.
#include "platform/DirectoryReader.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "platform/FaultInjection.h"
#include "platform/FileTime.h"

namespace kalvero::platform {

namespace {

void fillStatus(const struct stat& st, EntryKind kind, bool isSymlink, FileStatus& out) {
  out.kind = kind;
  out.isSymlink = isSymlink;
  out.size = static_cast<std::uint64_t>(st.st_size);
  out.lastWrite = fileTimeFromUnix(st.st_mtim.tv_sec, st.st_mtim.tv_nsec);
  out.lastAccess = fileTimeFromUnix(st.st_atim.tv_sec, st.st_atim.tv_nsec);
  out.mtimeSeconds = st.st_mtim.tv_sec;
  out.mtimeNanoseconds = st.st_mtim.tv_nsec;
  out.mode = st.st_mode & 07777;
  out.uid = st.st_uid;
}

EntryKind kindOf(mode_t mode) {
  if (S_ISREG(mode)) return EntryKind::File;
  if (S_ISDIR(mode)) return EntryKind::Directory;
  return EntryKind::Other;  // FIFOs, sockets, devices: never taken
}

}  // namespace

struct DirectoryReader::Impl {
  DIR* dir = nullptr;
  std::string path;        // directory + "/" + the current name, for fault rules
  std::size_t prefixLength = 0;
};

DirectoryReader::DirectoryReader(const std::string& directory) : impl_(std::make_unique<Impl>()) {
  impl_->path = directory;
  if (impl_->path.empty() || impl_->path.back() != '/') impl_->path += '/';
  impl_->prefixLength = impl_->path.size();
  if (int err = fault::checkRetrying(fault::Call::OpenDir, directory.c_str())) {
    errno = err;
    return;
  }
  // opendir opens with O_CLOEXEC and O_DIRECTORY itself.
  do {
    impl_->dir = ::opendir(directory.c_str());
  } while (!impl_->dir && errno == EINTR);
}

DirectoryReader::~DirectoryReader() {
  if (impl_->dir) ::closedir(impl_->dir);
}

bool DirectoryReader::isOpen() const { return impl_->dir != nullptr; }

bool DirectoryReader::next(DirEntry& entry) {
  Impl& d = *impl_;
  if (!d.dir) return false;
  const int dfd = ::dirfd(d.dir);
  for (;;) {
    if (int err = fault::checkRetrying(fault::Call::ReadDir, d.path.c_str())) {
      errno = err;
      return false;
    }
    errno = 0;
    const dirent* e = ::readdir(d.dir);
    if (!e) return false;  // end, or a read error: both end the search
    const char* name = e->d_name;
    if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0))) continue;

    d.path.resize(d.prefixLength);
    d.path += name;
    if (fault::checkRetrying(fault::Call::Stat, d.path.c_str())) continue;

    struct stat st;
    int rc;
    do {
      rc = ::fstatat(dfd, name, &st, AT_SYMLINK_NOFOLLOW);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) continue;  // vanished since readdir: not an entry any more

    entry.name.assign(name);
    if (!S_ISLNK(st.st_mode)) {
      fillStatus(st, kindOf(st.st_mode), false, entry.status);
      entry.kind = entry.status.kind;
      return true;
    }
    // A symlink stands for a file only when its target is a regular file; a
    // linked directory is never entered, so it is reported as Other.
    struct stat target;
    do {
      rc = ::fstatat(dfd, name, &target, 0);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0 || !S_ISREG(target.st_mode)) {
      fillStatus(st, EntryKind::Other, true, entry.status);
    } else {
      fillStatus(target, EntryKind::File, true, entry.status);
    }
    entry.kind = entry.status.kind;
    return true;
  }
}

}  // namespace kalvero::platform
