#include "restore/RestorePlan.h"

#include <new>
#include <unordered_map>

#include "platform/FileError.h"
#include "restore/RestoreJob.h"
#include "restore/RestoreTexts.h"
#include "restore/TargetPath.h"
#include "zip/ZipArchiveLayer.h"

namespace kalvero {

ArchiveSummary SummarizeArchive(ZipArchiveLayer& zip, const std::string& path) {
  ArchiveSummary s;
  if (!zip.IsClosed()) zip.Close(true);
  try {
    zip.Open(path, ZipArchiveLayer::OpenExisting);
    s.readable = true;
    s.own = zip.GetArchiveComment() == restore_text::kOwnArchiveComment;
    s.entries = zip.GetEntryCount();
    ZipEntryHeader info;
    if (s.entries == 1 && !zip.IsEntryDirectory(0) && zip.GetEntryInfo(0, info)) {
      s.singleIsFile = true;
      s.singleName = info.name;
      s.singleTime = info.lastWriteTime();
      s.singleSize = info.uncompressedSize;
    }
  } catch (const CZipException&) {
    s.readable = false;
  } catch (const platform::FileError&) {
    s.readable = false;
  } catch (const std::bad_alloc&) {
    s.readable = false;
  }
  if (!zip.IsClosed()) zip.Close(true);
  return s;
}

void SummarizeArchives(const std::vector<FoundFile>& found, std::size_t begin, std::size_t end, ZipArchiveLayer& zip,
                       std::vector<ArchiveSummary>& archives) {
  for (std::size_t i = begin; i < end; ++i)
    if (found[i].kind == EntryKind::File && HasZipExtension(found[i].path))
      archives[i] = SummarizeArchive(zip, found[i].path);
}

std::vector<ArchiveSummary> SummarizeArchives(const std::vector<FoundFile>& found, ZipArchiveLayer& zip) {
  std::vector<ArchiveSummary> archives(found.size());
  SummarizeArchives(found, 0, found.size(), zip, archives);
  return archives;
}

std::string SingleEntryName(const ArchiveSummary& archive, const std::string& archiveRelative) {
  if (archive.own && archive.singleIsFile && archiveRelative.size() > 4) {
    const std::string place =
        SingleEntryPlace(archiveRelative.substr(0, archiveRelative.size() - 4), archive.singleName);
    if (!place.empty()) return place;
  }
  return archive.singleName;
}

std::vector<RestoreItem> PlanRestore(const std::vector<FoundFile>& found, const std::string& sourceRoot,
                                     const std::string& destinationRoot, bool ownArchivesOnly,
                                     const std::vector<ArchiveSummary>& archives) {
  std::vector<RestoreItem> items;
  items.reserve(found.size());
  std::unordered_map<std::string, std::size_t> byTarget;  // target -> the item restored there so far
  for (std::size_t i = 0; i < found.size(); ++i) {
    const FoundFile& f = found[i];
    RestoreItem item;
    item.found = f;
    item.relative = f.path.size() > sourceRoot.size() ? f.path.substr(sourceRoot.size()) : std::string();
    item.time = f.lastWrite;
    if (f.kind == EntryKind::File || f.kind == EntryKind::Symlink) {
      item.target = JoinBelowRoot(destinationRoot, item.relative);
      if (f.kind == EntryKind::File && HasZipExtension(f.path)) {
        const ArchiveSummary& archive = archives[i];
        if (archive.readable && (archive.own || !ownArchivesOnly)) {
          // Unpacked: one entry gives one file; the entries of bigger archives are not compared.
          item.unpacked = archive.singleIsFile;
          item.target = archive.singleIsFile ? JoinBelowRoot(destinationRoot, SingleEntryName(archive, item.relative))
                                             : std::string();
          if (item.unpacked) item.time = archive.singleTime;
        }
      }
    }
    items.push_back(std::move(item));
    RestoreItem& added = items.back();
    if (added.target.empty()) continue;
    const auto [it, inserted] = byTarget.emplace(added.target, items.size() - 1);
    if (inserted) continue;
    RestoreItem& earlier = items[it->second];
    // On a tie the plain copy wins: it keeps the exact time, an archive entry only even seconds.
    const bool addedWins = added.time > earlier.time ||
                           (added.time == earlier.time && earlier.unpacked && !added.unpacked);
    if (addedWins) it->second = items.size() - 1;
    (addedWins ? earlier : added).leftOutFor.assign(1, '-');
  }
  // Every one left out names the one finally taken.
  for (RestoreItem& item : items)
    if (!item.leftOutFor.empty()) item.leftOutFor = items[byTarget.at(item.target)].found.path;
  return items;
}

}  // namespace kalvero
