#pragma once
// Thin wrappers over the POSIX calls of the platform layer, for platform/
// sources only. Each one asks the fault-injection seam first, retries calls
// interrupted by a signal (EINTR), and on failure returns -1 with errno set.
#include <sys/types.h>

#include <cstddef>

#include "platform/FaultInjection.h"
#include "platform/FileSystem.h"

struct stat;

namespace kalvero::platform::sys {

int open(const char* path, int flags, unsigned mode = 0);
int openat(int dirfd, const char* name, const char* pathForFaults, int flags, unsigned mode = 0);
// Opens relative below dirfd in one call without following any symbolic link
// and without leaving dirfd (openat2 with RESOLVE_NO_SYMLINKS | RESOLVE_BENEATH):
// ELOOP for a link on the way, ENOTDIR for a file, EXDEV for a way out.
// ENOSYS where the kernel (or a sandbox) has no openat2.
int openBeneath(int dirfd, const char* relative, const char* pathForFaults, int flags);
// Short reads and writes are possible (as with read(2)/write(2)).
ssize_t read(int fd, void* buffer, std::size_t n, const char* pathForFaults = nullptr);
ssize_t write(int fd, const void* buffer, std::size_t n, const char* pathForFaults = nullptr);
// Writes everything or fails (-1).
bool writeAll(int fd, const void* buffer, std::size_t n, const char* pathForFaults = nullptr);
int close(int fd, const char* pathForFaults = nullptr);
int fsync(int fd, const char* pathForFaults = nullptr);
int mkdir(const char* path, unsigned mode);
int rename(const char* from, const char* to);
int renameat(int dirfd, const char* from, const char* to, const char* pathForFaults);
// renameat2 with RENAME_NOREPLACE: EEXIST when to exists; EINVAL where the file system cannot tell.
int renameatNoReplace(int dirfd, const char* from, const char* to, const char* pathForFaults);
int unlink(const char* path);
int rmdir(const char* path);
int chmod(const char* path, unsigned mode);
int fchmod(int fd, unsigned mode, const char* pathForFaults = nullptr);
// stat family; fault call Stat. fstatat takes the AT_* flags.
int stat(const char* path, struct stat* st);
int lstat(const char* path, struct stat* st);
int fstat(int fd, struct stat* st, const char* pathForFaults = nullptr);
int fstatat(int dirfd, const char* name, const char* pathForFaults, struct stat* st, int flags);

// The FileStatus of a stat result (kind from st_mode, times as FileTime).
FileStatus statusFromStat(const struct stat& st, bool isSymlink);

// Stores errno in *err when err is set; returns false for chaining.
inline bool fail(int* err, int value) {
  if (err) *err = value;
  return false;
}

}  // namespace kalvero::platform::sys
