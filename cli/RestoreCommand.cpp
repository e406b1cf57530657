// kalvero-cli restore: what "Rücksicherung starten" does, without a window.
#include <atomic>
#include <chrono>

#include <fmt/format.h>
#include <fmt/printf.h>

#include "app/Application.h"
#include "app/SettingsFile.h"
#include "cli/CliTexts.h"
#include "cli/Commands.h"
#include "cli/RunSummary.h"
#include "platform/Interrupt.h"
#include "restore/RestoreRun.h"
#include "restore/RestoreTexts.h"

namespace kalvero::cli {

namespace {

// Log-page lines to stdout; on a terminal one progress line on stderr.
class RestoreProgressLine : public RunReporter {
 public:
  RestoreProgressLine(std::ostream& out, std::ostream& err, bool show) : out_(out), err_(err), show_(show) {}

  void clearLog() override {}
  void logLine(const std::string& text) override {
    clearLine();
    std::string line = text;
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
    out_ << line << '\n' << std::flush;
  }
  void progress(int code, const ProgressInfo& info) override {
    if (!show_) return;
    const auto now = std::chrono::steady_clock::now();
    if (code != NOTIFY_FINISHED && now - lastDraw_ < std::chrono::milliseconds(100)) return;
    lastDraw_ = now;
    std::string text;
    if (code == NOTIFY_SEARCHING) {
      text = "Suche Dateien ...";
    } else {
      text = fmt::format("Rücksichern: {} von {} Dateien, {} Fehler", info.filesDone, info.filesInPair,
                         info.pairErrors);
      if ((code == NOTIFY_FILE_STEP || code == NOTIFY_FILE_START) && info.fileSize > 0)
        text += fmt::format("  ({} %)", info.fileDone * 100 / info.fileSize);
    }
    err_ << "\r\033[K" << text << std::flush;
    shown_ = true;
  }
  void finish() { clearLine(); }

 private:
  void clearLine() {
    if (!shown_) return;
    err_ << "\r\033[K" << std::flush;
    shown_ = false;
  }
  std::ostream& out_;
  std::ostream& err_;
  bool show_;
  bool shown_ = false;
  std::chrono::steady_clock::time_point lastDraw_{};
};

}  // namespace

int runRestoreCommand(CliContext& ctx) {
  RunOptions runOptions;
  std::string argError;
  if (!ParseRunOptions(ctx.args, &runOptions, &argError)) {
    ctx.err << argError << "\n";
    return EXIT_CANNOT_START;
  }
  SettingsFile settings(ctx.settingsPath);
  RestoreOptions options = settings.loadRestoreOptions();
  const RestoreValidation check = CheckRestoreStart(options, true);
  if (!check.ok()) {
    ctx.err << check.text << '\n';
    return EXIT_CANNOT_START;
  }
  std::string saveError;
  if (!settings.saveRestoreOptions(options, &saveError)) {
    ctx.err << saveError << '\n';
    return EXIT_CANNOT_START;
  }

  std::atomic<int> cancel{0};
  RestoreProgressLine reporter(ctx.out, ctx.err, platform::isTerminal(2));
  RestoreRunSetup setup;
  setup.options = options;
  setup.settingsPath = ctx.settingsPath;
  setup.versionText = Application::versionText();
  setup.cancel = &cancel;
  setup.reporter = &reporter;
  RestoreRun run(setup);
  const auto started = std::chrono::steady_clock::now();
  platform::installInterruptHandler(&cancel);
  run.run();
  platform::removeInterruptHandler();
  reporter.finish();

  const RestoreTotals totals = run.totals();
  if (totals.refusedBeforeStart) return EXIT_CANNOT_START;
  // The totals in the run log's own words, and where the log is.
  ctx.out << fmt::sprintf(restore_text::kFilesCopied, totals.filesDone) << '\n'
          << fmt::sprintf(restore_text::kErrors, totals.errors) << '\n';
  if (totals.cancelled) ctx.out << restore_text::kCancelled << '\n';
  ctx.out << DurationText(std::chrono::steady_clock::now() - started) << '\n'
          << fmt::sprintf(texts::kSummaryRunLog, options.Protokolldatei) << '\n';
  ctx.out.flush();
  if (runOptions.notify) NotifyEndOfRun(RestoreNotification(totals, options.Protokolldatei), ctx.err);
  if (totals.cancelled) return EXIT_CANCELLED;
  return totals.errors > 0 ? EXIT_RUN_ERRORS : EXIT_CLEAN;
}

}  // namespace kalvero::cli
