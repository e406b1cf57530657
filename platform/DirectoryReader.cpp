// Directory search over opendir/readdir. Entries are examined with fstatat
// relative to the open directory, so a long path is resolved only once per
// directory; links are looked at themselves only, never their targets.
#include "platform/DirectoryReader.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "platform/FaultInjection.h"
#include "platform/SysCall.h"
#include "platform/PathUtil.h"

namespace kalvero::platform {

struct DirectoryReader::Impl {
  DIR* dir = nullptr;
  std::string path;  // directory + "/" + the current name, for fault rules
  std::size_t prefixLength = 0;
  int error = 0;
};

DirectoryReader::DirectoryReader(const std::string& directory) : impl_(std::make_unique<Impl>()) {
  impl_->path = WithTrailingSlash(directory);
  impl_->prefixLength = impl_->path.size();
  if (int err = fault::checkRetrying(fault::Call::OpenDir, directory.c_str())) {
    impl_->error = errno = err;
    return;
  }
  // opendir opens with O_CLOEXEC and O_DIRECTORY itself.
  do {
    impl_->dir = ::opendir(directory.c_str());
  } while (!impl_->dir && errno == EINTR);
  if (!impl_->dir) impl_->error = errno;
}

DirectoryReader::~DirectoryReader() {
  if (impl_->dir) ::closedir(impl_->dir);
}

bool DirectoryReader::isOpen() const { return impl_->dir != nullptr; }

int DirectoryReader::error() const { return impl_->error; }

bool DirectoryReader::archiveBitSet(const DirEntry& entry) {
  Impl& d = *impl_;
  d.path.resize(d.prefixLength);
  d.path += entry.name;
  return archiveBitSetAt(d.dir ? ::dirfd(d.dir) : -1, entry.name.c_str(), d.path, entry.status);
}

bool DirectoryReader::next(DirEntry& entry) {
  Impl& d = *impl_;
  if (!d.dir) return false;
  const int dfd = ::dirfd(d.dir);
  for (;;) {
    if (int err = fault::checkRetrying(fault::Call::ReadDir, d.path.c_str())) {
      d.error = errno = err;
      return false;
    }
    errno = 0;
    const dirent* e = ::readdir(d.dir);
    if (!e) {
      d.error = errno;  // 0 at the end, else the read error that ended it
      return false;
    }
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
    const bool link = S_ISLNK(st.st_mode);
    entry.status = sys::statusFromStat(st, link);
    if (link) entry.status.kind = EntryKind::Other;
    entry.kind = entry.status.kind;
    return true;
  }
}

}  // namespace kalvero::platform
