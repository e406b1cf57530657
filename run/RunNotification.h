#pragma once
// The desktop notification at the end of an unattended run and sending it.
// Each run builds its own (BackupNotification, RestoreNotification); a run
// that counted errors, missed a source directory or was cancelled is shown
// as critical.
#include <string>
#include <vector>

namespace kalvero {

struct RunNotification {
  std::string summary, body;
  int urgency = 1;  // 0 low, 1 normal, 2 critical
};

// Application "Kalvero", icon "kalvero", on the session bus. False with
// *error (a German line) when there is no bus or no notification service.
bool SendRunNotification(const RunNotification& notification, std::string* error);

// The body's lines of both runs: files copied, errors, then extra lines, then the run log.
std::string NotificationBody(int filesCopied, int errors, const std::vector<std::string>& extraLines,
                             const std::string& runLogPath);

}  // namespace kalvero
