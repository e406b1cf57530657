#include "ui/BatchNotification.h"

#include <cstdio>

namespace kalvero {

namespace {
std::function<void(const RunNotification&)>& standIn() {
  static std::function<void(const RunNotification&)> f;
  return f;
}
}  // namespace

void sendBatchNotification(const RunTotals& totals, const std::string& runLogPath) {
  const RunNotification notification = BackupNotification(totals, runLogPath);
  if (standIn()) {
    standIn()(notification);
    return;
  }
  std::string error;
  if (!SendRunNotification(notification, &error)) std::fprintf(stderr, "%s\n", error.c_str());
}

void setBatchNotifierForTests(std::function<void(const RunNotification&)> notifier) {
  standIn() = std::move(notifier);
}

}  // namespace kalvero
