#pragma once
// The shutdown step at the end of a batch backup: power off or reboot
// through the given PowerControl (logind in the program, a stand-in in tests).
// The window calls it after the run has returned, on the run's thread.
#include <functional>
#include <string>

#include "app/Records.h"
#include "platform/Logind.h"

namespace kalvero {

// True when a power-off or reboot was requested. Only with "Exit" on and the
// batch flag set. Failures are shown through showMessage and return false.
bool ShutdownAfterBackup(const BackupOptions& options, int batchMode, platform::PowerControl& power,
                         const std::function<void(const std::string&)>& showMessage);

}  // namespace kalvero
