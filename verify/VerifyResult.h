#pragma once
// What a check of a backup found: one finding per bad file (its worst state
// only, so each file is named once) and the run's counts.
#include <cstdint>
#include <string>
#include <vector>

namespace kalvero {

enum class FindingKind {
  Changed,        // content differs from the listed digest
  Missing,        // listed, not there
  Unlisted,       // there, not listed
  NotYetChecked,  // replaced after the list was written (a killed run): not damage
  NotRegular,     // listed, but now a link, folder or special file
  Unreadable,     // could not be read (the reason in detail)
  ArchiveDamaged, // our archive: an entry fails to inflate or its CRC-32 differs
  SourceRot,      // the source differs from its copy although size and time are the same
  SourceUnreadable,
  NoList,         // a backup folder without a checksum list
  TargetMissing,  // a pair's destination is not there (a drive not plugged in): nothing checked
  ListProblem,    // the list could not be read, or a line of it
};

// True for what makes a backup "not all well" (exit 1, critical notification).
bool IsDamage(FindingKind kind);

struct Finding {
  FindingKind kind = FindingKind::Changed;
  std::string path;    // full path of the file (or folder, list)
  std::string detail;  // reason of Unreadable / ArchiveDamaged, line number of ListProblem
  std::string line;    // the German line as reported
};

struct VerifyTotals {
  int folders = 0;
  int filesChecked = 0;
  std::uint64_t bytesChecked = 0;
  int changed = 0, missing = 0, unlisted = 0, notYetChecked = 0, notRegular = 0, unreadable = 0;
  int archivesDamaged = 0, foldersWithoutList = 0, listProblems = 0, targetsMissing = 0;
  int sourcesRead = 0, sourceRot = 0, sourceUnreadable = 0;
  bool cancelled = false;
  std::string busyLine;  // not empty: another run held a destination, nothing was checked
  std::vector<Finding> findings;

  void add(Finding finding);
  // Anything that makes the exit status 1.
  bool anythingFound() const;
  // Something damaged or missing in a backup that was there to check.
  bool damageFound() const;
  // Files named in findings (each once).
  int affectedFiles() const;
};

}  // namespace kalvero
