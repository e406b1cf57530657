#include "run/RunReport.h"

#include <fmt/printf.h>

#include "platform/FileTime.h"
#include "platform/Files.h"

namespace kalvero {

std::string WithoutLineEnd(const std::string& text) {
  const std::string_view end(kLineEnd);
  if (text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0)
    return text.substr(0, text.size() - end.size());
  return text;
}

void WriteLogLine(platform::TextFileWriter& log, const std::string& line) { log.write(WithoutLineEnd(line) + kLineEnd); }

std::string AppendTimestamp(const std::string& text) {
  const platform::LocalTime t = platform::localNow();
  return text + fmt::sprintf("  [%02d.%02d.%04d  %02d:%02d:%02d]", t.day, t.month, t.year, t.hour, t.minute, t.second);
}

void ReportToLogPage(RunReporter* reporter, const std::string& text) {
  if (reporter) reporter->logLine(WithoutLineEnd(text));
}

}  // namespace kalvero
