#include "platform/RunLock.h"

#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include <fmt/format.h>

#include "platform/FileSystem.h"
#include "platform/KeyedHash.h"
#include "platform/UserDirs.h"

namespace kalvero::platform {
namespace {

// Lock files are named after a hash of the path: any path fits in a name.
std::string lockFileName(const std::string& path) {
  constexpr HashKey kNames{0x6b616c7665726f31ULL, 0x72756e6c6f636b73ULL};
  return fmt::format("run-{:016x}.lock", keyedHash(kNames, path));
}

// Every directory above path, from "/" down.
std::vector<std::string> ancestorsOf(const std::string& path) {
  std::vector<std::string> out{"/"};
  for (std::size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1))
    out.push_back(path.substr(0, slash));
  if (path == "/") out.clear();
  return out;
}

}  // namespace

RunLock::~RunLock() { release(); }

// The last holder removes the lock file while it still holds it, so none is
// left behind; a run that took it meanwhile sees another file and tries again.
void RunLock::letGo(const Held& h) {
  if (::flock(h.fd, LOCK_EX | LOCK_NB) == 0) ::unlink(h.file.c_str());
  ::close(h.fd);  // closing the last descriptor lets the lock go
}

void RunLock::release() {
  for (const Held& h : held_) letGo(h);
  held_.clear();
}

std::string RunLock::resolvedRoot(const std::string& root) {
  std::string path = absolutePath(root);
  std::string rest;
  // The nearest existing directory is resolved; what is still to be made keeps its name.
  for (;;) {
    char resolved[PATH_MAX];
    if (::realpath(path.c_str(), resolved) != nullptr) {
      std::string out = resolved;
      if (!rest.empty()) out += (out == "/" ? "" : "/") + rest;
      return out;
    }
    const auto slash = path.rfind('/');
    if (path.size() <= 1 || slash == std::string::npos) return absolutePath(root);
    rest = rest.empty() ? path.substr(slash + 1) : path.substr(slash + 1) + "/" + rest;
    path = slash == 0 ? "/" : path.substr(0, slash);
  }
}

RunLock::Result RunLock::add(const std::string& root) {
  const std::string dir = userRuntimeDirectory();
  if (dir.empty()) return Result::Unavailable;
  const std::string path = resolvedRoot(root);
  const std::size_t before = held_.size();
  Result r = Result::Held;
  for (const std::string& above : ancestorsOf(path))
    if ((r = take(dir, above, false)) != Result::Held) break;
  if (r == Result::Held) r = take(dir, path, true);
  if (r != Result::Held) {
    // Nothing new is kept after a refusal; what was held before stays.
    for (std::size_t i = before; i < held_.size(); ++i) letGo(held_[i]);
    held_.resize(before);
  }
  return r;
}

RunLock::Result RunLock::take(const std::string& dir, const std::string& path, bool exclusive) {
  for (Held& h : held_) {
    if (h.path != path) continue;
    if (h.exclusive || !exclusive) return Result::Held;
    // A root below another of this run's roots: its shared lock becomes exclusive.
    if (::flock(h.fd, LOCK_EX | LOCK_NB) != 0) return Result::Busy;
    h.exclusive = true;
    return Result::Held;
  }
  const std::string file = dir + lockFileName(path);
  bool busy = false;
  for (int attempt = 0; attempt < 100; ++attempt) {
    int fd;
    do fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    while (fd < 0 && errno == EINTR);
    if (fd < 0) return Result::Unavailable;
    int r;
    do r = ::flock(fd, (exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB);
    while (r != 0 && errno == EINTR);
    if (r != 0) {
      const int e = errno;
      ::close(fd);
      if (e != EWOULDBLOCK) return Result::Unavailable;
      // The last holder of a lock takes it alone for a moment while it
      // removes its file (letGo): only a lock that stays taken is another run's.
      busy = true;
      ::usleep(2000);
      continue;
    }
    busy = false;
    // Removed by its last holder between the open and the lock: a lock on
    // nothing; the file under the name is taken again.
    struct stat opened {}, named {};
    if (::fstat(fd, &opened) == 0 && ::lstat(file.c_str(), &named) == 0 && opened.st_ino == named.st_ino &&
        opened.st_dev == named.st_dev) {
      held_.push_back({path, file, fd, exclusive});
      return Result::Held;
    }
    ::close(fd);
  }
  return busy ? Result::Busy : Result::Unavailable;
}

}  // namespace kalvero::platform
