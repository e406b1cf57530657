// kalvero-cli remind: names every active pair whose last complete backup is
// older than the setting "ErinnernNachTagen" (default 7 days), and what to
// do about it; with --notify also as a desktop notification. The reminder
// timer starts it after login and once a day.
#include <fmt/printf.h>

#include <ctime>

#include "app/Reminder.h"
#include "app/SettingsFile.h"
#include "app/UnattendedSettings.h"
#include "backup/LastBackups.h"
#include "cli/CliTexts.h"
#include "cli/Commands.h"
#include "cli/RunSummary.h"
#include "platform/PathUtil.h"

namespace kalvero::cli {

namespace {

// The pair as the user knows it: the last folder of its source.
std::string pairName(const std::string& source) {
  const std::string s = WithoutTrailingSlash(source);
  const auto slash = s.rfind('/');
  return slash == std::string::npos || slash + 1 == s.size() ? s : s.substr(slash + 1);
}

// The overdue pairs' lines, one per pair, in the job list's order.
std::vector<std::string> OverdueLines(const std::string& settingsPath, std::int64_t now) {
  std::vector<std::string> lines;
  const int days = LoadUnattendedSettings(settingsPath).ErinnernNachTagen;
  if (days <= 0) return lines;
  const SettingsFile settings(settingsPath);
  const auto last = LastCompleteBackups(settings.loadBackupOptions().Protokolldatei);
  for (const DirPair& p : settings.loadJobList()) {
    if (!p.active) continue;
    const auto it = last.find(p.source);
    const std::string action = ReminderAction(p.destination);
    if (it == last.end()) {
      lines.push_back(fmt::sprintf(texts::kRemindNever, pairName(p.source), action));
      continue;
    }
    const std::int64_t age = (now - it->second) / 86400;
    if (age >= days) lines.push_back(fmt::sprintf(texts::kRemindOverdue, pairName(p.source), static_cast<int>(age), action));
  }
  return lines;
}

}  // namespace

int runRemindCommand(CliContext& ctx) {
  RunOptions options;
  std::string error;
  if (!ParseRunOptions(ctx.args, &options, &error)) {
    ctx.err << error << "\n";
    return EXIT_CANNOT_START;
  }
  const std::vector<std::string> lines = OverdueLines(ctx.settingsPath, std::time(nullptr));
  std::string body;
  for (const std::string& line : lines) {
    ctx.out << line << "\n";
    body += (body.empty() ? "" : "\n") + line;
  }
  if (!lines.empty() && options.notify) NotifyEndOfRun({texts::kRemindSummary, body, 1}, ctx.err);
  return EXIT_CLEAN;
}

}  // namespace kalvero::cli
