#include "platform/TraceSocket.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstring>

#include "platform/UserDirs.h"

namespace kalvero::platform {

namespace {

// A socket file in the user's private runtime directory: no other user can
// bind the channel first or send into it (the abstract namespace has no
// owners). False when the name does not fit an address.
bool channelAddress(const std::string& name, sockaddr_un& addr, std::string* pathOut = nullptr) {
  const std::string path = traceSocketPath(name);
  if (path.empty() || path.size() >= sizeof addr.sun_path) return false;
  std::memset(&addr, 0, sizeof addr);
  addr.sun_family = AF_UNIX;
  std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
  if (pathOut) *pathOut = path;
  return true;
}

// A socket file nobody listens on any more (its viewer was killed) is in the way of a new one.
void removeStaleSocket(const sockaddr_un& addr) {
  struct stat st {};
  if (::lstat(addr.sun_path, &st) != 0 || !S_ISSOCK(st.st_mode)) return;
  const int probe = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (probe < 0) return;
  if (::connect(probe, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0 && errno == ECONNREFUSED)
    ::unlink(addr.sun_path);
  ::close(probe);
}

}  // namespace

std::string traceSocketPath(const std::string& name) {
  // Looked up at every trace line: the directory is made and checked once.
  static const std::string dir = userRuntimeDirectory();
  if (dir.empty() || name.empty()) return {};
  std::string file = name;
  for (char& c : file)
    if (c == '/') c = '_';
  if (file == "." || file == "..") return {};
  return dir + file;
}

TraceSocket::~TraceSocket() { close(); }

bool TraceSocket::connect(const std::string& name) {
  close();
  int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  sockaddr_un addr;
  if (!channelAddress(name, addr) || ::connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0) {
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
  if (!channelAddress(name, addr, &path_)) {
    if (err) *err = ENAMETOOLONG;
    ::close(fd);
    return false;
  }
  removeStaleSocket(addr);
  if (::bind(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0) {
    if (err) *err = errno;
    ::close(fd);
    path_.clear();
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
  if (fd_ >= 0) {
    ::close(fd_);
    ::unlink(path_.c_str());  // the channel goes with its viewer
  }
  fd_ = -1;
  path_.clear();
}

long processId() { return static_cast<long>(::getpid()); }
long threadId() { return static_cast<long>(::syscall(SYS_gettid)); }

std::string computerName() {
  char name[256] = {};
  if (::gethostname(name, sizeof name - 1) != 0) return {};
  return name;
}

}  // namespace kalvero::platform
