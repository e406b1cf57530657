#include "backup/RunNotification.h"

#include <fmt/printf.h>

#include "backup/BackupTexts.h"
#include "platform/DesktopNotification.h"

namespace kalvero {

namespace {

std::string joined(const std::vector<std::string>& items) {
  std::string text;
  for (const std::string& item : items) text += (text.empty() ? "'" : ", '") + item + "'";
  return text;
}

}  // namespace

RunNotification BackupNotification(const RunTotals& totals, const std::string& runLogPath) {
  RunNotification n;
  // A source that could not be reached means nothing of it was backed up:
  // shown like an error, never as a clean run.
  const bool failed = totals.runErrors > 0 || !totals.missingSources.empty();
  n.summary = totals.cancelled ? texts::NOTIFY_BACKUP_CANCELLED
              : failed         ? texts::NOTIFY_BACKUP_ERRORS
                               : texts::NOTIFY_BACKUP_DONE;
  n.urgency = totals.cancelled || failed ? 2 : 1;
  n.body = fmt::sprintf(texts::NOTIFY_FILES_COPIED, totals.copied) + "\n" +
           fmt::sprintf(texts::NOTIFY_ERRORS, totals.runErrors) + "\n";
  if (!totals.missingSources.empty())
    n.body += fmt::sprintf(texts::NOTIFY_MISSING_SOURCES, joined(totals.missingSources)) + "\n";
  n.body += fmt::sprintf(texts::NOTIFY_RUN_LOG, runLogPath);
  return n;
}

RunNotification RestoreNotification(const RestoreTotals& totals, const std::string& runLogPath) {
  RunNotification n;
  n.summary = totals.cancelled    ? texts::NOTIFY_RESTORE_CANCELLED
              : totals.errors > 0 ? texts::NOTIFY_RESTORE_ERRORS
                                  : texts::NOTIFY_RESTORE_DONE;
  n.urgency = totals.cancelled || totals.errors > 0 ? 2 : 1;
  n.body = fmt::sprintf(texts::NOTIFY_FILES_COPIED, totals.filesDone) + "\n" +
           fmt::sprintf(texts::NOTIFY_ERRORS, totals.errors) + "\n" + fmt::sprintf(texts::NOTIFY_RUN_LOG, runLogPath);
  return n;
}

bool SendRunNotification(const RunNotification& notification, std::string* error) {
  platform::DesktopNotification n;
  n.appName = "Kalvero";
  n.icon = "kalvero";
  n.summary = notification.summary;
  n.body = notification.body;
  n.urgency = notification.urgency;
  std::string why;
  if (platform::SendDesktopNotification(n, &why)) return true;
  if (error) *error = fmt::sprintf(texts::NOTIFY_NOT_SHOWN, why);
  return false;
}

}  // namespace kalvero
