#pragma once
// What the desktop notification at the end of an unattended backup says.
#include <string>

#include "backup/BackupRun.h"
#include "run/RunNotification.h"

namespace kalvero {

RunNotification BackupNotification(const RunTotals& totals, const std::string& runLogPath);

}  // namespace kalvero
