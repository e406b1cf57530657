#pragma once
// The desktop notification at the end of an unattended run: what it says
// (built from the run's totals) and sending it. A run that counted errors,
// missed a source directory or was cancelled is shown as critical.
#include <string>

#include "backup/BackupRun.h"
#include "restore/RestoreRun.h"

namespace kalvero {

struct RunNotification {
  std::string summary, body;
  int urgency = 1;  // 0 low, 1 normal, 2 critical
};

RunNotification BackupNotification(const RunTotals& totals, const std::string& runLogPath);
RunNotification RestoreNotification(const RestoreTotals& totals, const std::string& runLogPath);
// Application "Kalvero", icon "kalvero", on the session bus. False with
// *error (a German line) when there is no bus or no notification service.
bool SendRunNotification(const RunNotification& notification, std::string* error);

}  // namespace kalvero
