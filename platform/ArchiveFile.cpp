#include "platform/ArchiveFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <random>

#include "platform/FaultInjection.h"
#include "platform/FileError.h"
#include "platform/OwnTemporary.h"
#include "platform/PathUtil.h"
#include "platform/SourceFile.h"

namespace kalvero::platform {

namespace {

[[noreturn]] void raise(int err, const std::string& path) {
  throw FileError(causeFromErrno(err), err, path);
}

// Created exclusively with permissions & ~umask: unlike mkostemp (always
// 0600) the kernel applies the mask, so nobody has to read or change it.
int createHiddenBeside(const std::string& target, unsigned permissions, std::string& created, int dir) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string name = ownTemporaryBeside(target);
    int fd;
    do fd = ::openat(dir, NameIn(dir, name), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, static_cast<mode_t>(permissions));
    while (fd < 0 && errno == EINTR);
    if (fd >= 0) {
      created = name;
      return fd;
    }
    if (errno != EEXIST) return -1;
  }
  errno = EEXIST;
  return -1;
}

// Failures that only say the file system keeps no permissions or owners.
bool unsupportedHere(int err) { return err == EPERM || err == ENOTSUP || err == EOPNOTSUPP; }

}  // namespace

ArchiveFile::~ArchiveFile() { abandon(); }

void ArchiveFile::open(const std::string& path, Mode mode, unsigned permissions, int dir) {
  if (dir < 0) dir = AT_FDCWD;
  abandon();
  position_ = 0;
  if (int e = fault::checkRetrying(fault::Call::Open, path.c_str())) raise(e, path);
  int fd = -1;
  std::string opened = path;
  switch (mode) {
    case Mode::ReadOnly:
      // An archive of a backup is read like a source: never a FIFO or link.
      fd = openSourceFile(path);
      break;
    case Mode::CreateTruncate:
      do fd = ::openat(dir, NameIn(dir, path), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, static_cast<mode_t>(permissions));
      while (fd < 0 && errno == EINTR);
      break;
    case Mode::CreateHidden:
      fd = createHiddenBeside(path, permissions, opened, dir);
      break;
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

ArchiveFile::Owner ArchiveFile::owner() const {
  if (fd_ < 0) raise(EBADF, path_);
  struct stat st {};
  if (::fstat(fd_, &st) != 0) raise(errno, path_);
  return {static_cast<std::uint32_t>(st.st_uid), static_cast<std::uint32_t>(st.st_gid)};
}

void ArchiveFile::narrowTo(std::uint32_t sourceMode, const Owner& owner) {
  if (fd_ < 0) raise(EBADF, path_);
  // Owner first: a change of owner may clear mode bits.
  if (::geteuid() == 0 && ::fchown(fd_, owner.uid, owner.gid) != 0 && !unsupportedHere(errno)) raise(errno, path_);
  struct stat st {};
  if (::fstat(fd_, &st) != 0) raise(errno, path_);
  const mode_t now = st.st_mode & 07777;
  const mode_t narrowed = now & static_cast<mode_t>(sourceMode & 0777);
  if (narrowed == now) return;
  if (int e = fault::checkRetrying(fault::Call::Chmod, path_.c_str())) raise(e, path_);
  if (::fchmod(fd_, narrowed) != 0 && !unsupportedHere(errno)) raise(errno, path_);
}

void ArchiveFile::applyMode(std::uint32_t mode, const Owner& owner) {
  if (fd_ < 0) raise(EBADF, path_);
  if (::geteuid() == 0) {
    if (::fchown(fd_, owner.uid, owner.gid) != 0 && !unsupportedHere(errno)) raise(errno, path_);
  } else if (this->owner().gid != owner.gid) {
    // A group the user belongs to can be given; any other cannot.
    (void)::fchown(fd_, static_cast<uid_t>(-1), owner.gid);
  }
  const Owner now = this->owner();
  mode_t bits = static_cast<mode_t>(mode & 07777);
  // Never setuid or setgid for an owner or group the file did not have.
  if (now.uid != owner.uid) bits &= ~static_cast<mode_t>(S_ISUID);
  if (now.gid != owner.gid) bits &= ~static_cast<mode_t>(S_ISGID);
  if (int e = fault::checkRetrying(fault::Call::Chmod, path_.c_str())) raise(e, path_);
  if (::fchmod(fd_, bits) != 0 && !unsupportedHere(errno)) raise(errno, path_);
}

std::optional<AccessStatus> accessStatusOf(const std::string& path) {
  if (fault::checkRetrying(fault::Call::Stat, path.c_str()) != 0) return std::nullopt;
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return std::nullopt;
  AccessStatus a;
  a.mode = static_cast<std::uint32_t>(st.st_mode);
  a.owner = {static_cast<std::uint32_t>(st.st_uid), static_cast<std::uint32_t>(st.st_gid)};
  return a;
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
