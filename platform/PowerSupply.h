#pragma once
// Whether the computer runs on mains or on battery, from the kernel's power
// supply class (/sys/class/power_supply/*/type, online, status).
#include <string>

namespace kalvero::platform {

enum class PowerSource { Mains, Battery, Unknown };

// Mains when a mains (or USB-C) supply is online, Battery when a battery
// discharges without one, Unknown otherwise (a desktop without a battery).
PowerSource CurrentPowerSource(const std::string& root = "/sys/class/power_supply");

}  // namespace kalvero::platform
