// Path helpers of the layer, used when unpacking.
#include "platform/PathUtil.h"
#include "platform/FileSystem.h"
#include "zip/ZipArchiveLayer.h"

namespace kalvero {

std::string GetDirectoryOf(const std::string& path) {
  std::string::size_type slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

bool IsExistingDirectory(const std::string& path) {
  auto st = platform::statPath(path);
  return st && st->kind == platform::EntryKind::Directory;
}

bool CreateDirectoryPath(const std::string& path) {
  std::string p = path;
  while (p.size() > 1 && p.back() == '/') p.pop_back();
  if (p.empty() || p == "/" || IsExistingDirectory(p)) return true;
  std::string parent = GetDirectoryOf(p);
  if (!parent.empty() && parent != p && !CreateDirectoryPath(parent)) return false;
  int err = 0;
  if (platform::makeDirectory(p, &err)) return true;
  return IsExistingDirectory(p);  // made meanwhile by someone else
}

}  // namespace kalvero
