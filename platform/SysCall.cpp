#include "platform/SysCall.h"

#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace kalvero::platform::sys {
namespace {

// Runs op until it does not fail with EINTR; an injected error counts as the
// call's own failure (an injected EINTR is retried like a real one).
template <class Op>
auto retry(fault::Call call, const char* path, Op op) -> decltype(op()) {
  for (;;) {
    if (int injected = fault::check(call, path)) {
      if (injected == EINTR) continue;
      errno = injected;
      return -1;
    }
    auto r = op();
    if (r == -1 && errno == EINTR) continue;
    return r;
  }
}

}  // namespace

int open(const char* path, int flags, unsigned mode) {
  return retry(fault::Call::Open, path, [&] { return ::open(path, flags | O_CLOEXEC, static_cast<mode_t>(mode)); });
}

int openat(int dirfd, const char* name, const char* pathForFaults, int flags, unsigned mode) {
  return retry(fault::Call::Open, pathForFaults,
               [&] { return ::openat(dirfd, name, flags | O_CLOEXEC, static_cast<mode_t>(mode)); });
}

int openBeneath(int dirfd, const char* relative, const char* pathForFaults, int flags) {
  return retry(fault::Call::Open, pathForFaults, [&] {
    open_how how{};
    how.flags = static_cast<unsigned long long>(flags | O_CLOEXEC);
    how.resolve = RESOLVE_NO_SYMLINKS | RESOLVE_BENEATH;
    const long fd = ::syscall(SYS_openat2, dirfd, relative, &how, sizeof how);
    // Sandboxes that filter unknown calls answer EPERM: the same as no openat2.
    if (fd < 0 && errno == EPERM) errno = ENOSYS;
    return static_cast<int>(fd);
  });
}

ssize_t read(int fd, void* buffer, std::size_t n, const char* pathForFaults) {
  for (;;) {
    unsigned long limit = n;
    if (int injected = fault::check(fault::Call::Read, pathForFaults, &limit)) {
      if (injected == EINTR) continue;
      errno = injected;
      return -1;
    }
    ssize_t r = ::read(fd, buffer, limit);
    if (r == -1 && errno == EINTR) continue;
    return r;
  }
}

ssize_t write(int fd, const void* buffer, std::size_t n, const char* pathForFaults) {
  for (;;) {
    unsigned long limit = n;
    if (int injected = fault::check(fault::Call::Write, pathForFaults, &limit)) {
      if (injected == EINTR) continue;
      errno = injected;
      return -1;
    }
    ssize_t r = ::write(fd, buffer, limit);
    if (r == -1 && errno == EINTR) continue;
    return r;
  }
}

bool writeAll(int fd, const void* buffer, std::size_t n, const char* pathForFaults) {
  const char* p = static_cast<const char*>(buffer);
  while (n > 0) {
    ssize_t r = write(fd, p, n, pathForFaults);
    if (r < 0) return false;
    if (r == 0) {  // a zero-length write of a non-empty buffer: treat as a full device
      errno = ENOSPC;
      return false;
    }
    p += r;
    n -= static_cast<std::size_t>(r);
  }
  return true;
}

int close(int fd, const char* pathForFaults) {
  if (int injected = fault::check(fault::Call::Close, pathForFaults)) {
    ::close(fd);  // the descriptor is gone either way
    if (injected == EINTR) return 0;  // as below: an interrupted close has closed
    errno = injected;
    return -1;
  }
  // close(2) must not be retried on EINTR: the descriptor is released already.
  int r = ::close(fd);
  if (r == -1 && errno == EINTR) return 0;
  return r;
}

int fsync(int fd, const char* pathForFaults) {
  return retry(fault::Call::Fsync, pathForFaults, [&] { return ::fsync(fd); });
}

int mkdir(const char* path, unsigned mode) {
  return retry(fault::Call::Mkdir, path, [&] { return ::mkdir(path, static_cast<mode_t>(mode)); });
}

int rename(const char* from, const char* to) {
  return retry(fault::Call::Rename, from, [&] { return ::rename(from, to); });
}

int renameat(int dirfd, const char* from, const char* to, const char* pathForFaults) {
  return retry(fault::Call::Rename, pathForFaults, [&] { return ::renameat(dirfd, from, dirfd, to); });
}

int renameatNoReplace(int dirfd, const char* from, const char* to, const char* pathForFaults) {
  return retry(fault::Call::Rename, pathForFaults, [&] { return ::renameat2(dirfd, from, dirfd, to, RENAME_NOREPLACE); });
}

int unlink(const char* path) {
  return retry(fault::Call::Unlink, path, [&] { return ::unlink(path); });
}

int rmdir(const char* path) {
  return retry(fault::Call::Rmdir, path, [&] { return ::rmdir(path); });
}

int chmod(const char* path, unsigned mode) {
  return retry(fault::Call::Chmod, path, [&] { return ::chmod(path, static_cast<mode_t>(mode)); });
}

int fchmod(int fd, unsigned mode, const char* pathForFaults) {
  return retry(fault::Call::Chmod, pathForFaults, [&] { return ::fchmod(fd, static_cast<mode_t>(mode)); });
}

int stat(const char* path, struct stat* st) {
  return retry(fault::Call::Stat, path, [&] { return ::stat(path, st); });
}

int lstat(const char* path, struct stat* st) {
  return retry(fault::Call::Stat, path, [&] { return ::lstat(path, st); });
}

int fstat(int fd, struct stat* st, const char* pathForFaults) {
  return retry(fault::Call::Stat, pathForFaults, [&] { return ::fstat(fd, st); });
}

int fstatat(int dirfd, const char* name, const char* pathForFaults, struct stat* st, int flags) {
  return retry(fault::Call::Stat, pathForFaults, [&] { return ::fstatat(dirfd, name, st, flags); });
}

FileStatus statusFromStat(const struct stat& st, bool isSymlink) {
  FileStatus s;
  if (S_ISREG(st.st_mode))
    s.kind = EntryKind::File;
  else if (S_ISDIR(st.st_mode))
    s.kind = EntryKind::Directory;
  else
    s.kind = EntryKind::Other;
  s.isSymlink = isSymlink;
  s.size = st.st_size > 0 ? static_cast<std::uint64_t>(st.st_size) : 0;
  s.lastWrite = fileTimeFromUnix(st.st_mtim.tv_sec, st.st_mtim.tv_nsec);
  s.lastAccess = fileTimeFromUnix(st.st_atim.tv_sec, st.st_atim.tv_nsec);
  s.mtimeSeconds = st.st_mtim.tv_sec;
  s.mtimeNanoseconds = st.st_mtim.tv_nsec;
  s.mode = static_cast<std::uint32_t>(st.st_mode & 07777);
  s.uid = static_cast<std::uint32_t>(st.st_uid);
  s.gid = static_cast<std::uint32_t>(st.st_gid);
  s.ctimeSeconds = st.st_ctim.tv_sec;
  s.ctimeNanoseconds = st.st_ctim.tv_nsec;
  s.links = static_cast<std::uint64_t>(st.st_nlink);
  s.inode = static_cast<std::uint64_t>(st.st_ino);
  s.device = static_cast<std::uint64_t>(st.st_dev);
  return s;
}

}  // namespace kalvero::platform::sys
