#include "restore/TargetPath.h"

#include "platform/FileSystem.h"

namespace kalvero {

std::string JoinBelowRoot(const std::string& root, const std::string& relativeName) {
  if (relativeName.empty() || relativeName.front() == '/') return {};
  if (relativeName.find('\0') != std::string::npos) return {};
  std::string joined = root;
  while (joined.size() > 1 && joined.back() == '/') joined.pop_back();
  if (joined.empty() || joined.back() != '/') joined += '/';
  bool any = false;
  std::size_t pos = 0;
  while (pos <= relativeName.size()) {
    std::size_t end = relativeName.find('/', pos);
    if (end == std::string::npos) end = relativeName.size();
    const std::string part = relativeName.substr(pos, end - pos);
    pos = end + 1;
    if (part.empty() || part == ".") continue;
    if (part == "..") return {};
    if (any) joined += '/';
    joined += part;
    any = true;
  }
  return any ? joined : std::string{};
}

bool PathStaysBelowRoot(const std::string& root, const std::string& target, bool targetIsDirectory) {
  std::string base = root;
  while (base.size() > 1 && base.back() == '/') base.pop_back();
  if (target.compare(0, base.size(), base) != 0) return false;
  std::size_t pos = base.size();
  if (pos < target.size() && target[pos] == '/') ++pos;
  else if (base != "/") return false;
  // Every directory between root and the final name (and the name itself for a directory).
  const std::string path = targetIsDirectory ? target + "/" : target;
  for (std::size_t slash = path.find('/', pos); slash != std::string::npos; slash = path.find('/', slash + 1)) {
    const auto st = platform::lstatPath(path.substr(0, slash));
    if (!st) return true;  // missing from here on: created as plain directories
    if (st->isSymlink || st->kind != platform::EntryKind::Directory) return false;
  }
  return true;
}

std::string SafeTargetPath(const std::string& root, const std::string& relativeName, bool isDirectory) {
  std::string target = JoinBelowRoot(root, relativeName);
  if (target.empty() || !PathStaysBelowRoot(root, target, isDirectory)) return {};
  return target;
}

}  // namespace kalvero
