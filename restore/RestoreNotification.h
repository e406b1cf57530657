#pragma once
// What the desktop notification at the end of an unattended restore says.
#include <string>

#include "restore/RestoreRun.h"
#include "run/RunNotification.h"

namespace kalvero {

RunNotification RestoreNotification(const RestoreTotals& totals, const std::string& runLogPath);

}  // namespace kalvero
