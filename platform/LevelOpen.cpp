#include "platform/LevelOpen.h"
#include "platform/PathUtil.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <vector>

#include "platform/SysCall.h"

namespace kalvero::platform {

namespace {

// The part of path below root ("" for root itself); false when path is not below it.
bool relativeBelow(const std::string& root, const std::string& path, std::string& relative) {
  const std::string r = WithoutTrailingSlash(root);
  const std::string p = WithoutTrailingSlash(path);
  if (p == r) {
    relative.clear();
    return true;
  }
  const std::size_t skip = r == "/" ? 1 : r.size() + 1;
  if (p.size() <= skip || p.compare(0, r.size(), r) != 0 || (r != "/" && p[r.size()] != '/')) return false;
  relative = p.substr(skip);
  return true;
}

std::vector<std::string> components(const std::string& relative) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (start <= relative.size()) {
    std::size_t end = relative.find('/', start);
    if (end == std::string::npos) end = relative.size();
    if (end > start) parts.push_back(relative.substr(start, end - start));
    start = end + 1;
  }
  return parts;
}

// One level down from dir: a real directory or ELOOP / ENOTDIR.
int stepDown(int dir, const std::string& name, const std::string& pathForFaults) {
  if (name == "..") {  // never climbs back above the root through the text
    errno = EXDEV;
    return -1;
  }
  return sys::openat(dir, name.c_str(), pathForFaults.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}

// The parent directory of path (below root, path itself not root) and its last name.
int openParentBelow(const std::string& root, const std::string& path, std::string& name, int* err) {
  std::string relative;
  if (!relativeBelow(root, path, relative) || relative.empty()) {
    if (err) *err = EXDEV;
    return -1;
  }
  const auto slash = relative.rfind('/');
  name = slash == std::string::npos ? relative : relative.substr(slash + 1);
  const std::string parent = WithoutTrailingSlash(root) + (slash == std::string::npos ? "" : "/" + relative.substr(0, slash));
  return openDirectoryBelow(root, parent, err);
}

}  // namespace

namespace {

std::atomic<bool> noOpenBeneath{false};

// Every level below dir in one call where the kernel can; -2 where it cannot.
int openBelowInOneCall(int rootFd, const std::string& relative, const std::string& dir) {
  if (noOpenBeneath.load(std::memory_order_relaxed)) return -2;
  const int fd = sys::openBeneath(rootFd, relative.c_str(), dir.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW);
  if (fd >= 0 || errno != ENOSYS) return fd;
  noOpenBeneath.store(true, std::memory_order_relaxed);
  return -2;
}

}  // namespace

int openDirectoryBelow(const std::string& root, const std::string& dir, int* err) {
  std::string relative;
  if (!relativeBelow(root, dir, relative)) {
    if (err) *err = EXDEV;
    return -1;
  }
  const int rootFd = sys::open(root.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
  if (rootFd < 0) {
    if (err) *err = errno;
    return -1;
  }
  if (relative.empty()) return rootFd;
  const int fd = openDirectoryBeneath(rootFd, relative, dir, err);
  sys::close(rootFd);
  return fd;
}

int openDirectoryBeneath(int rootFd, const std::string& relative, const std::string& pathForFaults, int* err) {
  const std::vector<std::string> names = components(relative);
  if (names.empty()) {
    const int fd = sys::openat(rootFd, ".", pathForFaults.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0 && err) *err = errno;
    return fd;
  }
  if (std::find(names.begin(), names.end(), "..") == names.end()) {
    const int fd = openBelowInOneCall(rootFd, relative, pathForFaults);
    if (fd != -2) {
      if (fd < 0 && err) *err = errno;
      return fd;
    }
  }
  int fd = rootFd;
  for (const std::string& name : names) {
    const int next = stepDown(fd, name, pathForFaults);
    const int e = errno;
    if (fd != rootFd) sys::close(fd);
    errno = e;
    fd = next;
    if (fd < 0) break;
  }
  if (fd < 0 && err) *err = errno;
  return fd;
}

bool statBelow(const std::string& root, const std::string& path, struct stat& st, int* err) {
  std::string relative;
  if (relativeBelow(root, path, relative) && relative.empty())
    return sys::stat(root.c_str(), &st) == 0 || sys::fail(err, errno);  // the root itself: the user's, followed
  std::string name;
  const int dir = openParentBelow(root, path, name, err);
  if (dir < 0) return false;
  const int rc = sys::fstatat(dir, name.c_str(), path.c_str(), &st, AT_SYMLINK_NOFOLLOW);
  const int e = errno;
  sys::close(dir);
  return rc == 0 || sys::fail(err, e);
}

namespace {

// As lstatPath gives it: a link's kind is Other.
FileStatus entryStatusOf(const struct stat& st) {
  FileStatus s = sys::statusFromStat(st, S_ISLNK(st.st_mode));
  if (s.isSymlink) s.kind = EntryKind::Other;
  return s;
}

}  // namespace

std::optional<FileStatus> statusBelow(const std::string& root, const std::string& path, int* err) {
  struct stat st {};
  if (!statBelow(root, path, st, err)) return std::nullopt;
  return entryStatusOf(st);
}

RootBelow::~RootBelow() {
  closeDirectory();
  if (fd_ >= 0) sys::close(fd_);
}

void RootBelow::reset(const std::string& root) {
  closeDirectory();
  if (fd_ >= 0) sys::close(fd_);
  fd_ = -1;
  root_ = root;
}

void RootBelow::closeDirectory() {
  if (dirFd_ >= 0) sys::close(dirFd_);
  dirFd_ = -1;
  dirRelative_.clear();
}

std::optional<FileStatus> RootBelow::status(const std::string& path, int* err) {
  std::string relative;
  if (!relativeBelow(root_, path, relative) || relative.empty()) return statusBelow(root_, path, err);
  if (fd_ < 0) {
    fd_ = sys::open(root_.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (fd_ < 0) {
      sys::fail(err, errno);
      return std::nullopt;
    }
  }
  const std::size_t slash = relative.rfind('/');
  int dir = fd_;
  if (slash != std::string::npos) {
    const std::string_view parent(relative.data(), slash);
    if (dirFd_ < 0 || parent != dirRelative_) {
      closeDirectory();
      dirFd_ = openDirectoryBeneath(fd_, std::string(parent), ParentDirectory(path), err);
      if (dirFd_ < 0) return std::nullopt;
      dirRelative_ = parent;
    }
    dir = dirFd_;
  }
  const char* name = relative.c_str() + (slash == std::string::npos ? 0 : slash + 1);
  return statusAt(dir, name, path, err);
}

std::optional<FileStatus> statusAt(int dir, const char* name, const std::string& pathForFaults, int* err) {
  struct stat st {};
  if (sys::fstatat(dir, name, pathForFaults.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
    sys::fail(err, errno);
    return std::nullopt;
  }
  return entryStatusOf(st);
}

HeldDirectory::~HeldDirectory() {
  if (fd_ >= 0) sys::close(fd_);
}

void DirectoriesBelow::reset(const std::string& root) {
  root_ = root;
  rootHeld_.reset();
  dir_.clear();
  held_.reset();
}

SharedDirectory DirectoriesBelow::hold(const std::string& dir, int* err) {
  if (held_ && dir == dir_) return held_;
  std::string relative;
  if (!relativeBelow(root_, dir, relative)) {
    sys::fail(err, EXDEV);
    return nullptr;
  }
  if (!rootHeld_) {
    const int fd = sys::open(root_.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
      sys::fail(err, errno);
      return nullptr;
    }
    rootHeld_ = std::make_shared<const HeldDirectory>(fd);
  }
  SharedDirectory held = rootHeld_;
  if (!relative.empty()) {
    const int fd = openDirectoryBeneath(rootHeld_->fd(), relative, dir, err);
    if (fd < 0) return nullptr;
    held = std::make_shared<const HeldDirectory>(fd);
  }
  dir_ = dir;
  held_ = std::move(held);
  return held_;
}

int openBelow(const std::string& root, const std::string& path, int flags, int* err) {
  std::string name;
  const int dir = openParentBelow(root, path, name, err);
  if (dir < 0) return -1;
  const int fd = sys::openat(dir, name.c_str(), path.c_str(), flags | O_NOFOLLOW | O_CLOEXEC);
  const int e = errno;
  sys::close(dir);
  if (fd < 0 && err) *err = e;
  return fd;
}

namespace {

// path with its existing beginning resolved by the system and the rest (which
// does not exist, so holds no link) joined by its text.
std::string resolvedPath(const std::string& path) {
  const std::vector<std::string> parts = components(path);
  for (std::size_t keep = parts.size() + 1; keep-- > 0;) {
    std::string prefix = "/";
    for (std::size_t i = 0; i < keep; ++i) prefix += (i ? "/" : "") + parts[i];
    char buffer[PATH_MAX];
    if (!::realpath(prefix.c_str(), buffer)) continue;
    std::string out = buffer;
    for (std::size_t i = keep; i < parts.size(); ++i) {
      if (parts[i] == ".") continue;
      if (parts[i] == "..") {
        const auto slash = out.rfind('/');
        out.resize(slash == 0 || slash == std::string::npos ? 1 : slash);
        continue;
      }
      out += (out == "/" ? "" : "/") + parts[i];
    }
    return out;
  }
  return path;
}

}  // namespace

bool isSameOrBelow(const std::string& path, const std::string& dir) {
  struct stat target {};
  if (path.empty() || path.front() != '/' || sys::stat(dir.c_str(), &target) != 0) return false;
  std::string resolved = resolvedPath(path);
  // A ".." past the existing part can lead back into existing directories: once more.
  if (resolved != path) resolved = resolvedPath(resolved);
  for (;;) {
    struct stat st {};
    if (sys::stat(resolved.c_str(), &st) == 0 && st.st_dev == target.st_dev && st.st_ino == target.st_ino) return true;
    if (resolved == "/") return false;
    const auto slash = resolved.rfind('/');
    resolved.resize(slash == 0 || slash == std::string::npos ? 1 : slash);
  }
}

bool flushFileAndDirectory(const std::string& path, int* err) {
  const int fd = sys::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return sys::fail(err, errno);
  const bool fileOk = sys::fsync(fd, path.c_str()) == 0;
  const int fileError = errno;
  sys::close(fd);
  if (!fileOk) return sys::fail(err, fileError);
  const auto slash = path.rfind('/');
  const std::string dir = slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
  const int dfd = sys::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dfd < 0) return sys::fail(err, errno);
  const bool dirOk = sys::fsync(dfd, dir.c_str()) == 0;
  const int dirError = errno;
  sys::close(dfd);
  return dirOk || sys::fail(err, dirError);
}

}  // namespace kalvero::platform
