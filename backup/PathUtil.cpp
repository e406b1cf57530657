#include "backup/PathUtil.h"

#include <fmt/printf.h>
#include <limits.h>

#include <cerrno>

#include "backup/MountGuard.h"
#include "platform/FileSystem.h"
#include "platform/TreeCopy.h"

namespace kalvero {
namespace {

// Texts of the directory check ("Prüfen ...").
constexpr const char* kSourcesMissing = "Die folgenden aktiven Quellverzeichnisse sind nicht vorhanden:\n%s";
constexpr const char* kSourcesPresent = "Alle aktiven Quellverzeichnisse sind vorhanden.";
constexpr const char* kDestinationsMissing = "Die folgenden aktiven Zielverzeichnisse sind nicht vorhanden:\n%s";
constexpr const char* kDestinationsPresent = "Alle aktiven Zielverzeichnisse sind vorhanden.";

}  // namespace

int GetPathKind(const std::string& path) {
  if (path.empty() || path.size() >= PATH_MAX) return 0;
  auto st = platform::statPath(path);
  if (!st) return 0;
  return st->kind == platform::EntryKind::Directory ? -1 : 1;
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
  if (GetPathKind(p) == -1) {
    const bool belowRoot = root && p.size() > root->size() && p.compare(0, root->size(), *root) == 0 &&
                           p[root->size()] == '/';
    return !belowRoot || platform::makeOwnerWritable(p, err);
  }
  if (!makeDirectories(parent, root, err)) return false;
  int e = 0;
  if (!platform::makeDirectory(p, &e)) {
    // Made meanwhile by someone else: it exists, which is all the caller needs.
    if (e == EEXIST && GetPathKind(p) == -1) return true;
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
  SplitPath s(path);
  return s.drive + s.dir;
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

DirectoryCheckResult CheckDirectories(const JobList& jobs) {
  std::string sources, destinations;
  for (const DirPair& pair : jobs) {
    if (pair.active == 0) continue;
    if (GetPathKind(pair.source) != -1) sources += pair.source + "\r\n";
    if (GetPathKind(pair.destination) != -1) destinations += pair.destination + "\r\n";
  }
  DirectoryCheckResult r;
  if (!sources.empty())
    r.text = fmt::sprintf(kSourcesMissing, sources) + "\r\n";
  else
    r.text = std::string(kSourcesPresent) + "\r\n\r\n";
  if (!destinations.empty())
    r.text += fmt::sprintf(kDestinationsMissing, destinations) + "\r\n";
  else
    r.text += std::string(kDestinationsPresent) + "\r\n\r\n";
  r.anythingMissing = !sources.empty() || !destinations.empty();
  // A destination on a drive that is not plugged in: its pair would not be run.
  for (const DirPair& pair : jobs) {
    const std::string unmounted = pair.active ? UnmountedDriveText(pair.destination) : std::string();
    if (!unmounted.empty()) r.text += unmounted + "\r\n";
  }
  return r;
}

}  // namespace kalvero
