#pragma once
// Power-off and reboot through systemd-logind on the system bus. The backup's
// shutdown step talks to the PowerControl interface, so tests hand it a
// stand-in and never reach the real one.
#include <memory>
#include <string>

namespace kalvero::platform {

class PowerControl {
 public:
  virtual ~PowerControl() = default;
  // Connects to the system bus; false with *error when there is none.
  virtual bool connect(std::string* error) = 0;
  // logind's answer to CanReboot / CanPowerOff ("yes", "no", "challenge", ...; "" on failure).
  virtual std::string can(bool reboot) = 0;
  // Best effort: the text logged in users are shown.
  virtual void setWallMessage(const std::string& text) = 0;
  // Reboot(false) / PowerOff(false); false with the bus error's text.
  virtual bool request(bool reboot, std::string* error) = 0;
};

// The real one, over sd-bus.
std::unique_ptr<PowerControl> makeLogindPowerControl();

}  // namespace kalvero::platform
