#include "run/RunNotification.h"

#include <fmt/printf.h>

#include "platform/DesktopNotification.h"
#include "run/RunTexts.h"

namespace kalvero {

std::string NotificationBody(int filesCopied, int errors, const std::vector<std::string>& extraLines,
                             const std::string& runLogPath) {
  std::string body = fmt::sprintf(texts::NOTIFY_FILES_COPIED, filesCopied) + "\n" +
                     fmt::sprintf(texts::NOTIFY_ERRORS, errors) + "\n";
  for (const std::string& line : extraLines) body += line + "\n";
  return body + fmt::sprintf(texts::NOTIFY_RUN_LOG, runLogPath);
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
