#pragma once
// A planned run on battery waits for mains power, unless the last complete
// backup of an active pair is older than three days (or there is none): a
// backup that is overdue is worth some battery.
#include <atomic>
#include <functional>
#include <ostream>
#include <string>

namespace kalvero {

struct MainsWaitSetup {
  std::string powerRoot = "/sys/class/power_supply";
  int pollMilliseconds = 30'000;
  std::function<void()> onWaiting;  // once, when the waiting begins (the desktop notification)
};

// Returns once the run may start: true, with *waited the line that says how
// long it waited ("" when it did not); false when cancelled while waiting.
// The waiting is said on out and, at its end, in the run log.
bool WaitForMains(const std::string& settingsPath, std::ostream& out, const std::atomic<int>& cancel,
                  const MainsWaitSetup& setup, std::string* waited);

}  // namespace kalvero
