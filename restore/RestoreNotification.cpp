#include "restore/RestoreNotification.h"

#include "restore/RestoreTexts.h"

namespace kalvero {

RunNotification RestoreNotification(const RestoreTotals& totals, const std::string& runLogPath) {
  RunNotification n;
  n.summary = totals.cancelled    ? restore_text::kNotifyCancelled
              : totals.errors > 0 ? restore_text::kNotifyErrors
                                  : restore_text::kNotifyDone;
  n.urgency = totals.cancelled || totals.errors > 0 ? 2 : 1;
  n.body = NotificationBody(totals.filesDone, totals.errors, {}, runLogPath);
  return n;
}

}  // namespace kalvero
