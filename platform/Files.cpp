#include "platform/Files.h"

#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <random>

#include "platform/FileError.h"
#include "platform/OwnTemporary.h"
#include "platform/SourceFile.h"
#include "platform/SysCall.h"

namespace kalvero::platform {
namespace {

[[noreturn]] void throwFileError(int err, const std::string& path) { throw FileError(causeFromErrno(err), err, path); }

constexpr std::size_t kWriterBuffer = 64 * 1024;

}  // namespace

// ---- InputFile

InputFile::InputFile(const std::string& path) {
  int err = 0;
  if (!open(path, &err)) throwFileError(err, path);
}

InputFile::~InputFile() { close(); }

InputFile::InputFile(InputFile&& other) noexcept : fd_(other.fd_), path_(std::move(other.path_)) { other.fd_ = -1; }

InputFile& InputFile::operator=(InputFile&& other) noexcept {
  if (this != &other) {
    close();
    fd_ = other.fd_;
    path_ = std::move(other.path_);
    other.fd_ = -1;
  }
  return *this;
}

bool InputFile::open(const std::string& path, int* err) {
  close();
  path_ = path;
  if (path.size() >= PATH_MAX) return sys::fail(err, ENAMETOOLONG);
  int fd = sys::open(path.c_str(), O_RDONLY);
  if (fd < 0) return sys::fail(err, errno);
  fd_ = fd;
  return true;
}

bool InputFile::openSource(const std::string& path, int* err) {
  close();
  path_ = path;
  if (path.size() >= PATH_MAX) return sys::fail(err, ENAMETOOLONG);
  if (const int e = fault::checkRetrying(fault::Call::Open, path.c_str())) return sys::fail(err, e);
  const int fd = openSourceFile(path);
  if (fd < 0) return sys::fail(err, errno);
  fd_ = fd;
  return true;
}

long long InputFile::tryRead(void* buffer, std::size_t n, int* err) {
  if (fd_ < 0) {
    if (err) *err = EBADF;
    return -1;
  }
  ssize_t r = sys::read(fd_, buffer, n, path_.c_str());
  if (r < 0) {
    if (err) *err = errno;
    return -1;
  }
  return r;
}

long long InputFile::tryReadFull(void* buffer, std::size_t n, int* err) {
  std::size_t got = 0;
  while (got < n) {
    const long long r = tryRead(static_cast<char*>(buffer) + got, n - got, err);
    if (r < 0) return -1;
    if (r == 0) break;
    got += static_cast<std::size_t>(r);
  }
  return static_cast<long long>(got);
}

std::size_t InputFile::read(void* buffer, std::size_t n) {
  // Fills the buffer as far as the file goes: callers take a short count for
  // the end of the file, and read(2) may return less on pipes, FUSE or NFS.
  auto* out = static_cast<unsigned char*>(buffer);
  std::size_t done = 0;
  while (done < n) {
    int err = 0;
    long long r = tryRead(out + done, n - done, &err);
    if (r < 0) throwFileError(err, path_);
    if (r == 0) break;
    done += static_cast<std::size_t>(r);
  }
  return done;
}

std::uint64_t InputFile::size() const {
  struct stat st {};
  if (fd_ < 0 || sys::fstat(fd_, &st, path_.c_str()) != 0) throwFileError(fd_ < 0 ? EBADF : errno, path_);
  return st.st_size > 0 ? static_cast<std::uint64_t>(st.st_size) : 0;
}

std::optional<FileStatus> InputFile::status(int* err) const {
  struct stat st {};
  if (fd_ < 0) {
    if (err) *err = EBADF;
    return std::nullopt;
  }
  if (sys::fstat(fd_, &st, path_.c_str()) != 0) {
    if (err) *err = errno;
    return std::nullopt;
  }
  return sys::statusFromStat(st, false);
}

void InputFile::seek(std::uint64_t offset) {
  if (fd_ < 0 || lseek(fd_, static_cast<off_t>(offset), SEEK_SET) < 0) throwFileError(fd_ < 0 ? EBADF : errno, path_);
}

std::uint64_t InputFile::position() const {
  off_t r = fd_ < 0 ? -1 : lseek(fd_, 0, SEEK_CUR);
  if (r < 0) throwFileError(fd_ < 0 ? EBADF : errno, path_);
  return static_cast<std::uint64_t>(r);
}

void InputFile::close() {
  if (fd_ >= 0) {
    sys::close(fd_, path_.c_str());
    fd_ = -1;
  }
}

// ---- TextFileWriter

TextFileWriter::~TextFileWriter() { close(); }

bool TextFileWriter::open(const std::string& path, Mode mode, int* err, unsigned permissions) {
  close();
  path_ = path;
  if (path.size() >= PATH_MAX) return sys::fail(err, ENAMETOOLONG);
  int flags = O_WRONLY | O_CREAT | (mode == Mode::Append ? O_APPEND : O_TRUNC);
  int fd = sys::open(path.c_str(), flags, permissions);
  if (fd < 0) return sys::fail(err, errno);
  fd_ = fd;
  return true;
}

void TextFileWriter::write(const std::string& text) {
  if (fd_ < 0) throwFileError(EBADF, path_);
  buffer_ += text;
  if (buffer_.size() >= kWriterBuffer) flush();
}

void TextFileWriter::flush() {
  if (fd_ < 0) throwFileError(EBADF, path_);
  if (buffer_.empty()) return;
  // Emptied before the error is thrown, so a failed write drops its text
  // instead of retrying it forever; the buffer keeps its capacity.
  const bool written = sys::writeAll(fd_, buffer_.data(), buffer_.size(), path_.c_str());
  const int error = errno;
  buffer_.clear();
  if (!written) throwFileError(error, path_);
}

void TextFileWriter::close() {
  if (fd_ < 0) return;
  try {
    flush();
  } catch (const FileError&) {
  }
  sys::close(fd_, path_.c_str());
  fd_ = -1;
  buffer_.clear();
}

// ---- AtomicFileWriter

AtomicFileWriter::AtomicFileWriter(std::string target, unsigned permissions)
    : target_(std::move(target)), permissions_(permissions) {}

AtomicFileWriter::~AtomicFileWriter() { discard(); }

bool AtomicFileWriter::open(int* err) {
  discard();
  // Write through a symlinked target (a settings file kept elsewhere) instead
  // of replacing the link by a plain file.
  std::string target = target_;
  char resolved[PATH_MAX];
  struct stat lst {};
  if (::lstat(target.c_str(), &lst) == 0 && S_ISLNK(lst.st_mode) && realpath(target.c_str(), resolved) != nullptr)
    target = resolved;
  if (target.size() >= PATH_MAX - 34) return sys::fail(err, ENAMETOOLONG);

  struct stat existing {};
  bool hasExisting = ::stat(target.c_str(), &existing) == 0 && S_ISREG(existing.st_mode);

  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string temp = ownTemporaryBeside(target);
    int fd = sys::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL, permissions_);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      return sys::fail(err, errno);
    }
    // A replaced file keeps its permission bits (a private settings file stays private).
    if (hasExisting) sys::fchmod(fd, existing.st_mode & 07777, temp.c_str());
    fd_ = fd;
    temp_ = temp;
    resolvedTarget_ = target;
    return true;
  }
  return sys::fail(err, EEXIST);
}

bool AtomicFileWriter::write(const void* data, std::size_t n, int* err) {
  if (fd_ < 0) return sys::fail(err, EBADF);
  if (!sys::writeAll(fd_, data, n, temp_.c_str())) return sys::fail(err, errno);
  return true;
}

bool AtomicFileWriter::commit(int* err) {
  if (fd_ < 0) return sys::fail(err, EBADF);
  int e = 0;
  if (sys::fsync(fd_, temp_.c_str()) != 0) e = errno;
  int fd = fd_;
  fd_ = -1;
  if (sys::close(fd, temp_.c_str()) != 0 && e == 0) e = errno;
  if (e == 0 && sys::rename(temp_.c_str(), resolvedTarget_.c_str()) != 0) e = errno;
  if (e != 0) {
    ::unlink(temp_.c_str());
    temp_.clear();
    return sys::fail(err, e);
  }
  temp_.clear();
  // Make the rename itself durable; a failure here loses nothing already written.
  auto slash = resolvedTarget_.rfind('/');
  std::string dir = slash == std::string::npos ? "." : (slash == 0 ? "/" : resolvedTarget_.substr(0, slash));
  int dfd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dfd >= 0) {
    ::fsync(dfd);
    ::close(dfd);
  }
  return true;
}

void AtomicFileWriter::discard() {
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
  if (!temp_.empty()) {
    ::unlink(temp_.c_str());
    temp_.clear();
  }
}

// ---- readWholeFile

bool readWholeFile(const std::string& path, std::string& out, int* err) {
  out.clear();
  if (path.size() >= PATH_MAX) return sys::fail(err, ENAMETOOLONG);
  // Only regular files: a FIFO or device under the name would block or never end.
  struct stat st {};
  if (sys::stat(path.c_str(), &st) != 0) return sys::fail(err, errno);
  if (S_ISDIR(st.st_mode)) return sys::fail(err, EISDIR);
  if (!S_ISREG(st.st_mode)) return sys::fail(err, EINVAL);
  int fd = sys::open(path.c_str(), O_RDONLY | O_NONBLOCK);
  if (fd < 0) return sys::fail(err, errno);
  if (st.st_size > 0) out.reserve(static_cast<std::size_t>(st.st_size));
  char buffer[64 * 1024];
  for (;;) {
    ssize_t r = sys::read(fd, buffer, sizeof buffer, path.c_str());
    if (r < 0) {
      int e = errno;
      sys::close(fd);
      out.clear();
      return sys::fail(err, e);
    }
    if (r == 0) break;
    out.append(buffer, static_cast<std::size_t>(r));
  }
  sys::close(fd);
  return true;
}

}  // namespace kalvero::platform
