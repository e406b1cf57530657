#include "backup/Shutdown.h"

#include "backup/BackupTexts.h"

namespace kalvero {

bool ShutdownAfterBackup(const BackupOptions& options, int batchMode, platform::PowerControl& power,
                         const std::function<void(const std::string&)>& showMessage) {
  if (!options.Exit || !batchMode) return false;
  auto show = [&showMessage](const std::string& text) {
    if (showMessage) showMessage(text);
  };
  const bool reboot = options.Reboot != 0;
  std::string error;
  if (!power.connect(&error)) {
    show(texts::SHUTDOWN_NO_TOKEN);
    return false;
  }
  if (power.can(reboot) != "yes") {
    show(texts::SHUTDOWN_NOT_ALLOWED);
    return false;
  }
  power.setWallMessage(reboot ? texts::SHUTDOWN_REBOOT_MESSAGE : texts::SHUTDOWN_POWEROFF_MESSAGE);
  if (!power.request(reboot, &error)) {
    // The request itself failed: say why, and let "Close" still apply.
    show(error);
    return false;
  }
  return true;
}

}  // namespace kalvero
