#include "app/Reminder.h"

#include <fmt/printf.h>

#include "app/AppTexts.h"
#include "app/DriveIdentity.h"
#include "app/PluggedSchedule.h"
#include "app/Schedule.h"
#include "app/UserUnits.h"
#include "diag/ErrorText.h"
#include "platform/PathUtil.h"

namespace kalvero {

namespace {

constexpr const char* kServiceName = "kalvero-remind.service";
constexpr const char* kTimerName = "kalvero-remind.timer";

bool below(const std::string& path, const std::string& folder) {
  return !folder.empty() && path.compare(0, folder.size(), folder) == 0 &&
         (path.size() == folder.size() || path[folder.size()] == '/');
}

// "NAME" of /media/USER/NAME/... or /run/media/USER/NAME/...; "" otherwise.
std::string desktopMountName(const std::string& destination) {
  for (const char* base : {"/media/", "/run/media/"}) {
    if (destination.rfind(base, 0) != 0) continue;
    const std::string rest = destination.substr(std::string(base).size());
    const auto user = rest.find('/');
    if (user == std::string::npos) return {};
    const std::string name = rest.substr(user + 1);
    return name.substr(0, name.find('/'));
  }
  return {};
}

}  // namespace

std::string ReminderServiceText(const std::string& cliPath, const std::string& settingsPath) {
  return "# Written by kalvero-cli schedule; \"kalvero-cli schedule off\" removes it.\n"
         "[Unit]\n"
         "Description=Kalvero: Erinnerung an eine fällige Sicherung\n"
         "Documentation=man:kalvero-cli(1)\n"
         "\n"
         "[Service]\n"
         "Type=oneshot\n"
         "ExecStart=" + ExecWord(cliPath) + " --ini " + ExecWord(settingsPath) + " remind --notify\n";
}

std::string ReminderTimerText() {
  return "# Written by kalvero-cli schedule; \"kalvero-cli schedule off\" removes it.\n"
         "[Unit]\n"
         "Description=Kalvero: tägliche Erinnerung an fällige Sicherungen\n"
         "Documentation=man:kalvero-cli(1)\n"
         "\n"
         "[Timer]\n"
         // Shortly after login, when the desktop can show it, and once a day.
         "OnStartupSec=3min\n"
         "OnCalendar=*-*-* 12:00:00\n"
         "Persistent=true\n"
         "\n"
         "[Install]\n"
         "WantedBy=timers.target\n";
}

std::string ApplyReminder(bool on, const std::string& cliPath, const std::string& settingsPath) {
  const std::string dir = UserUnitDirectory();
  if (!on) return RemoveTimerUnits(kTimerName, kServiceName);
  int err = 0;
  if (!MakeDirectories(dir, &err)) return fmt::sprintf(texts::kScheduleWriteFailed, dir, SystemErrorText(err));
  const bool wasThere = GetPathKind(dir + kTimerName) == PathKind::File;
  const struct {
    const char* name;
    std::string text;
  } units[] = {{kServiceName, ReminderServiceText(cliPath, settingsPath)}, {kTimerName, ReminderTimerText()}};
  for (const auto& u : units)
    if (!WriteUnitFile(dir + u.name, u.text, &err))
      return fmt::sprintf(texts::kScheduleWriteFailed, dir + u.name, SystemErrorText(err));
  if (std::string e = Systemctl({"daemon-reload"}); !e.empty()) return e;
  return wasThere ? std::string() : Systemctl({"enable", "--now", kTimerName});
}

std::string ReminderAction(const std::string& destination) {
  std::string name;
  for (const Drive& d : CurrentPlugged())
    if (below(destination, d.mountPoint)) name = DriveName(d);
  if (name.empty()) name = desktopMountName(destination);
  Drive now;
  const bool mounted = DriveOfPath(destination, &now) && now.mountPoint != "/";
  if (name.empty() || mounted) return texts::kReminderStartNow;
  return fmt::sprintf(texts::kReminderPlugIn, name);
}

}  // namespace kalvero
