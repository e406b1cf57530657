#pragma once
// The planned backup: a systemd user timer that starts "kalvero-cli backup
// --notify" daily or weekly. kalvero-cli schedule and the "Zeitplan" dialog
// both go through ApplySchedule, so they write the same units the same way.
#include <string>

namespace kalvero {

struct Schedule {
  enum class Kind { Off, Daily, Weekly };
  Kind kind = Kind::Off;
  int weekday = 0;  // 0 = Mo ... 6 = So
  int hour = 0;
  int minute = 0;
};

// Writes kalvero-backup.service and .timer into UserUnitDirectory() (each
// file replaced atomically), then daemon-reload and enable --now of the
// timer; Off disables the timer and removes both files. "" on success, else
// one German message. cliPath and settingsPath must be absolute.
std::string ApplySchedule(const Schedule& schedule, const std::string& cliPath, const std::string& settingsPath);
// What the timer file in UserUnitDirectory() plans (Off when there is none
// or it was not written by the program).
Schedule CurrentSchedule();
// Next and last run as "systemctl --user list-timers" gives them; "" when no
// timer is planned or systemd cannot be asked.
std::string NextRunText();

// $XDG_CONFIG_HOME/systemd/user/ (default ~/.config/systemd/user/), with trailing "/".
std::string UserUnitDirectory();
// The unit texts ApplySchedule writes.
std::string ServiceUnitText(const std::string& cliPath, const std::string& settingsPath);
std::string TimerUnitText(const Schedule& schedule);
// "täglich um 20:15" / "wöchentlich am Mo um 20:15" / "nie".
std::string ScheduleText(const Schedule& schedule);
// "Mo" ... "So" for 0 ... 6.
const char* WeekdayName(int weekday);
// Parses "HH:MM" (true with hour and minute) and a day ("Mo".."So",
// "Mon".."Sun", any case; true with 0..6).
bool ParseScheduleTime(const std::string& text, int* hour, int* minute);
bool ParseWeekday(const std::string& text, int* weekday);

}  // namespace kalvero
