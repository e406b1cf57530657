// kalvero-cli schedule: the planned backup as a systemd user timer, through
// the same engine function as the window's "Zeitplan" dialog.
#include <fmt/printf.h>

#include "app/AppTexts.h"
#include "app/Schedule.h"
#include "app/SettingsFile.h"
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
  const std::string next = NextRunText();
  if (!next.empty()) ctx.out << next << "\n";
}

}  // namespace

int runScheduleCommand(CliContext& ctx) {
  const std::vector<std::string>& a = ctx.args;
  if (a.empty()) {
    ctx.err << texts::kScheduleUsage << "\n";
    return EXIT_CANNOT_START;
  }
  Schedule schedule;
  const std::string& verb = a[0];
  if (verb == "show" && a.size() == 1) {
    showPlan(ctx);
    return EXIT_CLEAN;
  }
  if (verb == "off" && a.size() == 1) {
    schedule.kind = Schedule::Kind::Off;
  } else if (verb == "daily" && a.size() == 2) {
    schedule.kind = Schedule::Kind::Daily;
    if (!ParseScheduleTime(a[1], &schedule.hour, &schedule.minute))
      return refuse(ctx, fmt::sprintf(kalvero::texts::kScheduleBadTime, a[1]));
  } else if (verb == "weekly" && a.size() == 3) {
    schedule.kind = Schedule::Kind::Weekly;
    if (!ParseWeekday(a[1], &schedule.weekday)) return refuse(ctx, fmt::sprintf(kalvero::texts::kScheduleBadDay, a[1]));
    if (!ParseScheduleTime(a[2], &schedule.hour, &schedule.minute))
      return refuse(ctx, fmt::sprintf(kalvero::texts::kScheduleBadTime, a[2]));
  } else {
    ctx.err << texts::kScheduleUsage << "\n";
    return EXIT_CANNOT_START;
  }
  const std::string self = platform::ExecutablePath();
  if (self.empty()) {
    ctx.err << texts::kScheduleNoProgram << "\n";
    return EXIT_CANNOT_START;
  }
  if (const std::string e = ApplySchedule(schedule, self, ctx.settingsPath); !e.empty()) return refuse(ctx, e);
  showPlan(ctx);
  // The plan stands, but its runs would only say that there is nothing to back up yet.
  if (schedule.kind != Schedule::Kind::Off && !SettingsFile(ctx.settingsPath).exists())
    ctx.err << fmt::sprintf(texts::kWarning, fmt::sprintf(texts::kNoSettingsFile, ctx.settingsPath,
                                                          HintCommand(ctx.iniArgument, "pairs add QUELLE ZIEL")))
            << "\n";
  return EXIT_CLEAN;
}

}  // namespace kalvero::cli
