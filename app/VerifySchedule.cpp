#include "app/VerifySchedule.h"

#include <fmt/printf.h>

#include "app/AppTexts.h"
#include "app/Schedule.h"
#include "app/UserUnits.h"
#include "diag/ErrorText.h"
#include "platform/PathUtil.h"

namespace kalvero {

namespace {

constexpr const char* kServiceName = "kalvero-verify.service";
constexpr const char* kTimerName = "kalvero-verify.timer";

}  // namespace

std::string VerifyServiceText(const std::string& cliPath, const std::string& settingsPath) {
  return "# Written by kalvero-cli schedule; \"kalvero-cli schedule verify off\" removes it.\n"
         "[Unit]\n"
         "Description=Kalvero: Prüfung der Sicherungen\n"
         "Documentation=man:kalvero-cli(1)\n"
         "\n"
         "[Service]\n"
         "Type=oneshot\n"
         "ExecStart=" + ExecWord(cliPath) + " --ini " + ExecWord(settingsPath) + " verify --notify\n"
         "Nice=19\n"
         "IOSchedulingClass=idle\n";
}

std::string VerifyTimerText() {
  return "# Written by kalvero-cli schedule; \"kalvero-cli schedule verify off\" removes it.\n"
         "[Unit]\n"
         "Description=Kalvero: monatliche Prüfung der Sicherungen\n"
         "Documentation=man:kalvero-cli(1)\n"
         "\n"
         "[Timer]\n"
         "OnCalendar=*-*-01 12:00:00\n"
         // A check missed while the computer was off happens at the next start.
         "Persistent=true\n"
         "\n"
         "[Install]\n"
         "WantedBy=timers.target\n";
}

std::string ApplyVerifySchedule(bool on, const std::string& cliPath, const std::string& settingsPath) {
  const std::string dir = UserUnitDirectory();
  if (!on) return RemoveTimerUnits(kTimerName, kServiceName);
  for (const std::string* path : {&cliPath, &settingsPath})
    if (!UsableUnitPath(*path)) return fmt::sprintf(texts::kScheduleBadPath, *path);
  int err = 0;
  if (!MakeDirectories(dir, &err)) return fmt::sprintf(texts::kScheduleWriteFailed, dir, SystemErrorText(err));
  const std::string servicePath = dir + kServiceName, timerPath = dir + kTimerName;
  const auto oldService = ReadWholeFile(servicePath), oldTimer = ReadWholeFile(timerPath);
  std::string e;
  if (!WriteUnitFile(servicePath, VerifyServiceText(cliPath, settingsPath), &err))
    e = fmt::sprintf(texts::kScheduleWriteFailed, servicePath, SystemErrorText(err));
  else if (!WriteUnitFile(timerPath, VerifyTimerText(), &err))
    e = fmt::sprintf(texts::kScheduleWriteFailed, timerPath, SystemErrorText(err));
  if (e.empty()) e = Systemctl({"daemon-reload"});
  if (e.empty()) e = Systemctl({"enable", "--now", kTimerName});
  if (!e.empty()) {  // a refused plan leaves the old one as it was
    PutBackUnitFile(servicePath, oldService);
    PutBackUnitFile(timerPath, oldTimer);
  }
  return e;
}

bool VerifyScheduled() { return GetPathKind(UserUnitDirectory() + kTimerName) == PathKind::File; }

}  // namespace kalvero
