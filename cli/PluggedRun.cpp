#include "cli/PluggedRun.h"

#include <fmt/printf.h>

#include <set>

#include "app/DriveIdentity.h"
#include "app/PluggedRun.h"
#include "app/SettingsFile.h"
#include "app/UnattendedSettings.h"
#include "cli/CliTexts.h"
#include "platform/FileSystem.h"
#include "platform/Udisks.h"

namespace kalvero::cli {

bool TakePluggedOption(CliContext& ctx, std::string* uuid, std::string* error) {
  std::vector<std::string>& a = ctx.args;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (a[i] != "--plugged") continue;
    if (i + 1 >= a.size() || a[i + 1].empty() || a[i + 1][0] == '-') {
      *error = texts::kPluggedNoUuid;
      return false;
    }
    *uuid = a[i + 1];
    a.erase(a.begin() + static_cast<std::ptrdiff_t>(i), a.begin() + static_cast<std::ptrdiff_t>(i) + 2);
    return true;
  }
  return true;
}

bool PluggedRunWanted(CliContext& ctx, const std::string& uuid, BackupStartInput& input) {
  int onDrive = 0;
  PairsOnDrive(input.jobs, uuid, &onDrive);
  if (onDrive == 0) {
    ctx.out << fmt::sprintf(texts::kPluggedOtherDrive, uuid) << "\n";
    return false;
  }
  if (PluggedRunDoneToday(uuid)) {
    ctx.out << fmt::sprintf(texts::kPluggedDoneToday, uuid) << "\n";
    return false;
  }
  input.driveUuid = uuid;
  return true;
}

void FinishPluggedRun(CliContext& ctx, const std::string& uuid, const RunTotals& totals, RunNotification* n) {
  if (totals.cancelled || !totals.busyLine.empty()) return;  // the next plug-in tries again
  MarkPluggedRunDone(uuid);
  Drive drive;
  int onDrive = 0;
  for (const DirPair& p : PairsOnDrive(SettingsFile(ctx.settingsPath).loadJobList(), uuid, &onDrive))
    if (p.active && DriveOfPath(p.destination, &drive)) break;
  if (drive.mountPoint.empty()) return;
  // Every copy is on the drive itself, not only in the page cache, before anyone is told to pull it out.
  platform::syncFileSystemsOnce({drive.mountPoint});
  std::string line = fmt::sprintf(texts::kPluggedMayRemove, DriveName(drive));
  std::string error;
  if (LoadUnattendedSettings(ctx.settingsPath).Aushaengen) {
    line = platform::UnmountAndPowerOff(drive.device, &error)
               ? fmt::sprintf(texts::kPluggedUnmounted, DriveName(drive))
               : fmt::sprintf(texts::kPluggedUnmountFailed, DriveName(drive), error);
  }
  ctx.out << line << "\n";
  if (n) n->body += "\n" + line;
}

}  // namespace kalvero::cli
