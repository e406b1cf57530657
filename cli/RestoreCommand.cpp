// kalvero-cli restore: what "Rücksicherung starten" does, without a window:
// from section "Rueck" of the settings file, or from QUELLE to ZIEL.
#include <atomic>
#include <chrono>

#include <fmt/printf.h>

#include "cli/CliArguments.h"
#include "cli/CliTexts.h"
#include "cli/Commands.h"
#include "cli/ProgressLine.h"
#include "cli/RunSummary.h"
#include "platform/FileSystem.h"
#include "platform/Interrupt.h"
#include "restore/RestoreStart.h"
#include "restore/RestoreTexts.h"

namespace kalvero::cli {

namespace {

struct RestoreArguments {
  RunOptions run;
  std::vector<std::string> paths;  // none, or QUELLE and ZIEL
  std::string log;                 // --log DATEI
  bool save = false;
  bool noSubdirs = false;
  bool anyArchive = false;
};

// false with the message in error for anything it does not know.
bool parseArguments(const std::vector<std::string>& args, RestoreArguments& a, std::string& error) {
  std::vector<std::string> runArgs;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--log" || arg.rfind("--log=", 0) == 0) {
      a.log = arg == "--log" ? (i + 1 < args.size() ? args[++i] : std::string()) : arg.substr(6);
      if (a.log.empty()) error = fmt::sprintf(texts::kRestoreUsage, texts::kRestoreNeedsLogName);
    } else if (arg == "--save") {
      a.save = true;
    } else if (arg == "--no-subdirs") {
      a.noSubdirs = true;
    } else if (arg == "--all-archives") {
      a.anyArchive = true;
    } else if (!arg.empty() && arg[0] != '-') {
      a.paths.push_back(arg);
    } else {
      runArgs.push_back(arg);
    }
    if (!error.empty()) return false;
  }
  if (!ParseRunOptions(runArgs, &a.run, &error)) return false;
  if (a.paths.size() == 1 || a.paths.size() > 2) {
    error = a.paths.size() == 1 ? fmt::sprintf(texts::kRestoreUsage, texts::kRestoreNeedsTwoPaths)
                                : fmt::sprintf(texts::kExtraArguments, "restore", a.paths[2]);
    return false;
  }
  return true;
}

// Section "Rueck" without arguments; with QUELLE and ZIEL the restore's
// defaults, or "Rueck" of the settings file named by --ini.
RestoreOptions optionsFor(const CliContext& ctx, const RestoreArguments& a) {
  RestoreOptions o = LoadRestoreInput(ctx.settingsPath);
  if (!a.paths.empty()) {
    if (ctx.iniArgument.empty()) {
      const RestoreOptions defaults = WithDefaultRestoreLog(RestoreOptions{});
      o.Protokolldatei = defaults.Protokolldatei;
      o.SubVerz = defaults.SubVerz;
      o.OnlyByKalvero = defaults.OnlyByKalvero;
    }
    o.PathSrc = platform::absolutePath(a.paths[0]);
    o.PathDst = platform::absolutePath(a.paths[1]);
  }
  if (!a.log.empty()) o.Protokolldatei = platform::absolutePath(a.log);
  if (a.noSubdirs) o.SubVerz = 0;
  if (a.anyArchive) o.OnlyByKalvero = 0;
  return o;
}

// The totals in the run log's own words, and where the log is.
void printSummary(std::ostream& out, const RestoreTotals& totals, std::chrono::steady_clock::duration elapsed,
                  const std::string& logFile) {
  out << fmt::sprintf(restore_text::kFilesCopied, totals.filesDone) << '\n';
  if (totals.keptVersions > 0) out << fmt::sprintf(restore_text::kKeptCount, totals.keptVersions) << '\n';
  if (totals.unchangedTargets > 0) out << fmt::sprintf(restore_text::kUnchangedCount, totals.unchangedTargets) << '\n';
  out << fmt::sprintf(restore_text::kErrors, totals.errors) << '\n';
  if (totals.cancelled) out << restore_text::kCancelled << '\n';
  out << DurationText(elapsed) << '\n' << fmt::sprintf(texts::kSummaryRunLog, logFile) << '\n';
  out.flush();
}

}  // namespace

int runRestoreCommand(CliContext& ctx) {
  RestoreArguments args;
  std::string argError;
  if (!parseArguments(ctx.args, args, argError)) {
    ctx.err << argError << "\n";
    return EXIT_CANNOT_START;
  }
  RestoreStartInput input;
  input.options = optionsFor(ctx, args);
  if (args.paths.empty() && input.options.PathSrc.empty()) {
    ctx.err << fmt::sprintf(texts::kRestoreNothingGiven, HintCommand(ctx.iniArgument, texts::kHintRestore)) << "\n";
    return EXIT_CANNOT_START;
  }
  std::atomic<int> cancel{0};
  ProgressLine reporter(ctx.out, ctx.err, platform::isTerminal(2), ProgressLine::Run::Restore);
  reporter.setQuiet(args.run.quiet);
  input.settingsPath = ctx.settingsPath;
  input.save = args.save;
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
  if (!totals.busyLine.empty()) {
    // Another run writes into the destination: said on stderr and, unattended, in a notification.
    ctx.err << totals.busyLine << '\n';
    if (args.run.notify) NotifyEndOfRun({restore_text::kNotifyNotStarted, totals.busyLine, 2}, ctx.err);
  }
  if (totals.refusedBeforeStart) return EXIT_CANNOT_START;
  printSummary(ctx.out, totals, std::chrono::steady_clock::now() - started, start.options.Protokolldatei);
  if (args.run.notify) NotifyEndOfRun(RestoreNotification(totals, start.options.Protokolldatei), ctx.err);
  if (totals.cancelled) return EXIT_CANCELLED;
  return totals.errors > 0 ? EXIT_RUN_ERRORS : EXIT_CLEAN;
}

}  // namespace kalvero::cli
