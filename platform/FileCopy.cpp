#include "platform/FileCopy.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "platform/FaultInjection.h"
#include "platform/PathUtil.h"
#include "platform/SourceFile.h"
#include "platform/SysCall.h"
#include "platform/TreeCopy.h"

namespace kalvero::platform {

namespace {

constexpr std::uint64_t kStep = 1024 * 1024;  // progress at least every MiB

// The length of the directory part temp and destination share when both are
// names in dirFd's directory (renamed there without the paths' walks), else 0.
std::size_t namesBeside(const std::string& temp, const std::string& destination, int dirFd) {
  const std::size_t slash = destination.rfind('/');
  if (dirFd < 0 || slash == std::string::npos || temp.size() <= slash + 1 ||
      temp.compare(0, slash + 1, destination, 0, slash + 1) != 0 || temp.find('/', slash + 1) != std::string::npos)
    return 0;
  return slash + 1;
}

// The temporary beside destination removed, in dirFd when it is a name there.
void removeTemporary(const std::string& temp, const std::string& destination, int dirFd) {
  const std::size_t at = namesBeside(temp, destination, dirFd);
  if (at)
    ::unlinkat(dirFd, temp.c_str() + at, 0);
  else
    ::unlink(temp.c_str());
}

// Creates the hidden temporary file beside destination (in dirFd, its
// directory held open, when not -1); -1 with errno set.
int createTemporary(const std::string& destination, std::string& tempPath, int dirFd) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    tempPath = ownTemporaryBeside(destination);
    const std::size_t at = namesBeside(tempPath, destination, dirFd);
    const int flags = O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC;
    int fd = at ? sys::openat(dirFd, tempPath.c_str() + at, tempPath.c_str(), flags, 0600)
                : sys::open(tempPath.c_str(), flags, 0600);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  errno = EEXIST;
  return -1;
}

// copy_file_range where the kernel and file systems allow it; -1 with
// errno EXDEV/ENOSYS/EINVAL/EOPNOTSUPP means "use read/write".
ssize_t copyRange(int in, int out, std::size_t n, const char* path) {
  unsigned long limit = n;
  for (int e; (e = fault::check(fault::Call::CopyRange, path, &limit)) != 0;) {
    if (e == EINTR) continue;
    errno = e;
    return -1;
  }
  ssize_t r;
  do {
    r = ::copy_file_range(in, nullptr, out, nullptr, limit, 0);
  } while (r < 0 && errno == EINTR);
  return r;
}

bool fallbackErrno(int e) { return e == EXDEV || e == ENOSYS || e == EINVAL || e == EOPNOTSUPP || e == EBADF; }

// The next stretch of data at or after pos, [start, end); false when only a
// hole (or nothing) follows. Where the file system cannot tell its holes,
// everything from pos on is one stretch.
bool nextData(int in, std::uint64_t pos, std::uint64_t& start, std::uint64_t& end) {
  const off_t s = ::lseek(in, static_cast<off_t>(pos), SEEK_DATA);
  if (s < 0) {
    if (errno == ENXIO) return false;
    start = pos;
    end = UINT64_MAX;
    return true;
  }
  const off_t e = ::lseek(in, s, SEEK_HOLE);
  start = static_cast<std::uint64_t>(s);
  end = e < 0 ? UINT64_MAX : static_cast<std::uint64_t>(e);
  return true;
}

// Copies the data stretches of in and leaves its holes as holes, so a sparse
// file stays sparse; the copy gets in's length at the end.
bool copyData(int in, int out, const std::string& source, const std::string& temp, std::uint64_t total,
              const CopyProgressFn& progress, int& err) {
  bool useRange = true;
  std::unique_ptr<char[]> buffer;
  std::uint64_t pos = 0;
  std::uint64_t start = 0, end = 0;
  bool atEnd = false;
  while (!atEnd && nextData(in, pos, start, end)) {
    // SEEK_HOLE moved the read position: both files go to the stretch's start.
    if (::lseek(in, static_cast<off_t>(start), SEEK_SET) < 0 || ::lseek(out, static_cast<off_t>(start), SEEK_SET) < 0) {
      err = errno;
      return false;
    }
    pos = start;
    while (pos < end) {
      const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(kStep, end - pos));
      ssize_t n = -1;
      if (useRange) {
        n = copyRange(in, out, want, temp.c_str());
        if (n < 0 && fallbackErrno(errno)) {  // offsets advanced so far stay valid
          useRange = false;
          continue;
        }
        if (n < 0) {
          err = errno;
          return false;
        }
      } else {
        if (!buffer) buffer.reset(new char[kStep]);
        n = sys::read(in, buffer.get(), want, source.c_str());
        if (n < 0) {
          err = errno;
          return false;
        }
        if (n > 0 && !sys::writeAll(out, buffer.get(), static_cast<std::size_t>(n), temp.c_str())) {
          err = errno;
          return false;
        }
      }
      if (n == 0) {  // end of the source (it may have shrunk or grown meanwhile)
        atEnd = true;
        break;
      }
      pos += static_cast<std::uint64_t>(n);
      if (progress && !progress(total, pos)) {
        err = ECANCELED;
        return false;
      }
    }
  }
  // A hole at the end has no data stretch: the length says it.
  struct stat st {};
  const off_t written = ::lseek(out, 0, SEEK_CUR);
  if (::fstat(in, &st) == 0 && written >= 0 && st.st_size > written && ::ftruncate(out, st.st_size) != 0) {
    err = errno;
    return false;
  }
  return true;
}

// A small file in one read and one write: the bytes pass through the buffer
// anyway, so the digest of what the copy holds costs no second read.
bool copyBuffered(int in, int out, const std::string& source, const std::string& temp, std::uint64_t total,
                  const CopyProgressFn& progress, Sha256Digest& digest, int& err) {
  static thread_local std::unique_ptr<char[]> buffer;
  if (!buffer) buffer.reset(new char[kStep]);
  Sha256 sha;
  std::uint64_t pos = 0;
  for (;;) {
    const ssize_t n = sys::read(in, buffer.get(), kStep, source.c_str());
    if (n < 0) {
      err = errno;
      return false;
    }
    if (n == 0) break;
    if (!sys::writeAll(out, buffer.get(), static_cast<std::size_t>(n), temp.c_str())) {
      err = errno;
      return false;
    }
    sha.update(buffer.get(), static_cast<std::size_t>(n));
    pos += static_cast<std::uint64_t>(n);
    if (progress && !progress(total, pos)) {
      err = ECANCELED;
      return false;
    }
    // A short read that ends at the size of the open is the file's end; a
    // file that grows meanwhile shows in the status after the copy.
    if (pos == total && static_cast<std::size_t>(n) < kStep) break;
  }
  digest = sha.finish();
  return true;
}

// Whether the data goes through the buffer: small, and without holes to keep.
bool buffersData(const struct stat& st) {
  return static_cast<std::uint64_t>(st.st_size) <= kBufferedCopyLimit &&
         static_cast<std::uint64_t>(st.st_blocks) * 512 >= static_cast<std::uint64_t>(st.st_size);
}

}  // namespace

bool copyFileToTemporary(const std::string& source, const std::string& destination, const CopyProgressFn& progress,
                         std::string& temp, int* err, CopyNotes* notes) {
  temp.clear();
  if (notes) notes->hashed = false;
  // What became a link, FIFO or device since the walk is neither opened nor read through.
  struct stat st {};
  if (const int e = fault::checkRetrying(fault::Call::Open, source.c_str())) return sys::fail(err, e);
  const int in = openSourceFile(source, &st, notes && notes->sourceSeenRegular, notes ? notes->sourceDirectory : -1);
  if (in < 0) return sys::fail(err, errno);
  const int destinationDir = notes && notes->destinationDirectory >= 0 ? notes->destinationDirectory : AT_FDCWD;
  const char* destinationName = NameIn(destinationDir, destination);
  // An existing read-only destination is refused before anything is written.
  struct stat dst {};
  if (!(notes && notes->destinationSeenAbsent) &&
      ::fstatat(destinationDir, destinationName, &dst, AT_SYMLINK_NOFOLLOW) == 0) {
    if (S_ISDIR(dst.st_mode)) {
      sys::close(in);
      return sys::fail(err, EISDIR);
    }
    if (!S_ISLNK(dst.st_mode) && !(dst.st_mode & S_IWUSR)) {
      sys::close(in);
      return sys::fail(err, EACCES);
    }
  }
  int out = createTemporary(destination, temp, notes ? notes->destinationDirectory : -1);
  if (out < 0) {
    const int e = errno;
    sys::close(in);
    return sys::fail(err, e);
  }
  struct stat written {};
  if (notes && notes->identityWanted && ::fstat(out, &written) == 0) {
    notes->device = static_cast<std::uint64_t>(written.st_dev);
    notes->inode = static_cast<std::uint64_t>(written.st_ino);
  }
  int e = 0;
  bool ok = !progress || progress(static_cast<std::uint64_t>(st.st_size), 0);
  if (!ok) e = ECANCELED;
  const bool buffered = notes && buffersData(st);
  if (ok && buffered)
    ok = copyBuffered(in, out, source, temp, static_cast<std::uint64_t>(st.st_size), progress, notes->digest, e);
  else if (ok)
    ok = copyData(in, out, source, temp, static_cast<std::uint64_t>(st.st_size), progress, e);
  // Owner, xattrs, ACLs and mode are carried on a best-effort basis: what the
  // destination refuses is noted once per run (takeMetadataLosses), and the
  // run sets the times again from the time source.
  if (ok) carryMetadata(in, out, st, temp.c_str());
  sys::close(in);
  if (sys::close(out, temp.c_str()) != 0 && ok) {
    ok = false;
    e = errno;
  }
  if (!ok) {
    removeTemporary(temp, destination, notes ? notes->destinationDirectory : -1);
    temp.clear();
    return sys::fail(err, e);
  }
  if (buffered) notes->hashed = true;
  return true;
}

bool commitTemporary(const std::string& temp, const std::string& destination, int* err, int dirFd) {
  const std::size_t at = namesBeside(temp, destination, dirFd);
  const int rc = at ? sys::renameat(dirFd, temp.c_str() + at, destination.c_str() + at, temp.c_str())
                    : sys::rename(temp.c_str(), destination.c_str());
  if (rc == 0) return true;
  const int e = errno;
  removeTemporary(temp, destination, dirFd);
  return sys::fail(err, e);
}

bool commitTemporaryIfFree(const std::string& temp, const std::string& destination, int dirFd) {
  const std::size_t at = namesBeside(temp, destination, dirFd);
  return (at ? sys::renameatNoReplace(dirFd, temp.c_str() + at, destination.c_str() + at, temp.c_str())
             : sys::renameatNoReplace(AT_FDCWD, temp.c_str(), destination.c_str(), temp.c_str())) == 0;
}

void removeCopyIfSame(const std::string& path, std::uint64_t device, std::uint64_t inode) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && static_cast<std::uint64_t>(st.st_dev) == device &&
      static_cast<std::uint64_t>(st.st_ino) == inode)
    ::unlink(path.c_str());
}

void discardTemporary(const std::string& temp) {
  if (!temp.empty()) ::unlink(temp.c_str());
}

bool copyFile(const std::string& source, const std::string& destination, const CopyProgressFn& progress, int* err) {
  std::string temp;
  return copyFileToTemporary(source, destination, progress, temp, err) && commitTemporary(temp, destination, err);
}

}  // namespace kalvero::platform
