#include <fmt/printf.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "app/Application.h"
#include "app/SettingsFile.h"
#include "backup/BackupRun.h"
#include "backup/BackupTexts.h"
#include "backup/CheckFile.h"
#include "backup/DateLabel.h"
#include "platform/PathUtil.h"
#include "cli/CliTexts.h"
#include "cli/Commands.h"
#include "cli/ProgressLine.h"
#include "cli/RunSummary.h"
#include "platform/Interrupt.h"

namespace kalvero::cli {

namespace {

const char* const kListNames[4] = {"kopierte Quelldateien", "kopierte Zieldateien", "nicht kopierte Quelldateien",
                                   "übersprungene Dateien"};

// The run's totals in the run log's own words, and where the log is.
void printSummary(std::ostream& out, const RunTotals& totals, std::chrono::steady_clock::duration elapsed,
                  const std::string& runLog) {
  namespace bt = kalvero::texts;
  if (totals.cancelled) out << bt::LOG_CANCELLED << "\n";
  out << fmt::sprintf(bt::LOG_FILES_COPIED, totals.copied) << "\n"
      << fmt::sprintf(bt::SUMMARY_TOTAL_SKIPPED, totals.runSkipped) << "\n"
      << fmt::sprintf(bt::SUMMARY_TOTAL_ERRORS, totals.runErrors, static_cast<int>(totals.missingSources.size()))
      << "\n"
      << DurationText(elapsed) << "\n"
      << fmt::sprintf(texts::kSummaryRunLog, runLog) << "\n";
  out.flush();
}

std::string quotedList(const std::vector<std::string>& items) {
  std::string text;
  for (const std::string& item : items) text += (text.empty() ? "'" : ", '") + item + "'";
  return text;
}

}  // namespace

// What "Sicherung starten" does, without a window: load the settings as the
// backup page does, check the log directory, save, run; Ctrl-C cancels.
int runBackupCommand(CliContext& ctx) {
  RunOptions runOptions;
  std::string argError;
  if (!ParseRunOptions(ctx.args, &runOptions, &argError)) {
    ctx.err << argError << "\n";
    return EXIT_CANNOT_START;
  }
  SettingsFile settings(ctx.settingsPath);
  BackupOptions options = settings.loadBackupOptions();
  std::vector<std::string> warnings;
  JobList jobs = settings.loadJobList(&warnings);
  for (const auto& w : warnings) ctx.err << "kalvero-cli: unvollständiger Eintrag übergangen: " << w << "\n";
  const DateFilter filter = settings.loadDateFilter(DateTime::now());
  const DateLabel label = BuildDateLabel(filter);
  if (!label.enabled) options.Datum = 0;

  // The run log of a fresh settings file gets its directory at the first run.
  MakeDefaultLogDirectory(options.Protokolldatei);
  const SplitPath logPath(options.Protokolldatei);
  const std::string logDirectory = logPath.drive + logPath.dir;
  if (GetPathKind(logDirectory) == 0) {
    ctx.err << fmt::sprintf(kalvero::texts::LOG_DIR_MISSING, logDirectory) << "\n";
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
  reporter.setQuiet(runOptions.quiet);
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
  const auto started = std::chrono::steady_clock::now();
  platform::installInterruptHandler(&cancel);
  std::thread worker([&run] { run.run(); });
  worker.join();
  platform::removeInterruptHandler();
  reporter.finish();

  const RunTotals totals = run.totals();
  for (int i = 0; i < 4; ++i)
    if (totals.listOpenFailed[i])
      ctx.err << fmt::sprintf(texts::kListNotCreated, kListNames[i], ctx.app.listFileName(i)) << "\n";
  printSummary(ctx.out, totals, std::chrono::steady_clock::now() - started, options.Protokolldatei);
  // Nothing of a missing source was saved: a timer or cron job must not
  // take this for a clean run.
  if (!totals.missingSources.empty())
    ctx.err << fmt::sprintf(texts::kMissingSources, quotedList(totals.missingSources)) << "\n";
  if (runOptions.notify) NotifyEndOfRun(BackupNotification(totals, options.Protokolldatei), ctx.err);
  if (totals.cancelled) return EXIT_CANCELLED;
  return totals.runErrors > 0 || !totals.missingSources.empty() ? EXIT_RUN_ERRORS : EXIT_CLEAN;
}

}  // namespace kalvero::cli
