#pragma once
// What a restore does with the entries of a backup, decided before the first
// file is written: where each file lands, and which one is taken when two
// backup files give the same file ("dok.txt" copied before compression was
// switched on, "dok.txt.zip" after it).
#include <string>
#include <vector>

#include "run/Walk.h"

namespace kalvero {

class ZipArchiveLayer;

struct RestoreItem {
  FoundFile found;               // from the walk: path, kind, size, time
  std::string relative;          // path below the restore source
  std::string target;            // full path it gives below the destination; "" when not one file
  platform::FileTime time = 0;   // what decides between backup files of one target
  bool unpacked = false;         // an archive whose single entry gives target
  std::string leftOutFor;        // not restored: this backup file gives the same target and is newer
};

// The archive a ".zip" file holds, as far as the restore needs to know.
struct ArchiveSummary {
  bool readable = false;   // a zip archive whose directory could be read
  bool own = false;        // its comment marks it as made by this program
  int entries = 0;
  bool singleIsFile = false;  // exactly one entry, and it is no directory
  std::string singleName;     // that entry's stored name ("/" separated)
  platform::FileTime singleTime = 0;
  std::uint64_t singleSize = 0;  // that entry's bytes unpacked
};
ArchiveSummary SummarizeArchive(ZipArchiveLayer& zip, const std::string& path);
// The summary of every ".zip" file of found, index for index (the others stay empty).
std::vector<ArchiveSummary> SummarizeArchives(const std::vector<FoundFile>& found, ZipArchiveLayer& zip);
// The same for found[begin, end), into archives (as large as found).
void SummarizeArchives(const std::vector<FoundFile>& found, std::size_t begin, std::size_t end, ZipArchiveLayer& zip,
                       std::vector<ArchiveSummary>& archives);

// The name below the destination of the single entry of an archive
// (archiveRelative: the archive's path below the restore source): our own
// archive's entry goes beside the plain files of its folder when the stored
// name ends with the archive's path without ".zip"; any other entry goes
// where its stored name says.
std::string SingleEntryName(const ArchiveSummary& archive, const std::string& archiveRelative);

// One item per found entry, in walk order. Files and links that give the
// same target are resolved: the newest (the file's time, or the entry's time
// for an archive that is unpacked; the plain one on a tie) is restored, the
// others get leftOutFor. ownArchivesOnly is "OnlyByKalvero"; archives is what
// SummarizeArchives gives for found.
std::vector<RestoreItem> PlanRestore(const std::vector<FoundFile>& found, const std::string& sourceRoot,
                                     const std::string& destinationRoot, bool ownArchivesOnly,
                                     const std::vector<ArchiveSummary>& archives);

}  // namespace kalvero
