#pragma once
// The versions of one file (or folder) of a pair: its copies in the dated
// folders of the pair's destination, identical copies of neighbouring days
// folded into one version, and putting one of them back beside the file.
#include <cstdint>
#include <string>
#include <vector>

#include "app/Records.h"
#include "platform/FileTime.h"

namespace kalvero {

struct DayDate {
  int year = 0, month = 0, day = 0;
  auto operator<=>(const DayDate&) const = default;
};

struct FileVersion {
  DayDate first, last;     // the dated folders the version was found in (equal when one)
  std::string copy;        // its copy in the newest of them: a file, NAME.zip or a folder
  bool archive = false;    // copy is our archive of the file
  bool folder = false;     // copy is a folder (size: its files' bytes, time: its newest file)
  std::uint64_t size = 0;  // unpacked
  platform::FileTime lastWrite = 0;
  bool complete = true;    // every folder of the range carries the mark of a complete state
};

struct VersionList {
  std::string path;             // the file as asked, normalised
  std::string pairSource;       // the pair that holds it ("" when none)
  std::string pairDestination;
  std::string relative;         // its path below the pair's source ("" for the source itself)
  std::vector<FileVersion> versions;  // oldest first
};

// The versions of path among the active pairs of jobs (paths as a run takes
// them). None: *error says why (no pair holds the path, no dated folder has a
// copy), in one German line.
VersionList FindVersions(const JobList& jobs, const std::string& path, std::string* error = nullptr);

// "2026_11_02", "2026-11-02" or "02.11.2026"; false for anything else.
bool ParseVersionDate(const std::string& text, DayDate* date);
// The version whose range holds date; null when none does.
const FileVersion* VersionOfDate(const VersionList& list, const DayDate& date);

// "2026-11-02"
std::string DayText(const DayDate& date);
// "2026-11-02" or "2026-11-02 bis 2026-11-05"
std::string VersionRangeText(const FileVersion& version);
// "TT.MM.JJJJ HH:MM:SS" in local time.
std::string VersionTimeText(platform::FileTime time);

// Where the version goes beside the file: "notiz (Stand 2026-11-02).txt", a
// folder or a name without extension "NAME (Stand 2026-11-02)"; number > 1
// adds " N" after the bracket.
std::string BesideName(const std::string& path, const DayDate& date, bool folder, int number);

// Writes version beside list.path under BesideName (never over anything: the
// next free number), unpacking an archive, with the copy's time and mode. It
// is built under a temporary name and renamed, so a failure leaves nothing.
// True with the new path in *where; false with the German reason in *error.
bool RestoreVersionBeside(const VersionList& list, const FileVersion& version, std::string* where,
                          std::string* error);

}  // namespace kalvero
