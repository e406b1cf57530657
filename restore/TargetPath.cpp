#include "restore/TargetPath.h"

#include "platform/FileSystem.h"
#include "platform/PathUtil.h"

namespace kalvero {

std::string JoinBelowRoot(const std::string& root, const std::string& relativeName) {
  if (relativeName.empty() || relativeName.front() == '/') return {};
  if (relativeName.find('\0') != std::string::npos) return {};
  std::string joined = WithTrailingSlash(WithoutTrailingSlash(root));
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

bool PathStaysBelowRoot(const std::string& root, const std::string& target, bool targetIsDirectory,
                        const std::unordered_set<std::string>* runLinks) {
  const std::string base = WithoutTrailingSlash(root);
  if (target.compare(0, base.size(), base) != 0) return false;
  std::size_t pos = base.size();
  if (pos < target.size() && target[pos] == '/') ++pos;
  else if (base != "/") return false;
  // Every directory between root and the final name (and the name itself for a directory).
  const std::string path = targetIsDirectory ? target + "/" : target;
  for (std::size_t slash = path.find('/', pos); slash != std::string::npos; slash = path.find('/', slash + 1)) {
    const std::string part = path.substr(0, slash);
    const auto st = platform::lstatPath(part);
    if (!st) return true;  // missing from here on: created as plain directories
    if (st->isSymlink) {
      if (runLinks && runLinks->count(part)) return false;
      const auto followed = platform::statPath(part);
      if (!followed || followed->kind != platform::EntryKind::Directory) return false;
    } else if (st->kind != platform::EntryKind::Directory) {
      return false;
    }
  }
  return true;
}

std::string SafeTargetPath(const std::string& root, const std::string& relativeName, bool isDirectory,
                           const std::unordered_set<std::string>* runLinks) {
  std::string target = JoinBelowRoot(root, relativeName);
  if (target.empty() || !PathStaysBelowRoot(root, target, isDirectory, runLinks)) return {};
  return target;
}

std::string SingleEntryPlace(const std::string& archiveRelative, const std::string& storedName) {
  if (archiveRelative.empty() || storedName.size() < archiveRelative.size()) return {};
  if (storedName.compare(storedName.size() - archiveRelative.size(), archiveRelative.size(), archiveRelative) != 0)
    return {};
  const std::size_t before = storedName.size() - archiveRelative.size();
  if (before != 0 && storedName[before - 1] != '/') return {};
  return archiveRelative;
}

}  // namespace kalvero
