#include "cli/RunSummary.h"

#include <fmt/printf.h>

#include "backup/BackupTexts.h"
#include "cli/CliTexts.h"

namespace kalvero::cli {

bool ParseRunOptions(const std::vector<std::string>& args, RunOptions* options, std::string* error) {
  for (const std::string& arg : args) {
    if (arg == "--quiet" || arg == "-q") {
      options->quiet = true;
    } else if (arg == "--notify") {
      options->notify = true;
    } else {
      *error = fmt::sprintf(texts::kUnknownOption, arg);
      return false;
    }
  }
  return true;
}

std::string DurationText(std::chrono::steady_clock::duration elapsed) {
  const long long s = std::chrono::duration_cast<std::chrono::seconds>(elapsed).count();
  return fmt::sprintf(kalvero::texts::LOG_DURATION, static_cast<int>(s / 3600), static_cast<int>(s / 60 % 60),
                      static_cast<int>(s % 60));
}

void NotifyEndOfRun(const RunNotification& notification, std::ostream& err) {
  std::string error;
  if (!SendRunNotification(notification, &error)) err << fmt::sprintf(texts::kNotificationNote, error) << "\n";
}

}  // namespace kalvero::cli
