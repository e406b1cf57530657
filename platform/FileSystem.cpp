#include "platform/FileSystem.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "platform/SysCall.h"
#include "platform/PathUtil.h"

namespace kalvero::platform {
namespace {

constexpr const char* kArchiveAttr = "user.kalvero.archived";

bool tooLong(const std::string& path, int* err) {
  if (path.size() >= PATH_MAX) {
    if (err) *err = ENAMETOOLONG;
    return true;
  }
  return false;
}

// "<mtime ns>:<size>:<inode>" into out (at least 80 bytes); returns its length.
std::size_t writeArchiveStamp(const FileStatus& s, char* out) {
  char* const begin = out;
  char* const end = out + 80;
  out = std::to_chars(out, end, s.mtimeSeconds * 1000000000LL + s.mtimeNanoseconds).ptr;
  *out++ = ':';
  out = std::to_chars(out, end, s.size).ptr;
  *out++ = ':';
  out = std::to_chars(out, end, s.inode).ptr;
  return static_cast<std::size_t>(out - begin);
}

std::string archiveStamp(const FileStatus& s) {
  char stamp[80];
  return std::string(stamp, writeArchiveStamp(s, stamp));
}

// The file system cannot keep the archive bit: no user xattrs or a read-only mount.
bool archiveUnsupportedError(int e) { return e == ENOTSUP || e == EROFS || e == EOPNOTSUPP; }

std::string baseName(const std::string& path) {
  const std::string p = WithoutTrailingSlash(path);
  auto slash = p.rfind('/');
  return slash == std::string::npos ? p : p.substr(slash + 1);
}

}  // namespace

std::optional<FileStatus> statPath(const std::string& path, int* err) {
  if (path.empty()) {
    if (err) *err = ENOENT;
    return std::nullopt;
  }
  if (tooLong(path, err)) return std::nullopt;
  struct stat lst {};
  if (sys::lstat(path.c_str(), &lst) != 0) {
    if (err) *err = errno;
    return std::nullopt;
  }
  if (!S_ISLNK(lst.st_mode)) return sys::statusFromStat(lst, false);
  struct stat st {};
  if (sys::stat(path.c_str(), &st) != 0) {
    if (err) *err = errno;
    return std::nullopt;
  }
  return sys::statusFromStat(st, true);
}

std::optional<FileStatus> lstatPath(const std::string& path, int* err) {
  if (path.empty()) {
    if (err) *err = ENOENT;
    return std::nullopt;
  }
  if (tooLong(path, err)) return std::nullopt;
  struct stat st {};
  if (sys::lstat(path.c_str(), &st) != 0) {
    if (err) *err = errno;
    return std::nullopt;
  }
  FileStatus s = sys::statusFromStat(st, S_ISLNK(st.st_mode));
  if (s.isSymlink) s.kind = EntryKind::Other;
  return s;
}

bool makeDirectory(const std::string& path, int* err) {
  if (tooLong(path, err)) return false;
  if (sys::mkdir(path.c_str(), 0777) != 0) return sys::fail(err, errno);
  return true;
}

bool removeFile(const std::string& path, int* err) {
  if (tooLong(path, err)) return false;
  if (sys::unlink(path.c_str()) != 0) return sys::fail(err, errno);
  return true;
}

bool removeDirectory(const std::string& path, int* err) {
  if (tooLong(path, err)) return false;
  if (sys::rmdir(path.c_str()) != 0) return sys::fail(err, errno);
  return true;
}

bool renamePath(const std::string& from, const std::string& to, int* err) {
  if (tooLong(from, err) || tooLong(to, err)) return false;
  if (sys::rename(from.c_str(), to.c_str()) != 0) return sys::fail(err, errno);
  return true;
}

bool linkPath(const std::string& existing, const std::string& newName, int* err) {
  if (tooLong(existing, err) || tooLong(newName, err)) return false;
  for (;;) {
    if (int injected = fault::check(fault::Call::Rename, newName.c_str())) {
      if (injected == EINTR) continue;
      return sys::fail(err, injected);
    }
    if (::link(existing.c_str(), newName.c_str()) == 0) return true;
    if (errno != EINTR) return sys::fail(err, errno);
  }
}

bool linkAt(int fromDir, const char* fromName, int toDir, const char* toName, const std::string& pathForFaults,
            FileStatus* status, int* err) {
  for (;;) {
    if (int injected = fault::check(fault::Call::Rename, pathForFaults.c_str())) {
      if (injected == EINTR) continue;
      return sys::fail(err, injected);
    }
    if (::linkat(fromDir, fromName, toDir, toName, 0) == 0) break;
    if (errno != EINTR) return sys::fail(err, errno);
  }
  if (!status) return true;
  struct stat st;
  if (sys::fstatat(toDir, toName, pathForFaults.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
    const int e = errno;
    ::unlinkat(toDir, toName, 0);  // a name whose file cannot be told is not left behind
    return sys::fail(err, e);
  }
  *status = sys::statusFromStat(st, S_ISLNK(st.st_mode));
  return true;
}

bool setFileTimes(const std::string& path, FileTime lastWrite, FileTime lastAccess, int* err) {
  if (tooLong(path, err)) return false;
  struct timespec times[2];
  times[0].tv_sec = static_cast<time_t>(unixSecondsFromFileTime(lastAccess));
  times[0].tv_nsec = static_cast<long>(unixNanosecondsPart(lastAccess));
  times[1].tv_sec = static_cast<time_t>(unixSecondsFromFileTime(lastWrite));
  times[1].tv_nsec = static_cast<long>(unixNanosecondsPart(lastWrite));
  for (;;) {
    if (int injected = fault::check(fault::Call::SetTimes, path.c_str())) {
      if (injected == EINTR) continue;
      return sys::fail(err, injected);
    }
    if (utimensat(AT_FDCWD, path.c_str(), times, 0) == 0) return true;
    if (errno != EINTR) return sys::fail(err, errno);
  }
}

std::string absolutePath(const std::string& path) {
  std::string full;
  if (!path.empty() && path[0] == '/') {
    full = path;
  } else {
    std::vector<char> buffer(PATH_MAX + 1);
    if (getcwd(buffer.data(), buffer.size()) == nullptr) return path;
    full = std::string(buffer.data()) + "/" + path;
  }
  std::vector<std::string> parts;
  std::size_t i = 0;
  while (i <= full.size()) {
    std::size_t j = full.find('/', i);
    if (j == std::string::npos) j = full.size();
    std::string part = full.substr(i, j - i);
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(std::move(part));
    }
    i = j + 1;
  }
  std::string out;
  for (const auto& p : parts) out += "/" + p;
  return out.empty() ? "/" : out;
}

bool isMountPoint(const std::string& dir) {
  struct stat self {}, parent {};
  if (tooLong(dir, nullptr) || sys::stat(dir.c_str(), &self) != 0 || !S_ISDIR(self.st_mode)) return false;
  if (sys::stat((dir + "/..").c_str(), &parent) != 0) return false;
  return self.st_dev != parent.st_dev || self.st_ino == parent.st_ino;
}

bool syncFileSystemOf(const std::string& path, int* err) {
  int fd = sys::open(path.c_str(), O_RDONLY | O_NONBLOCK);
  if (fd < 0) return sys::fail(err, errno);
  bool ok = true;
  int saved = 0;
  for (;;) {
    if (int injected = fault::check(fault::Call::Fsync, path.c_str())) {
      if (injected == EINTR) continue;
      ok = false;
      saved = injected;
      break;
    }
    if (syncfs(fd) == 0) break;
    if (errno == EINTR) continue;
    ok = false;
    saved = errno;
    break;
  }
  sys::close(fd);
  if (!ok) return sys::fail(err, saved);
  return true;
}

void syncFileSystemsOnce(const std::set<std::string>& paths) {
  std::set<std::uint64_t> done;
  for (const std::string& path : paths) {
    struct stat st {};
    if (tooLong(path, nullptr) || sys::stat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) continue;
    if (done.insert(static_cast<std::uint64_t>(st.st_dev)).second) syncFileSystemOf(path);
  }
}

namespace {

// getxattrat (Linux 6.13) reads the marker relative to the open directory
// instead of resolving the whole path once more for every file. Its number is
// the same on every architecture; headers before 6.13 do not name it.
constexpr long kGetxattrat = 464;
std::atomic<bool> getxattratMissing{false};

struct XattrArgs {
  std::uint64_t value;
  std::uint32_t size;
  std::uint32_t flags;
};

ssize_t readArchiveAttr(int dirFd, const char* name, const std::string& path, char* value, std::size_t size) {
  if (dirFd >= 0 && !getxattratMissing.load(std::memory_order_relaxed)) {
    XattrArgs args{reinterpret_cast<std::uintptr_t>(value), static_cast<std::uint32_t>(size), 0};
    const long n = ::syscall(kGetxattrat, dirFd, name, 0, kArchiveAttr, &args, sizeof args);
    if (n >= 0 || errno == ENODATA || errno == EINTR) return n;
    // An older kernel or a sandbox that refuses the call: the path says the same.
    if (errno == ENOSYS) getxattratMissing.store(true, std::memory_order_relaxed);
  }
  return getxattr(path.c_str(), kArchiveAttr, value, size);
}

}  // namespace

bool archiveBitSet(const std::string& path, const FileStatus& status) {
  return archiveBitSetAt(-1, nullptr, path, status);
}

bool archiveBitSetAt(int dirFd, const char* name, const std::string& path, const FileStatus& status) {
  char value[128];
  for (;;) {
    if (int injected = fault::check(fault::Call::GetXattr, path.c_str())) {
      if (injected == EINTR) continue;
      return true;
    }
    ssize_t n = readArchiveAttr(dirFd, name, path, value, sizeof value - 1);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return true;  // missing, unsupported or unreadable: changed as far as we know
    // Compared with the stamp written into a stack buffer: no allocation per file.
    char stamp[80];
    const std::size_t length = writeArchiveStamp(status, stamp);
    return static_cast<std::size_t>(n) != length || std::memcmp(value, stamp, length) != 0;
  }
}

bool getFileAttributes(const std::string& path, std::uint32_t& attributes, int* err) {
  attributes = 0;
  auto st = statPath(path, err);
  if (!st) return false;
  if (!(st->mode & S_IWUSR)) attributes |= ATTR_READONLY;
  std::string name = baseName(path);
  if (!name.empty() && name[0] == '.' && name != "." && name != "..") attributes |= ATTR_HIDDEN;
  if (st->kind == EntryKind::Directory)
    attributes |= ATTR_DIRECTORY;
  else if (archiveBitSet(path, *st))
    attributes |= ATTR_ARCHIVE;
  if (attributes == 0) attributes = ATTR_NORMAL;
  return true;
}

namespace {

bool applyReadOnly(const std::string& path, const FileStatus& st, bool readOnly, int* err) {
  std::uint32_t mode = st.mode;
  std::uint32_t wanted = readOnly ? (mode & ~0222u) : (mode | S_IWUSR);
  if (wanted == mode) return true;
  if (sys::chmod(path.c_str(), wanted) != 0) return sys::fail(err, errno);
  return true;
}

bool applyArchive(const std::string& path, bool set, int* err, bool* unsupported) {
  if (set) {
    for (;;) {
      if (int injected = fault::check(fault::Call::SetXattr, path.c_str())) {
        if (injected == EINTR) continue;
        errno = injected;
      } else if (removexattr(path.c_str(), kArchiveAttr) == 0) {
        return true;
      }
      if (errno == EINTR) continue;
      if (errno == ENODATA) return true;
      if (archiveUnsupportedError(errno)) {
        if (unsupported) *unsupported = true;
        return true;
      }
      return sys::fail(err, errno);
    }
  }
  // The stamp is taken after any mode change: chmod does not touch mtime or size.
  auto st = statPath(path, err);
  if (!st) return false;
  std::string stamp = archiveStamp(*st);
  for (;;) {
    if (int injected = fault::check(fault::Call::SetXattr, path.c_str())) {
      if (injected == EINTR) continue;
      errno = injected;
    } else if (setxattr(path.c_str(), kArchiveAttr, stamp.data(), stamp.size(), 0) == 0) {
      return true;
    }
    if (errno == EINTR) continue;
    if (archiveUnsupportedError(errno)) {
      if (unsupported) *unsupported = true;
      return true;
    }
    return sys::fail(err, errno);
  }
}

}  // namespace

bool resetArchiveBit(const std::string& path, const FileStatus& before, bool* changed, int* err,
                     bool* archiveUnsupported) {
  if (changed) *changed = false;
  if (tooLong(path, err)) return false;
  const int fd = sys::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW);
  if (fd < 0) return sys::fail(err, errno);
  struct stat st {};
  if (sys::fstat(fd, &st, path.c_str()) != 0) {
    const int e = errno;
    sys::close(fd);
    return sys::fail(err, e);
  }
  const FileStatus now = sys::statusFromStat(st, false);
  if (now.kind != EntryKind::File || now.size != before.size || now.mtimeSeconds != before.mtimeSeconds ||
      now.mtimeNanoseconds != before.mtimeNanoseconds || now.inode != before.inode) {
    sys::close(fd);
    if (changed) *changed = true;
    return true;
  }
  const std::string stamp = archiveStamp(before);
  int e = 0;
  for (;;) {
    if (int injected = fault::check(fault::Call::SetXattr, path.c_str())) {
      if (injected == EINTR) continue;
      e = injected;
    } else if (fsetxattr(fd, kArchiveAttr, stamp.data(), stamp.size(), 0) == 0) {
      break;
    } else {
      e = errno;
    }
    if (e == EINTR) continue;
    break;
  }
  sys::close(fd);
  if (e == 0) return true;
  // User xattrs need write permission. A read-only source keeps its mode
  // untouched (not even for a moment), so its marker cannot be stored: it is
  // copied again at the next run, like a file on a file system without xattrs.
  const bool readOnlyRefused = (e == EACCES || e == EPERM) && (st.st_mode & S_IWUSR) == 0;
  if (archiveUnsupportedError(e) || readOnlyRefused) {
    if (archiveUnsupported) *archiveUnsupported = true;
    return true;
  }
  return sys::fail(err, e);
}

bool setFileAttributes(const std::string& path, std::uint32_t attributes, int* err, bool* archiveUnsupported) {
  auto st = statPath(path, err);
  if (!st) return false;
  bool readOnly = (attributes & ATTR_READONLY) != 0;
  bool archive = (attributes & ATTR_ARCHIVE) != 0;
  if (st->kind == EntryKind::Directory) return applyReadOnly(path, *st, readOnly, err);
  // User xattrs need write access to the file: make it writable first, or
  // write the stamp before making it read-only.
  if (!readOnly) {
    if (!applyReadOnly(path, *st, false, err)) return false;
    return applyArchive(path, archive, err, archiveUnsupported);
  }
  if (!applyArchive(path, archive, err, archiveUnsupported)) return false;
  return applyReadOnly(path, *st, true, err);
}

}  // namespace kalvero::platform
