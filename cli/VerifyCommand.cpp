#include <fmt/printf.h>

#include <atomic>
#include <chrono>

#include "cli/CliTexts.h"
#include "cli/Commands.h"
#include "cli/ProgressLine.h"
#include "cli/RunSummary.h"
#include "platform/FileSystem.h"
#include "platform/Interrupt.h"
#include "verify/VerifyRun.h"
#include "verify/VerifySummary.h"

namespace kalvero::cli {

namespace {

struct VerifyOptions {
  std::string folder;  // "" = every active pair's destination
  bool source = false;
  RunOptions run;
};

bool ParseVerifyOptions(const std::vector<std::string>& args, VerifyOptions* options, std::string* error) {
  std::vector<std::string> runArgs;
  for (const std::string& arg : args) {
    if (arg == "--source") {
      options->source = true;
    } else if (!arg.empty() && arg[0] == '-') {
      runArgs.push_back(arg);
    } else if (options->folder.empty() && !arg.empty()) {
      options->folder = arg;
    } else {
      *error = fmt::sprintf(texts::kExtraArguments, "verify", arg);
      return false;
    }
  }
  return ParseRunOptions(runArgs, &options->run, error);
}

// The targets of the call; "" or the reason it cannot start.
std::string TargetsOfCall(const CliContext& ctx, const VerifyOptions& options, std::vector<VerifyTarget>* targets) {
  if (options.folder.empty()) {
    *targets = TargetsOfSettings(ctx.settingsPath);
    return {};
  }
  const auto folder = platform::statPath(options.folder);
  if (!folder || folder->kind != platform::EntryKind::Directory) return fmt::sprintf(texts::kVerifyNoFolder, options.folder);
  const VerifyTarget target = TargetOfFolder(options.folder, ctx.settingsPath);
  if (options.source && target.source.empty()) return fmt::sprintf(texts::kVerifyNoPairSource, target.root);
  targets->push_back(target);
  return {};
}

void PrintSummary(std::ostream& out, const VerifyTotals& totals, std::chrono::steady_clock::duration elapsed) {
  for (const std::string& line : SummaryLines(totals)) out << line << "\n";
  out << DurationText(elapsed) << "\n" << VerdictText(totals) << "\n";
  out.flush();
}

}  // namespace

// Checks backups against their checksum lists, without the source (with
// --source also the source files whose size and time match their copies).
int runVerifyCommand(CliContext& ctx) {
  VerifyOptions options;
  std::string error;
  if (!ParseVerifyOptions(ctx.args, &options, &error)) {
    ctx.err << error << "\n";
    return EXIT_CANNOT_START;
  }
  VerifyInput input;
  error = TargetsOfCall(ctx, options, &input.targets);
  if (!error.empty()) {
    ctx.err << error << "\n";
    return EXIT_CANNOT_START;
  }
  std::atomic<int> cancel{0};
  ProgressLine reporter(ctx.out, ctx.err, platform::isTerminal(2));
  reporter.setQuiet(options.run.quiet);
  input.withSource = options.source;
  input.cancel = &cancel;
  input.reporter = &reporter;
  const auto started = std::chrono::steady_clock::now();
  platform::installInterruptHandler(&cancel);
  const VerifyTotals totals = RunVerify(input);
  platform::removeInterruptHandler();
  reporter.finish();
  if (options.run.notify) NotifyEndOfRun(VerifyNotification(totals), ctx.err);
  if (!totals.busyLine.empty()) {
    ctx.err << totals.busyLine << "\n";
    return EXIT_CANNOT_START;
  }
  PrintSummary(ctx.out, totals, std::chrono::steady_clock::now() - started);
  if (totals.cancelled) return EXIT_CANCELLED;
  return totals.anythingFound() ? EXIT_RUN_ERRORS : EXIT_CLEAN;
}

}  // namespace kalvero::cli
