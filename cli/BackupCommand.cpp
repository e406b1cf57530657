#include <fmt/printf.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "backup/BackupRun.h"
#include "backup/BackupStart.h"
#include "backup/BackupTexts.h"
#include "backup/CheckFile.h"
#include "backup/MainsWait.h"
#include "cli/CliTexts.h"
#include "cli/Commands.h"
#include "cli/PluggedRun.h"
#include "cli/ProgressLine.h"
#include "cli/RunSummary.h"
#include "platform/Interrupt.h"

namespace kalvero::cli {

namespace {

// The run's totals in the run log's own words, and where the log is.
void printSummary(std::ostream& out, const RunTotals& totals, std::chrono::steady_clock::duration elapsed,
                  const std::string& runLog) {
  namespace bt = kalvero::texts;
  if (totals.cancelled) out << bt::LOG_CANCELLED << "\n";
  out << fmt::sprintf(bt::LOG_FILES_COPIED, totals.copied) << "\n";
  if (totals.linked > 0) out << fmt::sprintf(bt::LOG_FILES_LINKED, totals.linked) << "\n";
  out << fmt::sprintf(bt::SUMMARY_TOTAL_SKIPPED, totals.runSkipped) << "\n"
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

// What "Sicherung starten" does, without a window: the settings as the backup
// page loads them, started as the page starts them; Ctrl-C cancels.
int runBackupCommand(CliContext& ctx) {
  RunOptions runOptions;
  std::string argError, plugged;
  if (!TakePluggedOption(ctx, &plugged, &argError) || !ParseRunOptions(ctx.args, &runOptions, &argError)) {
    ctx.err << argError << "\n";
    return EXIT_CANNOT_START;
  }
  std::vector<std::string> warnings;
  BackupStartInput input = LoadBackupInput(ctx.settingsPath, &warnings);
  for (const auto& w : warnings) ctx.err << fmt::sprintf(texts::kIncompleteEntrySkipped, w) << "\n";
  const std::string runLog = input.options.Protokolldatei;
  if (!plugged.empty() && !PluggedRunWanted(ctx, plugged, input)) return EXIT_CLEAN;

  std::atomic<int> cancel{0};
  platform::installInterruptHandler(&cancel);
  // A planned run (one that notifies) on battery waits for mains power; a
  // plug-in run does not: whoever plugged the drive in wants it back soon.
  std::string waited;
  MainsWaitSetup mains;
  mains.onWaiting = [&ctx] {
    NotifyEndOfRun({kalvero::texts::NOTIFY_MAINS_WAITING, kalvero::texts::MAINS_WAITING, 1}, ctx.err);
  };
  if (runOptions.notify && plugged.empty() && !WaitForMains(ctx.settingsPath, ctx.out, cancel, mains, &waited)) {
    platform::removeInterruptHandler();
    return EXIT_CANCELLED;
  }

  ProgressLine reporter(ctx.out, ctx.err, platform::isTerminal(2));
  reporter.setQuiet(runOptions.quiet);
  CheckFile checkFile;
  input.listFiles = ctx.app.listFileNames();
  input.cancel = &cancel;
  input.reporter = &reporter;
  input.checkFile = &checkFile;
  BackupStart start = StartBackup(std::move(input));
  if (!start.ok()) {
    platform::removeInterruptHandler();
    ctx.err << start.text << "\n";
    if (runOptions.notify) NotifyEndOfRun(RefusalNotification(start), ctx.err);
    return EXIT_CANNOT_START;
  }
  BackupRun& run = *start.run;
  const auto started = std::chrono::steady_clock::now();
  std::thread worker([&run] { run.run(); });
  worker.join();
  platform::removeInterruptHandler();
  reporter.finish();

  const RunTotals totals = run.totals();
  if (!totals.busyLine.empty()) {
    // Another run writes into a destination: nothing was done, as with a refused start.
    ctx.err << totals.busyLine << "\n";
    if (runOptions.notify) NotifyEndOfRun({kalvero::texts::NOTIFY_BACKUP_NOT_STARTED, totals.busyLine, 2}, ctx.err);
    return EXIT_CANNOT_START;
  }
  for (int i = 0; i < 4; ++i)
    if (totals.listOpenFailed[i])
      ctx.err << fmt::sprintf(texts::kListNotCreated, texts::kListNames[i], ctx.app.listFileName(i)) << "\n";
  printSummary(ctx.out, totals, std::chrono::steady_clock::now() - started, runLog);
  // Nothing of a missing source was saved: a timer or cron job must not
  // take this for a clean run.
  if (!totals.missingSources.empty())
    ctx.err << fmt::sprintf(texts::kMissingSources, quotedList(totals.missingSources)) << "\n";
  RunNotification notification = BackupNotification(totals, runLog);
  if (!waited.empty()) notification.body += "\n" + waited;
  if (!plugged.empty()) FinishPluggedRun(ctx, plugged, totals, &notification);
  if (runOptions.notify) NotifyEndOfRun(notification, ctx.err);
  if (totals.cancelled) return EXIT_CANCELLED;
  return totals.runErrors > 0 || !totals.missingSources.empty() ? EXIT_RUN_ERRORS : EXIT_CLEAN;
}

}  // namespace kalvero::cli
