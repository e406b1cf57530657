#include "backup/BackupNotification.h"

#include <fmt/printf.h>

#include "backup/BackupTexts.h"

namespace kalvero {

RunNotification BackupNotification(const RunTotals& totals, const std::string& runLogPath) {
  RunNotification n;
  // A source that could not be reached means nothing of it was backed up:
  // shown like an error, never as a clean run.
  const bool failed = totals.runErrors > 0 || !totals.missingSources.empty();
  n.summary = totals.cancelled ? texts::NOTIFY_BACKUP_CANCELLED
              : failed         ? texts::NOTIFY_BACKUP_ERRORS
                               : texts::NOTIFY_BACKUP_DONE;
  n.urgency = totals.cancelled || failed ? 2 : 1;
  std::vector<std::string> extra;
  if (!totals.missingSources.empty()) {
    std::string names;
    for (const std::string& item : totals.missingSources) names += (names.empty() ? "'" : ", '") + item + "'";
    extra.push_back(fmt::sprintf(texts::NOTIFY_MISSING_SOURCES, names));
  }
  // Stopped for sleep: nothing failed, the next run goes on where this one stopped.
  if (totals.sleep) {
    n.summary = texts::NOTIFY_BACKUP_SLEEP;
    n.urgency = failed ? 2 : 1;
    extra.push_back(texts::NOTIFY_SLEEP_BODY);
  }
  n.body = NotificationBody(totals.copied, totals.runErrors, extra, runLogPath);
  return n;
}

}  // namespace kalvero
