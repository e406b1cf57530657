#include "platform/DesktopNotification.h"

#include "platform/BusError.h"

#include <systemd/sd-bus.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace kalvero::platform {

namespace {

// A notification service that does not answer within this time is taken as absent.
constexpr std::uint64_t kCallTimeoutUsec = 5'000'000;

// True when the service reads the body as markup (then "&", "<" and ">" in
// file names must be escaped); a service that does not answer reads plain text.
bool bodyIsMarkup(sd_bus* bus) {
  sd_bus_message* call = nullptr;
  sd_bus_message* reply = nullptr;
  bool markup = false;
  if (sd_bus_message_new_method_call(bus, &call, "org.freedesktop.Notifications", "/org/freedesktop/Notifications",
                                     "org.freedesktop.Notifications", "GetCapabilities") >= 0 &&
      sd_bus_call(bus, call, kCallTimeoutUsec, nullptr, &reply) >= 0) {
    char** caps = nullptr;
    if (sd_bus_message_read_strv(reply, &caps) >= 0 && caps) {
      for (char** c = caps; *c; ++c) {
        if (std::strcmp(*c, "body-markup") == 0) markup = true;
        free(*c);
      }
      free(caps);
    }
  }
  sd_bus_message_unref(reply);
  sd_bus_message_unref(call);
  return markup;
}

std::string escapeMarkup(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '&')
      out += "&amp;";
    else if (c == '<')
      out += "&lt;";
    else if (c == '>')
      out += "&gt;";
    else
      out += c;
  }
  return out;
}

}  // namespace

bool SendDesktopNotification(const DesktopNotification& n, std::string* error) {
  sd_bus* bus = nullptr;
  sd_bus_message* call = nullptr;
  sd_bus_message* reply = nullptr;
  sd_bus_error e = SD_BUS_ERROR_NULL;
  int r = sd_bus_open_user(&bus);
  std::string body = n.body;
  if (r >= 0 && bodyIsMarkup(bus)) body = escapeMarkup(body);
  if (r >= 0)
    r = sd_bus_message_new_method_call(bus, &call, "org.freedesktop.Notifications", "/org/freedesktop/Notifications",
                                       "org.freedesktop.Notifications", "Notify");
  // Notify(app_name, replaces_id, app_icon, summary, body, actions, hints, expire_timeout)
  if (r >= 0)
    r = sd_bus_message_append(call, "susssas", n.appName.c_str(), 0u, n.icon.c_str(), n.summary.c_str(), body.c_str(),
                              0);
  if (r >= 0) r = sd_bus_message_open_container(call, 'a', "{sv}");
  if (r >= 0)
    r = sd_bus_message_append(call, "{sv}", "urgency", "y",
                              static_cast<std::uint8_t>(n.urgency < 0   ? 0
                                                        : n.urgency > 2 ? 2
                                                                        : n.urgency));
  if (r >= 0) r = sd_bus_message_close_container(call);
  if (r >= 0) r = sd_bus_message_append(call, "i", n.timeoutMs);
  if (r >= 0) r = sd_bus_call(bus, call, kCallTimeoutUsec, &e, &reply);
  const bool ok = r >= 0;
  if (!ok && error) *error = BusErrorText(e, r);
  sd_bus_error_free(&e);
  sd_bus_message_unref(reply);
  sd_bus_message_unref(call);
  if (bus) sd_bus_flush_close_unref(bus);
  return ok;
}

}  // namespace kalvero::platform
