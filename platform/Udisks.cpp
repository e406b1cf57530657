#include "platform/Udisks.h"

#include "platform/BusError.h"

#include <systemd/sd-bus.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace kalvero::platform {

namespace {

constexpr const char* kService = "org.freedesktop.UDisks2";
// Unmounting flushes the drive's caches first: that may take a while on a slow stick.
constexpr std::uint64_t kUnmountTimeoutUsec = 120'000'000;
constexpr std::uint64_t kCallTimeoutUsec = 30'000'000;

// Method(a{sv} options = {}) on object at path.
int callWithNoOptions(sd_bus* bus, const char* path, const char* interface, const char* method,
                      std::uint64_t timeout, sd_bus_error* e) {
  sd_bus_message* call = nullptr;
  int r = sd_bus_message_new_method_call(bus, &call, kService, path, interface, method);
  if (r >= 0) r = sd_bus_message_append(call, "a{sv}", 0);
  if (r >= 0) r = sd_bus_call(bus, call, timeout, e, nullptr);
  sd_bus_message_unref(call);
  return r;
}

}  // namespace

std::string UdisksBlockPath(const std::string& device) {
  char real[PATH_MAX];
  const std::string resolved = realpath(device.c_str(), real) ? real : device;
  const std::string name = resolved.substr(resolved.rfind('/') + 1);
  std::string path = "/org/freedesktop/UDisks2/block_devices/";
  // D-Bus object paths take letters, digits and "_" only; udisks writes others as _XX.
  for (unsigned char c : name) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) {
      path += static_cast<char>(c);
    } else {
      char hex[4];
      std::snprintf(hex, sizeof hex, "_%02x", c);
      path += hex;
    }
  }
  return path;
}

bool UnmountAndPowerOff(const std::string& device, std::string* error) {
  sd_bus* bus = nullptr;
  sd_bus_error e = SD_BUS_ERROR_NULL;
  int r = sd_bus_open_system(&bus);
  const std::string block = UdisksBlockPath(device);
  if (r >= 0)
    r = callWithNoOptions(bus, block.c_str(), "org.freedesktop.UDisks2.Filesystem", "Unmount", kUnmountTimeoutUsec,
                          &e);
  const bool ok = r >= 0;
  if (!ok && error) *error = BusErrorText(e, r);
  sd_bus_error_free(&e);
  if (ok) {
    sd_bus_message* reply = nullptr;
    const char* drive = nullptr;
    if (sd_bus_get_property(bus, kService, block.c_str(), "org.freedesktop.UDisks2.Block", "Drive", &e, &reply,
                            "o") < 0 ||
        sd_bus_message_read(reply, "o", &drive) < 0)
      drive = nullptr;
    sd_bus_error_free(&e);
    // "/" is udisks' word for "no drive" (a loop device, a partition of nothing removable).
    if (drive && std::strcmp(drive, "/") != 0)
      callWithNoOptions(bus, drive, "org.freedesktop.UDisks2.Drive", "PowerOff", kCallTimeoutUsec, &e);
    sd_bus_error_free(&e);
    sd_bus_message_unref(reply);
  }
  if (bus) sd_bus_flush_close_unref(bus);
  return ok;
}

}  // namespace kalvero::platform
