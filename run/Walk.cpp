#include "run/Walk.h"

#include <algorithm>
#include <cerrno>

#include "run/Filters.h"
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

EntryKind kindOf(const platform::DirEntry& entry) {
  if (entry.status.isSymlink) return EntryKind::Symlink;
  switch (entry.kind) {
    case platform::EntryKind::File: return EntryKind::File;
    case platform::EntryKind::Directory: return EntryKind::Directory;
    default: return EntryKind::Special;
  }
}

class Walker {
 public:
  explicit Walker(WalkOptions& options) : o_(options) {}

  // False when dir could not be searched at all.
  bool walk(const std::string& dir, int depth) {
    if (listed(o_.excludedTrees, dir)) return false;
    const bool filesExcluded = listed(o_.excludedDirectories, dir);
    // Entry paths start from the directory without trailing "/" ("/" for the root).
    std::string prefix = dir;
    while (prefix.size() > 1 && prefix.back() == '/') prefix.pop_back();
    if (prefix.empty() || prefix.back() != '/') prefix += '/';

    std::vector<platform::DirEntry> entries;
    int error = 0;
    {
      platform::DirectoryReader reader(dir);
      if (!reader.isOpen()) {
        // A missing root (or one that is a file) is the run's own message, not a search error.
        const int e = reader.error();
        if (o_.onDirectoryError && (depth > 0 || (e != ENOENT && e != ENOTDIR))) o_.onDirectoryError(dir, e);
        return false;
      }
      platform::DirEntry entry;
      if (depth < kOpenDepth) {
        while (reader.next(entry)) take(entry, prefix, filesExcluded, depth);
      } else {
        while (reader.next(entry))
          if (wanted(kindOf(entry))) entries.push_back(std::move(entry));
      }
      error = reader.error();
    }
    for (const platform::DirEntry& e : entries) take(e, prefix, filesExcluded, depth);
    if (error && o_.onDirectoryError) o_.onDirectoryError(dir, error);
    return true;
  }

 private:
  bool wanted(EntryKind kind) const {
    if (kind == EntryKind::Directory) return o_.withSubdirs != 0;
    return kind == EntryKind::File || o_.allKinds;
  }

  void take(const platform::DirEntry& entry, const std::string& prefix, bool filesExcluded, int depth) {
    const EntryKind kind = kindOf(entry);
    if (!wanted(kind)) return;
    if (kind == EntryKind::Directory) {
      std::string sub = prefix + entry.name;
      if (walk(sub, depth + 1) && o_.allKinds) report(std::move(sub), kind, entry.status, 0);
      return;
    }
    if (filesExcluded) return;
    // The hidden half-written copy of a killed run is never taken: a restore
    // would otherwise bring it back as a file of the user's.
    if (platform::isProgramTemporaryName(entry.name)) return;
    std::string path = prefix + entry.name;
    if (o_.allowedPatterns && !MatchPatterns(path, *o_.allowedPatterns)) return;
    if (o_.excludedPatterns && !o_.excludedPatterns->empty() && MatchPatterns(path, *o_.excludedPatterns)) return;
    if (kind == EntryKind::Special) {
      report(std::move(path), kind, entry.status, 0);
      return;
    }
    // A link holds no marker of its own (and the marker of what it points
    // to is not its business): it counts as changed.
    if (kind == EntryKind::File && o_.archiveOnly && !platform::archiveBitSet(path, entry.status)) return;
    if (!InDateRange(entry.status.lastWrite, o_.from, o_.to)) return;
    report(std::move(path), kind, entry.status, entry.status.size);
  }

  void report(std::string path, EntryKind kind, const platform::FileStatus& status, std::uint64_t size) {
    if (o_.pathList && kind == EntryKind::File) o_.pathList->push_back(path);
    if (kind == EntryKind::File || kind == EntryKind::Symlink) {
      if (o_.foundFiles || o_.onFile) o_.totalBytes += size;
    }
    if (o_.foundFiles) o_.foundFiles->push_back(FoundFile{path, size, status.lastWrite, 0, kind});
    if (o_.onFile) {
      found_.path = std::move(path);
      found_.size = size;
      found_.lastWrite = status.lastWrite;
      found_.skip = 0;
      found_.kind = kind;
      o_.onFile(found_);
    }
  }

  WalkOptions& o_;
  FoundFile found_;  // handed to onFile
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
