#pragma once
// Where the window gets its power control for the shutdown step: logind in
// the program, a stand-in in tests (no test may shut anything down).
#include <functional>
#include <memory>

#include "platform/Logind.h"

namespace kalvero {

std::unique_ptr<platform::PowerControl> makePowerControl();
// An empty function restores logind.
void setPowerControlForTests(std::function<std::unique_ptr<platform::PowerControl>()> factory);

}  // namespace kalvero
