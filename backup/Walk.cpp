#include "backup/Walk.h"

#include <algorithm>

#include "backup/Filters.h"
#include "platform/DirectoryReader.h"
#include "platform/FileCopy.h"
#include "platform/FileSystem.h"

namespace kalvero {

namespace {

// Below this depth a directory stays open while its subdirectories are
// searched; deeper down its entries are read first and the directory closed,
// so a very deep tree never runs out of file descriptors.
constexpr int kOpenDepth = 48;

bool listed(const std::vector<std::string>* list, const std::string& dir) {
  return list && std::find(list->begin(), list->end(), dir) != list->end();
}

class Walker {
 public:
  explicit Walker(WalkOptions& options) : o_(options) {}

  void walk(const std::string& dir, int depth) {
    if (listed(o_.excludedTrees, dir)) return;
    const bool filesExcluded = listed(o_.excludedDirectories, dir);
    // Entry paths start from the directory without trailing "/" ("/" for the root).
    std::string prefix = dir;
    while (prefix.size() > 1 && prefix.back() == '/') prefix.pop_back();
    if (prefix.empty() || prefix.back() != '/') prefix += '/';

    std::vector<platform::DirEntry> entries;
    {
      platform::DirectoryReader reader(dir);
      if (!reader.isOpen()) return;
      platform::DirEntry entry;
      if (depth < kOpenDepth) {
        while (reader.next(entry)) take(entry, prefix, filesExcluded, depth);
        return;
      }
      while (reader.next(entry)) {
        const bool wanted = entry.kind == platform::EntryKind::File ||
                            (entry.kind == platform::EntryKind::Directory && o_.withSubdirs);
        if (wanted) entries.push_back(std::move(entry));
      }
    }
    for (const platform::DirEntry& e : entries) take(e, prefix, filesExcluded, depth);
  }

 private:
  void take(const platform::DirEntry& entry, const std::string& prefix, bool filesExcluded, int depth) {
    if (entry.kind == platform::EntryKind::Directory) {
      if (o_.withSubdirs) walk(prefix + entry.name, depth + 1);
      return;
    }
    if (entry.kind != platform::EntryKind::File || filesExcluded) return;
    // The hidden half-written copy of a killed run is never taken: a restore
    // would otherwise bring it back as a file of the user's.
    if (platform::isProgramTemporaryName(entry.name)) return;
    path_.assign(prefix).append(entry.name);
    if (o_.archiveOnly && !platform::archiveBitSet(path_, entry.status)) return;
    if (o_.allowedPatterns && !MatchPatterns(path_, *o_.allowedPatterns)) return;
    if (o_.excludedPatterns && !o_.excludedPatterns->empty() && MatchPatterns(path_, *o_.excludedPatterns))
      return;
    if (!InDateRange(entry.status.lastWrite, o_.from, o_.to)) return;
    if (o_.pathList) o_.pathList->push_back(path_);
    if (o_.foundFiles) o_.foundFiles->push_back(FoundFile{path_, entry.status.size, entry.status.lastWrite, 0});
    if (o_.onFile) {
      found_.path.swap(path_);
      found_.size = entry.status.size;
      found_.lastWrite = entry.status.lastWrite;
      found_.skip = 0;
      o_.onFile(found_);
      found_.path.swap(path_);
    }
    if (o_.foundFiles || o_.onFile) o_.totalBytes += entry.status.size;
  }

  WalkOptions& o_;
  std::string path_;  // reused for every file
  FoundFile found_;   // handed to onFile
};

}  // namespace

void WalkDirectory(const std::string& dir, WalkOptions& options) {
  Walker(options).walk(dir, 0);
}

ExclusionLists SplitExclusions(const DirPair& pair) {
  ExclusionLists lists;
  for (const ExcludedDir& e : pair.excluded) (e.withSubdirs ? lists.trees : lists.directories).push_back(e.directory);
  return lists;
}

}  // namespace kalvero
