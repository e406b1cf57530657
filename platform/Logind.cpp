#include "platform/Logind.h"

#include "platform/BusError.h"

#include <systemd/sd-bus.h>

#include <cstring>

namespace kalvero::platform {

namespace {

constexpr const char* kService = "org.freedesktop.login1";
constexpr const char* kPath = "/org/freedesktop/login1";
constexpr const char* kInterface = "org.freedesktop.login1.Manager";

class LogindPowerControl : public PowerControl {
 public:
  ~LogindPowerControl() override {
    if (bus_) sd_bus_flush_close_unref(bus_);
  }

  bool connect(std::string* error) override {
    if (bus_) return true;
    const int r = sd_bus_open_system(&bus_);
    if (r < 0) {
      bus_ = nullptr;
      if (error) *error = std::strerror(-r);
      return false;
    }
    return true;
  }

  std::string can(bool reboot) override {
    if (!bus_) return {};
    sd_bus_error e = SD_BUS_ERROR_NULL;
    sd_bus_message* reply = nullptr;
    std::string answer;
    if (sd_bus_call_method(bus_, kService, kPath, kInterface, reboot ? "CanReboot" : "CanPowerOff", &e, &reply, "") >=
        0) {
      const char* s = nullptr;
      if (sd_bus_message_read(reply, "s", &s) >= 0 && s) answer = s;
    }
    sd_bus_message_unref(reply);
    sd_bus_error_free(&e);
    return answer;
  }

  void setWallMessage(const std::string& text) override {
    if (!bus_) return;
    sd_bus_error e = SD_BUS_ERROR_NULL;
    sd_bus_call_method(bus_, kService, kPath, kInterface, "SetWallMessage", &e, nullptr, "sb", text.c_str(), 1);
    sd_bus_error_free(&e);
  }

  bool request(bool reboot, std::string* error) override {
    if (!bus_) {
      if (error) *error = std::strerror(ENOTCONN);
      return false;
    }
    sd_bus_error e = SD_BUS_ERROR_NULL;
    const int r = sd_bus_call_method(bus_, kService, kPath, kInterface, reboot ? "Reboot" : "PowerOff", &e, nullptr,
                                     "b", 0);
    const bool ok = r >= 0;
    if (!ok && error) *error = BusErrorText(e, r);
    sd_bus_error_free(&e);
    return ok;
  }

 private:
  sd_bus* bus_ = nullptr;
};

}  // namespace

std::unique_ptr<PowerControl> makeLogindPowerControl() { return std::make_unique<LogindPowerControl>(); }

}  // namespace kalvero::platform
