#include "restore/RestoreNotification.h"

#include "restore/RestoreTexts.h"

namespace kalvero {

RunNotification RestoreNotification(const RestoreTotals& totals, const std::string& runLogPath) {
  RunNotification n;
  n.summary = totals.cancelled    ? restore_text::kNotifyCancelled
              : totals.errors > 0 ? restore_text::kNotifyErrors
                                  : restore_text::kNotifyDone;
  n.urgency = totals.cancelled || totals.errors > 0 ? 2 : 1;
  if (totals.sleep) {  // stopped for sleep: nothing failed
    n.summary = restore_text::kNotifySleep;
    n.urgency = totals.errors > 0 ? 2 : 1;
  }
  n.body = NotificationBody(totals.filesDone, totals.errors,
                            totals.sleep ? std::vector<std::string>{restore_text::kNotifySleepBody}
                                         : std::vector<std::string>{},
                            runLogPath);
  return n;
}

}  // namespace kalvero
