#pragma once
// The regular check of the backups: a user timer that starts
// "kalvero-cli --ini SETTINGS verify --notify" once a month (a damaged backup
// is a critical notification). Planned beside the backup's own timer.
#include <string>

namespace kalvero {

std::string VerifyServiceText(const std::string& cliPath, const std::string& settingsPath);
std::string VerifyTimerText();
// Writes and enables both units (on), or disables and removes them; "" on
// success, else one German message.
std::string ApplyVerifySchedule(bool on, const std::string& cliPath, const std::string& settingsPath);
bool VerifyScheduled();

}  // namespace kalvero
