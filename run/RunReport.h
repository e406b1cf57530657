#pragma once
// Lines a run reports to its log page, and the time stamp that ends an
// error line; shared by the backup and the restore run.
#include <string>

#include "run/RunProgress.h"

namespace kalvero {

// text + "  [dd.mm.yyyy  hh:mm:ss]" (local time now).
std::string AppendTimestamp(const std::string& text);
// One line to the log page (when a reporter is set).
void ReportToLogPage(RunReporter* reporter, const std::string& text);

}  // namespace kalvero
