#pragma once
// One notification through org.freedesktop.Notifications.Notify on the
// session bus (sd-bus).
#include <string>

namespace kalvero::platform {

struct DesktopNotification {
  std::string appName, icon, summary, body;
  int urgency = 1;        // the "urgency" hint: 0 low, 1 normal, 2 critical
  int timeoutMs = -1;     // -1: the server decides
};

// False with *error (the bus's own text) when there is no session bus or no
// notification service answered.
bool SendDesktopNotification(const DesktopNotification& n, std::string* error);

}  // namespace kalvero::platform
