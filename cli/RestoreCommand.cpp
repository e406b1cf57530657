// kalvero-cli restore: what "Rücksicherung starten" does, without a window.
#include <atomic>
#include <chrono>

#include <fmt/printf.h>

#include "cli/CliTexts.h"
#include "cli/Commands.h"
#include "cli/ProgressLine.h"
#include "cli/RunSummary.h"
#include "platform/Interrupt.h"
#include "restore/RestoreStart.h"
#include "restore/RestoreTexts.h"

namespace kalvero::cli {

namespace {

// The totals in the run log's own words, and where the log is.
void printSummary(std::ostream& out, const RestoreTotals& totals, std::chrono::steady_clock::duration elapsed,
                  const std::string& logFile) {
  out << fmt::sprintf(restore_text::kFilesCopied, totals.filesDone) << '\n'
      << fmt::sprintf(restore_text::kErrors, totals.errors) << '\n';
  if (totals.cancelled) out << restore_text::kCancelled << '\n';
  out << DurationText(elapsed) << '\n' << fmt::sprintf(texts::kSummaryRunLog, logFile) << '\n';
  out.flush();
}

}  // namespace

int runRestoreCommand(CliContext& ctx) {
  RunOptions runOptions;
  std::string argError;
  if (!ParseRunOptions(ctx.args, &runOptions, &argError)) {
    ctx.err << argError << "\n";
    return EXIT_CANNOT_START;
  }
  std::atomic<int> cancel{0};
  ProgressLine reporter(ctx.out, ctx.err, platform::isTerminal(2), ProgressLine::Run::Restore);
  reporter.setQuiet(runOptions.quiet);
  RestoreStartInput input;
  input.options = LoadRestoreInput(ctx.settingsPath);
  input.settingsPath = ctx.settingsPath;
  input.cancel = &cancel;
  input.reporter = &reporter;
  RestoreStart start = StartRestore(std::move(input));
  if (!start.ok()) {
    ctx.err << start.text << '\n';
    return EXIT_CANNOT_START;
  }

  const auto started = std::chrono::steady_clock::now();
  platform::installInterruptHandler(&cancel);
  start.run->run();
  platform::removeInterruptHandler();
  reporter.finish();

  const RestoreTotals totals = start.run->totals();
  if (totals.refusedBeforeStart) return EXIT_CANNOT_START;
  printSummary(ctx.out, totals, std::chrono::steady_clock::now() - started, start.options.Protokolldatei);
  if (runOptions.notify) NotifyEndOfRun(RestoreNotification(totals, start.options.Protokolldatei), ctx.err);
  if (totals.cancelled) return EXIT_CANCELLED;
  return totals.errors > 0 ? EXIT_RUN_ERRORS : EXIT_CLEAN;
}

}  // namespace kalvero::cli
