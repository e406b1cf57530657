#include "platform/TraceSocket.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstring>

namespace kalvero::platform {

namespace {

// Abstract address: a zero byte, then the name (no terminator).
socklen_t abstractAddress(const std::string& name, sockaddr_un& addr) {
  std::memset(&addr, 0, sizeof addr);
  addr.sun_family = AF_UNIX;
  std::size_t n = std::min(name.size(), sizeof addr.sun_path - 1);
  std::memcpy(addr.sun_path + 1, name.data(), n);
  return static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + n);
}

}  // namespace

TraceSocket::~TraceSocket() { close(); }

bool TraceSocket::connect(const std::string& name) {
  close();
  int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  sockaddr_un addr;
  socklen_t len = abstractAddress(name, addr);
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&addr), len) != 0) {
    ::close(fd);
    return false;
  }
  timeval timeout{1, 0};
  ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
  fd_ = fd;
  return true;
}

bool TraceSocket::send(const void* data, std::size_t n) {
  if (fd_ < 0) return false;
  for (;;) {
    ssize_t r = ::send(fd_, data, n, MSG_NOSIGNAL);
    if (r >= 0) return static_cast<std::size_t>(r) == n;
    if (errno != EINTR) return false;
  }
}

void TraceSocket::close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

TraceReceiver::~TraceReceiver() { close(); }

bool TraceReceiver::bind(const std::string& name, int* err) {
  close();
  int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    if (err) *err = errno;
    return false;
  }
  sockaddr_un addr;
  socklen_t len = abstractAddress(name, addr);
  if (::bind(fd, reinterpret_cast<const sockaddr*>(&addr), len) != 0) {
    if (err) *err = errno;
    ::close(fd);
    return false;
  }
  fd_ = fd;
  return true;
}

bool TraceReceiver::receive(std::string& datagram, int timeoutMs) {
  if (fd_ < 0) return false;
  pollfd p{fd_, POLLIN, 0};
  int r;
  do r = ::poll(&p, 1, timeoutMs);
  while (r < 0 && errno == EINTR);
  if (r <= 0) return false;
  char buffer[4096];
  ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
  if (n < 0) return false;
  datagram.assign(buffer, static_cast<std::size_t>(n));
  return true;
}

void TraceReceiver::close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

long processId() { return static_cast<long>(::getpid()); }
long threadId() { return static_cast<long>(::syscall(SYS_gettid)); }

std::string computerName() {
  char name[256] = {};
  if (::gethostname(name, sizeof name - 1) != 0) return {};
  return name;
}

}  // namespace kalvero::platform
