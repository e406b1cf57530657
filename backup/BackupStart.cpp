#include "backup/BackupStart.h"

#include <fmt/printf.h>

#include <algorithm>

#include "app/DateTime.h"
#include "app/PluggedRun.h"
#include "app/SettingsFile.h"
#include "backup/BackupTexts.h"
#include "backup/DateLabel.h"
#include "diag/Trace.h"
#include "platform/PathUtil.h"
#include "run/Filters.h"
#include "run/RunSettings.h"

namespace kalvero {

BackupStartInput LoadBackupInput(const std::string& settingsPath, std::vector<std::string>* warnings) {
  const SettingsFile settings(settingsPath);
  BackupStartInput in;
  in.settingsPath = settingsPath;
  in.options = settings.loadBackupOptions();
  in.jobs = settings.loadJobList(warnings);
  in.dateFilter = settings.loadDateFilter(DateTime::now());
  const DateLabel label = BuildDateLabel(in.dateFilter);
  in.dateLabel = label.text;
  if (!label.enabled) in.options.Datum = 0;
  return in;
}

std::string LogDirectoryRefusal(const std::string& logFile) {
  // The default log's directory is the program's own: made at the first start.
  MakeDefaultLogDirectory(logFile);
  const std::string logDirectory = ParentDirectory(logFile);
  return GetPathKind(logDirectory) == PathKind::Nothing ? fmt::sprintf(texts::LOG_DIR_MISSING, logDirectory) : std::string();
}

namespace {

// A caption without the colon that ends it on the page.
std::string withoutColon(std::string caption) {
  if (!caption.empty() && caption.back() == ':') caption.pop_back();
  return caption;
}

// What the desktop shows while the run keeps the computer awake: the pair (the first of several).
std::string sleepLockWhy(const JobList& jobs) {
  std::vector<const DirPair*> active;
  for (const DirPair& p : jobs)
    if (p.active) active.push_back(&p);
  if (active.size() == 1) return fmt::sprintf(texts::SLEEP_LOCK_WHY, active[0]->source, active[0]->destination);
  return fmt::sprintf(texts::SLEEP_LOCK_WHY_MORE, active[0]->source, active[0]->destination,
                      static_cast<int>(active.size()) - 1);
}

}  // namespace

std::unique_ptr<platform::SleepLock> TakeSleepLock(const std::string& settingsPath, const std::string& why,
                                                   std::atomic<int>* cancel) {
  if (!RunSettings(settingsPath).unattended().Schlafsperre) return nullptr;
  auto lock = std::make_unique<platform::SleepLock>(why, cancel);
  // No system bus (a container, a server): the run goes on without.
  if (!lock->held()) KALVERO_TRACE(texts::SLEEP_LOCK_NONE, lock->failure());
  return lock;
}

std::string PatternRefusal(const BackupOptions& options, BackupStart::Field* field) {
  const struct {
    int on;
    const std::string& text;
    const char* caption;
    BackupStart::Field field;
  } lists[] = {
      {options.MusterFlagErlaubt, options.MusterErlaubt, texts::CAPTION_MUSTER_ERLAUBT,
       BackupStart::Field::AllowedPatterns},
      {options.MusterFlagNichtErlaubt, options.MusterNichtErlaubt, texts::CAPTION_MUSTER_NICHT_ERLAUBT,
       BackupStart::Field::ExcludedPatterns},
  };
  for (const auto& list : lists) {
    if (!list.on) continue;  // a switched-off field is not used by the run
    const std::string forbidden = FirstForbiddenPattern(list.text);
    if (forbidden.empty()) continue;
    if (field) *field = list.field;
    return fmt::sprintf(texts::PATTERN_FORBIDDEN, forbidden, withoutColon(list.caption));
  }
  return {};
}

RunNotification RefusalNotification(const BackupStart& refused) {
  RunNotification n;
  n.summary = texts::NOTIFY_BACKUP_NOT_STARTED;
  n.body = refused.text;
  n.urgency = 2;
  return n;
}

BackupStart StartBackup(BackupStartInput in) {
  BackupStart start;
  // A forbidden pattern would silently select nothing: nothing is written or copied.
  start.text = PatternRefusal(in.options, &start.field);
  if (!start.text.empty()) {
    start.text += "\n" + std::string(texts::PATTERN_NOTHING_COPIED);
    return start;
  }
  start.text = LogDirectoryRefusal(in.options.Protokolldatei);
  if (!start.text.empty()) {
    start.field = BackupStart::Field::LogFile;
    return start;
  }
  if (std::none_of(in.jobs.begin(), in.jobs.end(), [](const DirPair& p) { return p.active != 0; })) {
    start.field = BackupStart::Field::JobList;
    start.text = texts::NO_ACTIVE_PAIR;
    return start;
  }
  // The run reads "Allg" again before each pair: it must find what starts it.
  std::string error;
  if (!SettingsFile(in.settingsPath).saveBackupSettings(in.options, in.jobs, &error)) {
    start.field = BackupStart::Field::Settings;
    start.kind = MessageKind::Error;
    start.text = error;
    return start;
  }

  BackupRunSetup setup;
  setup.settingsPath = in.settingsPath;
  setup.jobs = std::move(in.jobs);
  int onDrive = 0;
  if (!in.driveUuid.empty()) setup.jobs = PairsOnDrive(setup.jobs, in.driveUuid, &onDrive);
  setup.options = in.options;
  setup.dateFilter = in.dateFilter;
  setup.captions = DefaultOptionCaptions(in.dateLabel);
  setup.listFiles = in.listFiles;
  setup.versionText = Application::versionText();
  setup.cancel = in.cancel;
  setup.reporter = in.reporter;
  setup.checkFile = in.checkFile;
  setup.sleepLock = TakeSleepLock(in.settingsPath, sleepLockWhy(setup.jobs), in.cancel);
  start.run = std::make_unique<BackupRun>(std::move(setup));
  return start;
}

}  // namespace kalvero
