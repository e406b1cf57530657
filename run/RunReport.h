#pragma once
// Lines a run reports to its log page, and the time stamp that ends an
// error line; shared by the backup and the restore run.
#include <string>

#include "run/RunProgress.h"

namespace kalvero {

namespace platform {
class TextFileWriter;
}

// Every line of a run log ends with CR LF, as the logs have always been
// stored; the lines themselves are handed around without it.
inline constexpr const char* kLineEnd = "\r\n";
// text without one trailing kLineEnd: a caller's own line end is never doubled.
std::string WithoutLineEnd(const std::string& text);
// line as one line of a run log, ended with kLineEnd (not twice). Throws
// platform::FileError.
void WriteLogLine(platform::TextFileWriter& log, const std::string& line);

// text + "  [dd.mm.yyyy  hh:mm:ss]" (local time now).
std::string AppendTimestamp(const std::string& text);
// One line to the log page (when a reporter is set), without its line end.
void ReportToLogPage(RunReporter* reporter, const std::string& text);

}  // namespace kalvero
