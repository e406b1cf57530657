#include "ui/PowerControlSeam.h"

namespace kalvero {

namespace {
std::function<std::unique_ptr<platform::PowerControl>()>& factory() {
  static std::function<std::unique_ptr<platform::PowerControl>()> f;
  return f;
}
}  // namespace

std::unique_ptr<platform::PowerControl> makePowerControl() {
  if (factory()) return factory()();
  return platform::makeLogindPowerControl();
}

void setPowerControlForTests(std::function<std::unique_ptr<platform::PowerControl>()> f) {
  factory() = std::move(f);
}

}  // namespace kalvero
