#pragma once
// The lines of the restore's run log: header and summary, each line without
// its line end, ready to be written in order by WriteLogLine.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/FileTime.h"

namespace kalvero {

struct RestoreHeaderData {
  platform::LocalTime start;
  std::string source;        // PathSrc as set
  std::string destination;   // the working destination
  std::string subdirCaption;
  int withSubdirs = 1;
};

struct RestoreSummaryData {
  int filesDone = 0;
  std::uint64_t sourceBytes = 0;
  std::uint64_t unpackedBytes = 0;
  int keptVersions = 0;      // target files kept beside their restored copy
  int unchangedTargets = 0;  // target files equal to the backup's copy, not written again
  bool haveSmallest = false, haveLargest = false;
  std::uint64_t smallestSize = 0, largestSize = 0;
  std::string smallestName, largestName;
  platform::LocalTime end;
  std::int64_t elapsedSeconds = 0;
  int errors = 0;
  bool cancelled = false;
};

std::vector<std::string> RestoreHeaderLines(const RestoreHeaderData& data);
std::string RestoreFileCountLine(int files);
std::vector<std::string> RestoreSummaryLines(const RestoreSummaryData& data);

// "%02d.%02d.%04d  %02d:%02d:%02d"-style formats take day, month, year, hour, minute, second.
std::string FormatLocalTime(const char* format, const platform::LocalTime& t);
// A KByte total as "%d KiloByte ..." below 1024, else "%0.3f MegaByte ..." with a decimal comma.
std::string FormatKiloOrMega(std::uint64_t kbytes, const char* kiloFormat, const char* megaFormat);

}  // namespace kalvero
