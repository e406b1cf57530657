#include "backup/PairSelection.h"

#include <string_view>
#include <vector>

#include "app/SettingsFile.h"
#include "platform/PathUtil.h"
#include "backup/CheckFile.h"
#include "backup/MountGuard.h"
#include "run/Filters.h"

namespace kalvero {

void ReloadPairOptions(const std::string& settingsPath, BackupOptions& options) {
  if (settingsPath.empty()) return;
  bool readOk = false;
  const BackupOptions reloaded = SettingsFile(settingsPath).loadBackupOptions(&readOk);
  if (readOk) options = reloaded;
}

namespace {

std::string withSlash(std::string path) {
  if (path.empty() || path.back() != '/') path += '/';
  return path;
}

}  // namespace

PairSelectionResult SelectPair(const PairSelectionInput& in) {
  PairSelectionResult result;
  const DirPair& pair = *in.pair;
  const BackupOptions& options = *in.options;
  const ExclusionLists exclusions = SplitExclusions(pair);
  std::vector<std::string> allowed, excluded;
  if (options.MusterFlagErlaubt && !options.MusterErlaubt.empty()) BuildPatternList(options.MusterErlaubt, allowed);
  if (options.MusterFlagNichtErlaubt && !options.MusterNichtErlaubt.empty())
    BuildPatternList(options.MusterNichtErlaubt, excluded);
  const DateBounds bounds = MakeDateBounds(*in.dateFilter, options.Datum);

  const std::string sourceRoot = withSlash(pair.source);
  const std::string destRoot = withSlash(in.destinationRoot);
  WalkOptions walk;
  walk.withSubdirs = pair.withSubdirs;
  walk.archiveOnly = options.Archivbit;
  walk.allowedPatterns = allowed.empty() ? nullptr : &allowed;
  walk.excludedPatterns = excluded.empty() ? nullptr : &excluded;
  walk.from = bounds.from;
  walk.to = bounds.to;
  walk.excludedDirectories = exclusions.directories.empty() ? nullptr : &exclusions.directories;
  walk.excludedTrees = exclusions.trees.empty() ? nullptr : &exclusions.trees;
  // Links are backed up as links; directories and special files are handed
  // on too, so the run can create empty ones and name the others.
  walk.allKinds = true;
  walk.onDirectoryError = in.onDirectoryError;
  const auto decide = [&](FoundFile& entry) {
    // Only files and links are recorded; a name with a line break never gets
    // a check-file line and is copied at every run. The key is looked up in
    // its two pieces (destination root, path below the source root): no
    // joined name is built for a file that is already recorded.
    if (in.checkFile && (entry.kind == EntryKind::File || entry.kind == EntryKind::Symlink)) {
      const std::string_view path = entry.path;
      const CheckKey key{destRoot, PathBelowRoot(path, sourceRoot)};
      if (!HasLineBreak(key.head) && !HasLineBreak(key.tail)) {
        const bool same = in.checkFile->CheckAndConfirm(key, static_cast<std::int64_t>(entry.size),
                                                        static_cast<std::uint32_t>(entry.lastWrite & 0xFFFFFFFFu),
                                                        static_cast<std::uint32_t>(entry.lastWrite >> 32));
        entry.skip = same ? 1 : 0;
        if (same) result.skippedBytes += entry.size;
      }
    }
    if (in.onEntry) in.onEntry(entry);
  };
  bool ready = !in.checkFile || !in.checkFileReady;
  std::vector<FoundFile> held;  // found while the check file was still loading
  const auto handOnHeld = [&] {
    for (FoundFile& entry : held) decide(entry);
    held.clear();
  };
  walk.onFile = [&](FoundFile& entry) {
    if (!ready && !(ready = in.checkFileReady(false))) {
      held.push_back(std::move(entry));
      return;
    }
    handOnHeld();
    decide(entry);
  };
  // Never onto a drive that is not plugged in: the pair is left out.
  result.unmountedText = UnmountedDriveText(in.destinationRoot);
  if (!result.unmountedText.empty()) return result;
  WalkDirectory(pair.source, walk);
  if (!held.empty()) {
    in.checkFileReady(true);
    handOnHeld();
  }
  result.totalBytes = walk.totalBytes;
  return result;
}

}  // namespace kalvero
