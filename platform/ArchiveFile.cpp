#include "platform/ArchiveFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "platform/FaultInjection.h"
#include "platform/FileError.h"

namespace kalvero::platform {

namespace {

[[noreturn]] void raise(int err, const std::string& path) {
  throw FileError(causeFromErrno(err), err, path);
}

// File names on Linux are limited to 255 bytes; the hidden name adds 16.
constexpr std::size_t kMaxNamePart = 200;

}  // namespace

std::string hiddenTemporaryPrefix(const std::string& target) {
  std::string::size_type slash = target.rfind('/');
  std::string dir = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
  std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
  if (name.size() > kMaxNamePart) name.resize(kMaxNamePart);
  return dir + "." + name + ".kalvero-";
}

ArchiveFile::~ArchiveFile() { abandon(); }

void ArchiveFile::open(const std::string& path, Mode mode) {
  abandon();
  position_ = 0;
  if (int e = fault::checkRetrying(fault::Call::Open, path.c_str())) raise(e, path);
  int fd = -1;
  std::string opened = path;
  switch (mode) {
    case Mode::ReadOnly:
      do fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
      while (fd < 0 && errno == EINTR);
      break;
    case Mode::CreateTruncate:
      do fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
      while (fd < 0 && errno == EINTR);
      break;
    case Mode::CreateHidden: {
      std::string pattern = hiddenTemporaryPrefix(path) + "XXXXXX";
      fd = ::mkostemp(pattern.data(), O_CLOEXEC);
      if (fd >= 0) {
        opened = pattern;
        // mkostemp makes 0600; an archive gets the usual permissions.
        mode_t mask = ::umask(0);
        ::umask(mask);
        ::fchmod(fd, 0666 & ~mask);
      }
      break;
    }
  }
  if (fd < 0) raise(errno, path);
  struct stat st {};
  if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
    ::close(fd);
    raise(EISDIR, path);
  }
  fd_ = fd;
  path_ = opened;
}

std::size_t ArchiveFile::read(void* buffer, std::size_t n) {
  if (fd_ < 0) raise(EBADF, path_);
  std::size_t done = 0;
  auto* out = static_cast<unsigned char*>(buffer);
  while (done < n) {
    unsigned long limit = static_cast<unsigned long>(n - done);
    if (int e = fault::checkRetrying(fault::Call::Read, path_.c_str(), &limit)) raise(e, path_);
    ssize_t r = ::pread(fd_, out + done, limit, static_cast<off_t>(position_));
    if (r < 0) {
      if (errno == EINTR) continue;
      raise(errno, path_);
    }
    if (r == 0) break;
    done += static_cast<std::size_t>(r);
    position_ += static_cast<std::uint64_t>(r);
  }
  return done;
}

void ArchiveFile::write(const void* buffer, std::size_t n) {
  if (fd_ < 0) raise(EBADF, path_);
  std::size_t done = 0;
  const auto* in = static_cast<const unsigned char*>(buffer);
  while (done < n) {
    unsigned long limit = static_cast<unsigned long>(n - done);
    if (int e = fault::checkRetrying(fault::Call::Write, path_.c_str(), &limit)) raise(e, path_);
    ssize_t r = ::pwrite(fd_, in + done, limit, static_cast<off_t>(position_));
    if (r < 0) {
      if (errno == EINTR) continue;
      raise(errno, path_);
    }
    if (r == 0) raise(ENOSPC, path_);
    done += static_cast<std::size_t>(r);
    position_ += static_cast<std::uint64_t>(r);
  }
}

void ArchiveFile::seek(std::uint64_t offset) {
  if (fd_ < 0) raise(EBADF, path_);
  if (offset > static_cast<std::uint64_t>(INT64_MAX)) raise(EINVAL, path_);
  position_ = offset;
}

std::uint64_t ArchiveFile::length() const {
  if (fd_ < 0) raise(EBADF, path_);
  struct stat st {};
  if (::fstat(fd_, &st) != 0) raise(errno, path_);
  return static_cast<std::uint64_t>(st.st_size);
}

void ArchiveFile::close() {
  if (fd_ < 0) return;
  int fd = fd_;
  fd_ = -1;
  int e = fault::checkRetrying(fault::Call::Close, path_.c_str());
  if (::close(fd) != 0 && e == 0 && errno != EINTR) e = errno;
  if (e) raise(e, path_);
}

void ArchiveFile::abandon() noexcept {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

bool createExclusiveFile(const std::string& path, int* err) {
  if (int e = fault::checkRetrying(fault::Call::Open, path.c_str())) {
    if (err) *err = e;
    return false;
  }
  int fd;
  do fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  while (fd < 0 && errno == EINTR);
  if (fd < 0) {
    if (err) *err = errno;
    return false;
  }
  ::close(fd);
  return true;
}

}  // namespace kalvero::platform
