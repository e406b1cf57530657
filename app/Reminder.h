#pragma once
// The reminder of a backup that is overdue: a user timer that starts
// "kalvero-cli remind" a few minutes after login and once a day. It is
// planned with the backup's own plan and goes with "schedule off".
#include <string>

namespace kalvero {

std::string ReminderServiceText(const std::string& cliPath, const std::string& settingsPath);
std::string ReminderTimerText();
// Writes and enables both units (on), or disables and removes them; "" on
// success, else one German message.
std::string ApplyReminder(bool on, const std::string& cliPath, const std::string& settingsPath);

// What to do about it: "Laufwerk 'STICK' anschließen" when the destination
// is on a drive that is not mounted now (named by the plug-in trigger or by
// the desktop's mount folder /media/USER/NAME, /run/media/USER/NAME), else
// "Sicherung jetzt starten".
std::string ReminderAction(const std::string& destination);

}  // namespace kalvero
