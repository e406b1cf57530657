#pragma once
// The desktop notification of an unattended ("/Batch") backup that ends the
// program or shuts the computer down afterwards: the same one that
// "kalvero-cli backup --notify" sends. A failure (no session bus, no
// notification service) is only noted on stderr.
#include <functional>
#include <string>

#include "backup/BackupNotification.h"

namespace kalvero {

void sendBatchNotification(const RunTotals& totals, const std::string& runLogPath);
// Tests receive the notification instead of the session bus (empty: the bus).
void setBatchNotifierForTests(std::function<void(const RunNotification&)> notifier);

}  // namespace kalvero
