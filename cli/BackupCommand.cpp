#include <fmt/printf.h>

#include <atomic>
#include <thread>

#include "app/Application.h"
#include "app/SettingsFile.h"
#include "backup/BackupRun.h"
#include "backup/BackupTexts.h"
#include "backup/CheckFile.h"
#include "backup/DateLabel.h"
#include "backup/PathUtil.h"
#include "cli/Commands.h"
#include "cli/ProgressLine.h"
#include "platform/Interrupt.h"

namespace kalvero::cli {

namespace {

const char* const kListNames[4] = {"kopierte Quelldateien", "kopierte Zieldateien", "nicht kopierte Quelldateien",
                                   "übersprungene Dateien"};

}  // namespace

// What "Sicherung starten" does, without a window: load the settings as the
// backup page does, check the log directory, save, run; Ctrl-C cancels.
int runBackupCommand(CliContext& ctx) {
  SettingsFile settings(ctx.settingsPath);
  BackupOptions options = settings.loadBackupOptions();
  std::vector<std::string> warnings;
  JobList jobs = settings.loadJobList(&warnings);
  for (const auto& w : warnings) ctx.err << "kalvero-cli: unvollständiger Eintrag übergangen: " << w << "\n";
  const DateFilter filter = settings.loadDateFilter(DateTime::now());
  const DateLabel label = BuildDateLabel(filter);
  if (!label.enabled) options.Datum = 0;

  const SplitPath logPath(options.Protokolldatei);
  const std::string logDirectory = logPath.drive + logPath.dir;
  if (GetPathKind(logDirectory) == 0) {
    ctx.err << fmt::sprintf(texts::LOG_DIR_MISSING, logDirectory) << "\n";
    return EXIT_CANNOT_START;
  }
  std::string error;
  if (!settings.saveBackupSettings(options, jobs, &error)) {
    ctx.err << error << "\n";
    return EXIT_CANNOT_START;
  }

  std::atomic<int> cancel{0};
  std::atomic<int> batch{0};
  ProgressLine reporter(ctx.out, ctx.err, platform::isTerminal(2));
  CheckFile checkFile;
  BackupRunSetup setup;
  setup.settingsPath = ctx.settingsPath;
  setup.jobs = jobs;
  setup.options = options;
  setup.dateFilter = filter;
  setup.captions = DefaultOptionCaptions(label.text);
  setup.listFiles = ctx.app.listFileNames();
  setup.tempDir = ctx.app.tempPath();
  setup.versionText = Application::versionText();
  setup.cancel = &cancel;
  setup.pageBatchMode = &batch;
  setup.reporter = &reporter;
  setup.checkFile = &checkFile;

  BackupRun run(std::move(setup));
  platform::installInterruptHandler(&cancel);
  std::thread worker([&run] { run.run(); });
  worker.join();
  platform::removeInterruptHandler();
  reporter.finish();

  const RunTotals totals = run.totals();
  for (int i = 0; i < 4; ++i)
    if (totals.listOpenFailed[i])
      ctx.err << "kalvero-cli: Liste der " << kListNames[i] << " konnte nicht angelegt werden: "
              << ctx.app.listFileName(i) << "\n";
  if (totals.cancelled) return EXIT_CANCELLED;
  return totals.runErrors > 0 ? EXIT_RUN_ERRORS : EXIT_CLEAN;
}

}  // namespace kalvero::cli
