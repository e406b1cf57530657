// Destination names of a pair and the normalised form of job-list paths.
#include <fmt/format.h>

#include <string_view>

#include "backup/Walk.h"
#include "platform/FileSystem.h"

namespace kalvero {

namespace {

bool needsNormalising(const std::string& path) {
  if (path.empty() || path.front() != '/') return true;
  if (path.find("//") != std::string::npos) return true;
  std::size_t start = 0;
  while (start <= path.size()) {
    auto end = path.find('/', start);
    if (end == std::string::npos) end = path.size();
    const std::string_view part(path.data() + start, end - start);
    if (part == "." || part == "..") return true;
    start = end + 1;
  }
  return false;
}

}  // namespace

std::string PairDestinationRoot(const DirPair& pair, const BackupOptions& options, const platform::LocalTime& now) {
  std::string root = pair.destination;
  if (options.SubVerzDatum) {
    if (root.empty() || root.back() != '/') root += '/';
    root += fmt::format("{:04d}_{:02d}_{:02d}", now.year, now.month, now.day);
  }
  return root;
}

std::string DestinationPathOf(const std::string& file, const std::string& sourceRoot,
                              const std::string& destinationRoot) {
  std::string result = destinationRoot;
  if (result.empty() || result.back() != '/') result += '/';
  std::string root = sourceRoot;
  if (root.empty() || root.back() != '/') root += '/';
  std::string_view relative(file);
  if (relative.substr(0, root.size()) == root) {
    relative.remove_prefix(root.size());
  } else {
    // The walk writes one "/" after the root even when the configured root
    // ends in several; any other path keeps its whole name below the destination.
    std::string trimmedRoot = root;
    while (trimmedRoot.size() > 1 && trimmedRoot[trimmedRoot.size() - 2] == '/') trimmedRoot.pop_back();
    if (relative.substr(0, trimmedRoot.size()) == trimmedRoot) {
      relative.remove_prefix(trimmedRoot.size());
    } else {
      while (!relative.empty() && relative.front() == '/') relative.remove_prefix(1);
    }
  }
  result.append(relative);
  return result;
}

std::string NormaliseJobPath(const std::string& path) {
  if (path.empty() || !needsNormalising(path)) return path;
  return platform::absolutePath(path);
}

JobList NormaliseJobList(const JobList& jobs) {
  JobList out = jobs;
  for (DirPair& pair : out) {
    pair.source = NormaliseJobPath(pair.source);
    pair.destination = NormaliseJobPath(pair.destination);
    for (ExcludedDir& e : pair.excluded) e.directory = NormaliseJobPath(e.directory);
  }
  return out;
}

}  // namespace kalvero
