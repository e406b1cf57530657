#include "app/Schedule.h"

#include <fmt/format.h>
#include <fmt/printf.h>
#include <strings.h>

#include <cerrno>
#include <cstdlib>
#include <optional>

#include "app/AppTexts.h"
#include "app/SettingsFile.h"
#include "app/UserUnits.h"
#include "diag/ErrorText.h"
#include "platform/PathUtil.h"

namespace kalvero {

namespace {

constexpr const char* kServiceName = "kalvero-backup.service";
constexpr const char* kTimerName = "kalvero-backup.timer";
// systemd's day names, in the order of Schedule::weekday.
constexpr const char* kCalendarDays[7] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
constexpr const char* kGermanDays[7] = {"Mo", "Di", "Mi", "Do", "Fr", "Sa", "So"};

std::string turnOff() {
  const std::string dir = UserUnitDirectory();
  const bool timer = GetPathKind(dir + kTimerName) == PathKind::File;
  if (!timer && GetPathKind(dir + kServiceName) != PathKind::File) return {};  // nothing planned
  if (timer) {
    // The timer is stopped first, so no run starts from a half-removed plan.
    if (std::string e = Systemctl({"disable", "--now", kTimerName}); !e.empty()) return e;
  }
  for (const char* name : {kTimerName, kServiceName})
    if (std::string e = RemoveUnitFile(dir + name); !e.empty()) return e;
  return Systemctl({"daemon-reload"});
}

}  // namespace

std::string UserUnitDirectory() { return XdgBaseDirectory("XDG_CONFIG_HOME", "/.config") + "systemd/user/"; }

const char* WeekdayName(int weekday) { return weekday >= 0 && weekday < 7 ? kGermanDays[weekday] : "?"; }

bool ParseScheduleTime(const std::string& text, int* hour, int* minute) {
  const auto colon = text.find(':');
  if (colon == std::string::npos || colon == 0 || colon > 2 || text.size() != colon + 3) return false;
  int h = 0, m = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (i == colon) continue;
    if (text[i] < '0' || text[i] > '9') return false;
    (i < colon ? h : m) = (i < colon ? h : m) * 10 + (text[i] - '0');
  }
  if (h > 23 || m > 59) return false;
  *hour = h;
  *minute = m;
  return true;
}

bool ParseWeekday(const std::string& text, int* weekday) {
  for (int d = 0; d < 7; ++d)
    if (strcasecmp(text.c_str(), kGermanDays[d]) == 0 || strcasecmp(text.c_str(), kCalendarDays[d]) == 0) {
      *weekday = d;
      return true;
    }
  return false;
}

std::string ScheduleText(const Schedule& s) {
  switch (s.kind) {
    case Schedule::Kind::Daily:
      return fmt::sprintf(texts::kScheduleDaily, s.hour, s.minute);
    case Schedule::Kind::Weekly:
      return fmt::sprintf(texts::kScheduleWeekly, WeekdayName(s.weekday), s.hour, s.minute);
    case Schedule::Kind::Off:
      break;
  }
  return texts::kScheduleNever;
}

std::string ServiceUnitText(const std::string& cliPath, const std::string& settingsPath) {
  return "# Written by kalvero-cli schedule; \"kalvero-cli schedule off\" removes it.\n"
         "[Unit]\n"
         "Description=Kalvero: Sicherung aller aktiven Paare\n"
         "Documentation=man:kalvero-cli(1)\n"
         "\n"
         "[Service]\n"
         "Type=oneshot\n"
         "ExecStart=" +
         ExecWord(cliPath) + " --ini " + ExecWord(settingsPath) +
         " backup --notify\n"
         "Nice=19\n"
         "IOSchedulingClass=idle\n";
}

std::string TimerUnitText(const Schedule& s) {
  const std::string day = s.kind == Schedule::Kind::Weekly ? std::string(kCalendarDays[s.weekday]) + " " : "";
  return "# Written by kalvero-cli schedule; \"kalvero-cli schedule off\" removes it.\n"
         "[Unit]\n"
         "Description=Kalvero: geplante Sicherung\n"
         "Documentation=man:kalvero-cli(1)\n"
         "\n"
         "[Timer]\n"
         "OnCalendar=" +
         day + fmt::format("*-*-* {:02d}:{:02d}:00", s.hour, s.minute) +
         "\n"
         // A run missed while the computer was off happens at the next start.
         "Persistent=true\n"
         "\n"
         "[Install]\n"
         "WantedBy=timers.target\n";
}

std::string ApplySchedule(const Schedule& schedule, const std::string& cliPath, const std::string& settingsPath) {
  if (schedule.kind == Schedule::Kind::Off) return turnOff();
  if (schedule.hour < 0 || schedule.hour > 23 || schedule.minute < 0 || schedule.minute > 59)
    return fmt::sprintf(texts::kScheduleBadTime, fmt::format("{}:{}", schedule.hour, schedule.minute));
  if (schedule.kind == Schedule::Kind::Weekly && (schedule.weekday < 0 || schedule.weekday > 6))
    return fmt::sprintf(texts::kScheduleBadDay, std::to_string(schedule.weekday));
  for (const std::string* path : {&cliPath, &settingsPath})
    if (!UsableUnitPath(*path)) return fmt::sprintf(texts::kScheduleBadPath, *path);

  const std::string dir = UserUnitDirectory();
  int err = 0;
  if (!MakeDirectories(dir, &err)) return fmt::sprintf(texts::kScheduleWriteFailed, dir, SystemErrorText(err));
  const std::string servicePath = dir + kServiceName, timerPath = dir + kTimerName;
  const auto oldService = ReadWholeFile(servicePath), oldTimer = ReadWholeFile(timerPath);
  // Puts back what was there when systemd cannot take the new plan, so a
  // failed attempt leaves neither a half plan nor a lost old one.
  auto restore = [&] {
    PutBackUnitFile(servicePath, oldService);
    PutBackUnitFile(timerPath, oldTimer);
  };
  if (!WriteUnitFile(servicePath, ServiceUnitText(cliPath, settingsPath), &err)) {
    restore();
    return fmt::sprintf(texts::kScheduleWriteFailed, servicePath, SystemErrorText(err));
  }
  if (!WriteUnitFile(timerPath, TimerUnitText(schedule), &err)) {
    restore();
    return fmt::sprintf(texts::kScheduleWriteFailed, timerPath, SystemErrorText(err));
  }
  if (std::string e = Systemctl({"daemon-reload"}); !e.empty()) {
    restore();
    return e;
  }
  std::string e = Systemctl({"enable", "--now", kTimerName});
  // An already running timer keeps its old time until it is restarted.
  if (e.empty() && oldTimer) e = Systemctl({"restart", kTimerName});
  if (!e.empty()) {
    restore();
    Systemctl({"daemon-reload"});  // systemd forgets the refused plan again
    return e;
  }
  return {};
}

Schedule CurrentSchedule() {
  Schedule s;
  const auto text = ReadWholeFile(UserUnitDirectory() + kTimerName);
  if (!text) return s;
  const auto at = text->find("\nOnCalendar=");
  if (at == std::string::npos) return s;
  std::string value = text->substr(at + 12, text->find('\n', at + 1) - at - 12);
  int weekday = -1;
  if (value.size() > 4 && value[3] == ' ') {
    if (!ParseWeekday(value.substr(0, 3), &weekday)) return s;
    value = value.substr(4);
  }
  int hour = 0, minute = 0;
  if (value.rfind("*-*-* ", 0) != 0 || value.size() != 14 || value.substr(11) != ":00" ||
      !ParseScheduleTime(value.substr(6, 5), &hour, &minute))
    return s;
  s.kind = weekday >= 0 ? Schedule::Kind::Weekly : Schedule::Kind::Daily;
  s.weekday = weekday >= 0 ? weekday : 0;
  s.hour = hour;
  s.minute = minute;
  return s;
}

std::string NextRunText() {
  if (GetPathKind(UserUnitDirectory() + kTimerName) != PathKind::File) return {};
  return SystemctlOutput({"list-timers", "--all", "--no-pager", kTimerName});
}

}  // namespace kalvero
