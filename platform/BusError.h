#pragma once
// The text of a failed D-Bus call for a message: the bus's own message,
// else its error name, else the errno's text.
#include <systemd/sd-bus.h>

#include <cstring>
#include <string>

namespace kalvero::platform {

inline std::string BusErrorText(const sd_bus_error& e, int r) {
  if (e.message) return e.message;
  if (e.name) return e.name;
  return std::strerror(r < 0 ? -r : r);
}

}  // namespace kalvero::platform
