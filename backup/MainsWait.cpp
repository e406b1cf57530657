#include "backup/MainsWait.h"

#include <fmt/printf.h>
#include <unistd.h>

#include <ctime>

#include "backup/LastBackups.h"
#include "backup/RunLog.h"
#include "backup/BackupTexts.h"
#include "platform/PowerSupply.h"
#include "run/RunSettings.h"

namespace kalvero {

namespace {

constexpr std::int64_t kOverdueSeconds = 3 * 86400;

// True when an active pair's last complete backup is older than three days, or missing.
bool backupOverdue(const std::string& settingsPath, std::int64_t now) {
  const RunSettings settings(settingsPath);
  const auto last = LastCompleteBackups(settings.savedOptions().Protokolldatei);
  for (const DirPair& p : settings.savedJobs()) {
    if (!p.active) continue;
    const auto it = last.find(p.source);
    if (it == last.end() || now - it->second > kOverdueSeconds) return true;
  }
  return false;
}

bool mustWait(const std::string& settingsPath, const MainsWaitSetup& setup) {
  return platform::CurrentPowerSource(setup.powerRoot) == platform::PowerSource::Battery &&
         !backupOverdue(settingsPath, std::time(nullptr));
}

std::string clockText(std::time_t t) {
  std::tm local{};
  localtime_r(&t, &local);
  return fmt::sprintf("%02d:%02d", local.tm_hour, local.tm_min);
}

}  // namespace

bool WaitForMains(const std::string& settingsPath, std::ostream& out, const std::atomic<int>& cancel,
                  const MainsWaitSetup& setup, std::string* waited) {
  waited->clear();
  if (!mustWait(settingsPath, setup)) return true;
  const std::time_t from = std::time(nullptr);
  out << texts::MAINS_WAITING << "\n";
  out.flush();
  if (setup.onWaiting) setup.onWaiting();
  while (mustWait(settingsPath, setup)) {
    if (cancel.load() != 0) return false;
    usleep(static_cast<useconds_t>(setup.pollMilliseconds) * 1000);
  }
  *waited = fmt::sprintf(texts::MAINS_WAITED, clockText(from), clockText(std::time(nullptr)));
  out << *waited << "\n";
  // The run log says it too: it is where the user looks for what a planned run did.
  RunLog log;
  if (log.open(RunSettings(settingsPath).savedOptions().Protokolldatei)) {
    try {
      log.writeLine(*waited);
    } catch (const std::exception&) {
      // The run writes its own lines; this one is only a note.
    }
  }
  return true;
}

}  // namespace kalvero
