#include "platform/PathUtil.h"

#include <fmt/printf.h>
#include <limits.h>

#include <cerrno>
#include <cstring>

#include "platform/FileSystem.h"
#include "platform/TreeCopy.h"

namespace kalvero {

PathKind GetPathKind(const std::string& path) {
  if (path.empty() || path.size() >= PATH_MAX) return PathKind::Nothing;
  auto st = platform::statPath(path);
  if (!st) return PathKind::Nothing;
  return st->kind == platform::EntryKind::Directory ? PathKind::Directory : PathKind::File;
}

std::string WithTrailingSlash(std::string path) {
  if (path.empty() || path.back() != '/') path += '/';
  return path;
}

std::string WithoutTrailingSlash(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

namespace {

std::string withoutTrailingSlashes(std::string path) {
  while (!path.empty() && path.back() == '/') path.pop_back();
  return path;
}

// root (without trailing "/") is null for no root: then nothing is made writable.
bool makeDirectories(const std::string& path, const std::string* root, int* err) {
  const std::string p = withoutTrailingSlashes(path);
  std::string parent = ParentDirectory(p);
  if (parent == p) return true;
  if (GetPathKind(p) == PathKind::Directory) {
    const bool belowRoot = root && p.size() > root->size() && p.compare(0, root->size(), *root) == 0 &&
                           p[root->size()] == '/';
    return !belowRoot || platform::makeOwnerWritable(p, err);
  }
  if (!makeDirectories(parent, root, err)) return false;
  int e = 0;
  if (!platform::makeDirectory(p, &e)) {
    // Made meanwhile by someone else: it exists, which is all the caller needs.
    if (e == EEXIST && GetPathKind(p) == PathKind::Directory) return true;
    if (err) *err = e;
    return false;
  }
  return true;
}

}  // namespace

bool MakeDirectories(const std::string& path, int* err) { return makeDirectories(path, nullptr, err); }

bool MakeDestinationDirectories(const std::string& root, const std::string& path, int* err) {
  const std::string r = withoutTrailingSlashes(root);
  return makeDirectories(path, &r, err);
}

std::string ParentDirectory(const std::string& path) {
  return SplitPath(path).dir;
}

SplitPath::SplitPath(const std::string& path) {
  auto slash = path.rfind('/');
  std::string name;
  if (slash == std::string::npos) {
    name = path;
  } else {
    dir = path.substr(0, slash + 1);
    name = path.substr(slash + 1);
  }
  // A leading dot names a hidden file, not an extension (".bashrc" has none).
  auto dot = name.rfind('.');
  if (dot == std::string::npos || dot == 0) {
    fname = name;
  } else {
    fname = name.substr(0, dot);
    ext = name.substr(dot);
  }
}

bool ExtractField(std::string& out, const std::string& text, int n, char separator) {
  out.clear();
  if (n < 1) n = 1;
  std::size_t start = 0;
  for (int i = 1; i < n; ++i) {
    std::size_t sep = text.find(separator, start);
    if (sep == std::string::npos) return false;
    start = sep + 1;
  }
  std::size_t end = text.find(separator, start);
  out = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
  return true;
}


bool HasLineBreak(std::string_view name) {
  return std::memchr(name.data(), '\n', name.size()) != nullptr || std::memchr(name.data(), '\r', name.size()) != nullptr;
}

}  // namespace kalvero
