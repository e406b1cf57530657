// kalvero-cli schedule: the planned backup as a systemd user timer, and the
// backup when a destination's drive is plugged in, through the same engine
// functions as the window's "Zeitplan" dialog.
#include <fmt/printf.h>

#include <algorithm>

#include "app/AppTexts.h"
#include "app/DriveIdentity.h"
#include "app/PluggedSchedule.h"
#include "app/Reminder.h"
#include "app/Schedule.h"
#include "app/SettingsFile.h"
#include "app/VerifySchedule.h"
#include "cli/CliArguments.h"
#include "cli/CliTexts.h"
#include "cli/Commands.h"
#include "platform/Process.h"

namespace kalvero::cli {

namespace {

int refuse(CliContext& ctx, const std::string& message) {
  ctx.err << fmt::sprintf(texts::kScheduleFailed, message) << "\n";
  return EXIT_CANNOT_START;
}

void showPlan(CliContext& ctx) {
  ctx.out << fmt::sprintf(texts::kSchedulePlan, ScheduleText(CurrentSchedule())) << "\n";
  for (const Drive& d : CurrentPlugged()) ctx.out << fmt::sprintf(texts::kSchedulePluggedPlan, PluggedText(d)) << "\n";
  if (VerifyScheduled()) ctx.out << texts::kScheduleVerifyPlan << "\n";
  const std::string next = NextRunText();
  if (!next.empty()) ctx.out << next << "\n";
}

std::vector<Drive> destinationDrives(CliContext& ctx) {
  std::vector<std::pair<std::string, std::string>> elsewhere;
  const std::vector<Drive> drives = DestinationDrives(SettingsFile(ctx.settingsPath).loadJobList(), &elsewhere);
  for (const auto& [destination, mountPoint] : elsewhere)
    ctx.err << fmt::sprintf(texts::kWarning, fmt::sprintf(texts::kScheduleNotOnDrive, destination, mountPoint))
            << "\n";
  return drives;
}

// What the verb asks for; false with the usage or a refusal already printed in *status.
bool parsePlan(CliContext& ctx, Schedule* schedule, int* status) {
  const std::vector<std::string>& a = ctx.args;
  const std::string& verb = a[0];
  *status = EXIT_CANNOT_START;
  if (verb == "off" && a.size() == 1) {
    schedule->kind = Schedule::Kind::Off;
  } else if (verb == "daily" && a.size() == 2) {
    schedule->kind = Schedule::Kind::Daily;
    if (!ParseScheduleTime(a[1], &schedule->hour, &schedule->minute))
      return refuse(ctx, fmt::sprintf(kalvero::texts::kScheduleBadTime, a[1])), false;
  } else if (verb == "weekly" && a.size() == 3) {
    schedule->kind = Schedule::Kind::Weekly;
    if (!ParseWeekday(a[1], &schedule->weekday))
      return refuse(ctx, fmt::sprintf(kalvero::texts::kScheduleBadDay, a[1])), false;
    if (!ParseScheduleTime(a[2], &schedule->hour, &schedule->minute))
      return refuse(ctx, fmt::sprintf(kalvero::texts::kScheduleBadTime, a[2])), false;
  } else {
    ctx.err << texts::kScheduleUsage << "\n";
    return false;
  }
  return true;
}

int applyPlugged(CliContext& ctx, bool on, const std::string& self) {
  std::vector<Drive> drives;
  if (on) {
    drives = destinationDrives(ctx);
    if (drives.empty()) return refuse(ctx, kalvero::texts::kScheduleNoDrive);
  }
  if (const std::string e = ApplyPlugged(drives, self, ctx.settingsPath); !e.empty()) return refuse(ctx, e);
  if (on)
    if (const std::string e = ApplyReminder(true, self, ctx.settingsPath); !e.empty()) return refuse(ctx, e);
  showPlan(ctx);
  return EXIT_CLEAN;
}

}  // namespace

int runScheduleCommand(CliContext& ctx) {
  const std::vector<std::string>& a = ctx.args;
  if (a.empty()) {
    ctx.err << texts::kScheduleUsage << "\n";
    return EXIT_CANNOT_START;
  }
  if (a[0] == "show" && a.size() == 1) {
    showPlan(ctx);
    return EXIT_CLEAN;
  }
  const bool plugged = a[0] == "plugged" && (a.size() == 1 || (a.size() == 2 && a[1] == "off"));
  const bool verify = a[0] == "verify" && a.size() == 2 && (a[1] == "monthly" || a[1] == "off" || a[1] == "show");
  if (verify && a[1] == "show") {
    showPlan(ctx);
    return EXIT_CLEAN;
  }
  Schedule schedule;
  int status = EXIT_CLEAN;
  if (!plugged && !verify && !parsePlan(ctx, &schedule, &status)) return status;
  const std::string self = platform::ExecutablePath();
  if (self.empty()) {
    ctx.err << texts::kScheduleNoProgram << "\n";
    return EXIT_CANNOT_START;
  }
  if (plugged) return applyPlugged(ctx, a.size() == 1, self);
  if (verify) {
    if (const std::string e = ApplyVerifySchedule(a[1] == "monthly", self, ctx.settingsPath); !e.empty())
      return refuse(ctx, e);
    showPlan(ctx);
    return EXIT_CLEAN;
  }
  if (const std::string e = ApplySchedule(schedule, self, ctx.settingsPath); !e.empty()) return refuse(ctx, e);
  // "off" stops every planned backup: the plug-in trigger too, and the reminder.
  if (schedule.kind == Schedule::Kind::Off)
    if (const std::string e = ApplyPlugged({}, self, ctx.settingsPath); !e.empty()) return refuse(ctx, e);
  const bool remind = schedule.kind != Schedule::Kind::Off;
  if (const std::string e = ApplyReminder(remind, self, ctx.settingsPath); !e.empty()) return refuse(ctx, e);
  showPlan(ctx);
  // The plan stands, but its runs would only say that there is nothing to back up yet.
  if (schedule.kind != Schedule::Kind::Off && !SettingsFile(ctx.settingsPath).exists())
    ctx.err << fmt::sprintf(texts::kWarning, fmt::sprintf(texts::kNoSettingsFile, ctx.settingsPath,
                                                          HintCommand(ctx.iniArgument, texts::kHintPairsAdd)))
            << "\n";
  return EXIT_CLEAN;
}

}  // namespace kalvero::cli
