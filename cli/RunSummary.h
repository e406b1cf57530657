#pragma once
// What backup and restore share at the end of a run: their options, the
// summary lines on stdout and the desktop notification.
#include <chrono>
#include <ostream>
#include <string>
#include <vector>

#include "backup/BackupNotification.h"
#include "restore/RestoreNotification.h"

namespace kalvero::cli {

struct RunOptions {
  bool quiet = false;
  bool notify = false;
};
// --quiet/-q and --notify; false with the message in *error for anything else.
bool ParseRunOptions(const std::vector<std::string>& args, RunOptions* options, std::string* error);

// "Benötigte Zeit = 00:00:00" as the run log writes it.
std::string DurationText(std::chrono::steady_clock::duration elapsed);

// Sends the notification; a missing bus or service is only noted on err.
void NotifyEndOfRun(const RunNotification& notification, std::ostream& err);

}  // namespace kalvero::cli
