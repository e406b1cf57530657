// Destination names of a pair and the normalised form of job-list paths.
#include <string_view>

#include "run/Walk.h"
#include "run/DatedFolders.h"
#include "platform/FileSystem.h"
#include "platform/PathUtil.h"

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
    root = WithTrailingSlash(root) + DatedFolderName(now);
  }
  return root;
}

std::string_view PathBelowRoot(std::string_view file, std::string_view sourceRoot) {
  // The root as the walk wrote it into the path: without trailing "/" (but
  // "/" for the file-system root), followed by exactly one "/".
  std::string_view root(sourceRoot);
  while (root.size() > 1 && root.back() == '/') root.remove_suffix(1);
  std::string_view relative(file);
  const bool rootIsSlash = root == "/";
  const bool below = relative.substr(0, root.size()) == root &&
                     (rootIsSlash || (relative.size() > root.size() && relative[root.size()] == '/'));
  if (below) {
    relative.remove_prefix(rootIsSlash ? 1 : root.size() + 1);
  } else {
    // Not below the root: the whole name goes below the destination, never cut in the middle.
    while (!relative.empty() && relative.front() == '/') relative.remove_prefix(1);
  }
  return relative;
}

void DestinationPathInto(std::string& out, std::string_view file, std::string_view sourceRoot,
                         std::string_view destinationRoot) {
  out.assign(destinationRoot);
  if (out.empty() || out.back() != '/') out.push_back('/');
  out.append(PathBelowRoot(file, sourceRoot));
}

std::string DestinationPathOf(const std::string& file, const std::string& sourceRoot,
                              const std::string& destinationRoot) {
  std::string result;
  DestinationPathInto(result, file, sourceRoot, destinationRoot);
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
