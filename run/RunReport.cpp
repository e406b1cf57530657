#include "run/RunReport.h"

#include <fmt/printf.h>

#include "platform/FileTime.h"

namespace kalvero {

std::string AppendTimestamp(const std::string& text) {
  const platform::LocalTime t = platform::localNow();
  return text + fmt::sprintf("  [%02d.%02d.%04d  %02d:%02d:%02d]", t.day, t.month, t.year, t.hour, t.minute, t.second);
}

void ReportToLogPage(RunReporter* reporter, const std::string& text) {
  if (reporter) reporter->logLine(text);
}

}  // namespace kalvero
