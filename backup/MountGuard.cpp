#include "backup/MountGuard.h"

#include <fmt/printf.h>

#include <cstdlib>
#include <string_view>
#include <vector>

#include "backup/BackupTexts.h"
#include "platform/PathUtil.h"
#include "platform/FileSystem.h"

namespace kalvero {

namespace {

constexpr const char* kDefaultRoots = "/media:/media/*:/run/media/*:/mnt";

std::vector<std::string> mountRoots() {
  const char* env = std::getenv("KALVERO_MOUNT_ROOTS");
  const std::string list = env && *env ? env : kDefaultRoots;
  std::vector<std::string> roots;
  std::size_t start = 0;
  while (start <= list.size()) {
    std::size_t end = list.find(':', start);
    if (end == std::string::npos) end = list.size();
    std::string root = WithoutTrailingSlash(list.substr(start, end - start));
    if (!root.empty() && root.front() == '/') roots.push_back(std::move(root));
    start = end + 1;
  }
  return roots;
}

// dir equals root, or root ends in "/*" and dir is one name below the rest.
bool matches(const std::string& dir, const std::string& root) {
  const std::string_view r(root);
  if (r.size() >= 2 && r.substr(r.size() - 2) == "/*") {
    const std::string_view base = r.substr(0, r.size() - 1);  // with its "/"
    if (dir.size() <= base.size() || std::string_view(dir).substr(0, base.size()) != base) return false;
    return dir.find('/', base.size()) == std::string::npos;
  }
  return dir == root;
}

std::string parentOf(const std::string& dir) {
  const auto slash = dir.rfind('/');
  return slash == 0 || slash == std::string::npos ? std::string("/") : dir.substr(0, slash);
}

}  // namespace

bool IsOnUnmountedDrive(const std::string& destination) {
  if (destination.empty()) return false;
  std::string dir = platform::absolutePath(destination);
  if (GetPathKind(dir) != PathKind::Nothing) return false;
  const std::vector<std::string> roots = mountRoots();
  // Up from the destination, one missing directory at a time, to the first
  // one that exists.
  while (dir != "/") {
    const std::string parent = parentOf(dir);
    const bool parentExists = GetPathKind(parent) == PathKind::Directory;
    bool isRoot = false;
    for (const std::string& root : roots) isRoot = isRoot || matches(parent, root);
    if (isRoot) return !(parentExists && platform::isMountPoint(parent));
    if (parentExists) return false;
    dir = parent;
  }
  return false;
}

std::string UnmountedDriveLine(const std::string& destination) {
  return fmt::sprintf(texts::UNMOUNTED_DRIVE, destination);
}

}  // namespace kalvero
