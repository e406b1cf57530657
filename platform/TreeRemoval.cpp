#include "platform/TreeRemoval.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

namespace kalvero::platform {
namespace {

// Directories deeper than this are entered without keeping their parents
// open: a deep tree must not use up the process's descriptors.
constexpr int kHeldLevels = 32;
constexpr int kOpenFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

void keep(int* err, int e) {
  if (err && *err == 0) *err = e;
}

std::vector<std::string> namesIn(int fd, int* err) {
  std::vector<std::string> names;
  const int dup = ::dup(fd);
  DIR* d = dup < 0 ? nullptr : ::fdopendir(dup);
  if (!d) {
    keep(err, errno);
    if (dup >= 0) ::close(dup);
    return names;
  }
  ::rewinddir(d);
  while (const dirent* e = ::readdir(d)) {
    const std::string name = e->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  ::closedir(d);
  return names;
}

bool sameDirectory(int fd, const struct stat& want) {
  struct stat st {};
  return ::fstat(fd, &st) == 0 && st.st_dev == want.st_dev && st.st_ino == want.st_ino;
}

// A directory of the user's that the user cannot write into is made
// writable: it is being removed anyway.
void makeWritable(int fd, const struct stat& self) {
  if ((self.st_mode & 0700) != 0700 && (self.st_uid == ::geteuid() || ::geteuid() == 0))
    ::fchmod(fd, (self.st_mode & 07777) | 0700);
}

bool clearDirectory(int& fd, int depth, int* err);

// Entry name of the directory fd, a real directory: emptied, then removed.
// fd may be closed and opened again on the way down (see kHeldLevels).
bool removeSubdirectory(int& fd, const struct stat& self, const std::string& name, int depth, int* err) {
  int child = ::openat(fd, name.c_str(), kOpenFlags);
  if (child < 0) {
    keep(err, errno);
    return false;
  }
  if (depth >= kHeldLevels) {
    ::close(fd);
    fd = -1;
  }
  bool ok = clearDirectory(child, depth + 1, err);
  if (fd < 0 && child >= 0) {
    // Back up through "..", which must still be the directory we came from.
    fd = ::openat(child, "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0 && !sameDirectory(fd, self)) {
      ::close(fd);
      fd = -1;
    }
  }
  if (child >= 0) ::close(child);
  if (fd < 0) {
    keep(err, ESTALE);
    return false;
  }
  if (ok && ::unlinkat(fd, name.c_str(), AT_REMOVEDIR) != 0 && errno != ENOENT) {
    keep(err, errno);
    ok = false;
  }
  return ok;
}

// Removes everything in the directory open as fd. fd is -1 afterwards only
// when the way back up was lost.
bool clearDirectory(int& fd, int depth, int* err) {
  struct stat self {};
  if (::fstat(fd, &self) != 0) {
    keep(err, errno);
    return false;
  }
  makeWritable(fd, self);
  bool ok = true;
  for (const std::string& name : namesIn(fd, err)) {
    struct stat st {};
    if (::fstatat(fd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
      if (errno != ENOENT) {
        keep(err, errno);
        ok = false;
      }
      continue;
    }
    if (!S_ISDIR(st.st_mode)) {
      if (::unlinkat(fd, name.c_str(), 0) != 0 && errno != ENOENT) {
        keep(err, errno);
        ok = false;
      }
      continue;
    }
    if (!removeSubdirectory(fd, self, name, depth, err)) ok = false;
    if (fd < 0) return false;
  }
  return ok;
}

}  // namespace

bool removeTreeAt(int parentFd, const std::string& name, int* err) {
  int e = 0;
  struct stat parent {};
  if (::fstat(parentFd, &parent) != 0) {
    if (err) *err = errno;
    return false;
  }
  // A copy of the caller's descriptor: a deep tree may close it on the way.
  int fd = ::dup(parentFd);
  if (fd < 0) {
    if (err) *err = errno;
    return false;
  }
  const bool ok = removeSubdirectory(fd, parent, name, 0, &e);
  if (fd >= 0) ::close(fd);
  if (!ok && err) *err = e ? e : EIO;
  return ok;
}

bool removeTree(const std::string& path, int* err) {
  const auto slash = path.find_last_of('/');
  const std::string dir = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  if (name.empty() || name == "." || name == "..") {
    if (err) *err = EINVAL;
    return false;
  }
  const int parent = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (parent < 0) {
    if (err) *err = errno;
    return false;
  }
  const bool ok = removeTreeAt(parent, name, err);
  ::close(parent);
  return ok;
}

}  // namespace kalvero::platform
