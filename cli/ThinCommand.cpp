// kalvero-cli thin: the dated folders of the active pairs' destinations
// thinned out by the rule of days, weeks and months, under the same lock as
// any run into them.
#include <fmt/printf.h>

#include <algorithm>
#include <charconv>

#include "backup/Thinning.h"
#include "cli/CliTexts.h"
#include "cli/Commands.h"
#include "diag/ErrorText.h"
#include "platform/PathUtil.h"
#include "platform/RunLock.h"
#include "run/RunSettings.h"
#include "run/Walk.h"

namespace kalvero::cli {

namespace {

struct ThinOptions {
  ThinningRule rule;
  bool ruleGiven = false;
  bool dryRun = false;
};

bool ParseCount(const std::string& option, const std::string* value, int* out, std::string* error) {
  int n = -1;
  const char* end = value ? value->data() + value->size() : nullptr;
  if (!value || value->empty() || std::from_chars(value->data(), end, n).ptr != end || n < 0 || n > 100000) {
    *error = fmt::sprintf(texts::kThinBadNumber, option);
    return false;
  }
  *out = n;
  return true;
}

bool ParseThinOptions(const std::vector<std::string>& args, ThinOptions* options, std::string* error) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    int* count = arg == "--keep-daily"     ? &options->rule.days
                 : arg == "--keep-weekly"  ? &options->rule.weeks
                 : arg == "--keep-monthly" ? &options->rule.months
                                           : nullptr;
    if (count) {
      const std::string* value = i + 1 < args.size() ? &args[++i] : nullptr;
      if (!ParseCount(arg, value, count, error)) return false;
      options->ruleGiven = true;
    } else if (arg == "--dry-run") {
      options->dryRun = true;
    } else if (!arg.empty() && arg[0] == '-') {
      *error = fmt::sprintf(texts::kUnknownOption, arg);
      return false;
    } else {
      *error = fmt::sprintf(texts::kExtraArguments, "thin", arg);
      return false;
    }
  }
  return true;
}

const char* ReasonText(KeepReason reason) {
  switch (reason) {
    case KeepReason::Day: return texts::kThinWhyDay;
    case KeepReason::Week: return texts::kThinWhyWeek;
    case KeepReason::Month: return texts::kThinWhyMonth;
    case KeepReason::NewestComplete: return texts::kThinWhyNewest;
    case KeepReason::Incomplete: return texts::kThinWhyIncomplete;
    case KeepReason::Future: return texts::kThinWhyFuture;
    case KeepReason::NoRule:
    case KeepReason::Remove: break;
  }
  return "";
}

// The active pairs' destinations, each once.
std::vector<std::string> Destinations(const RunSettings& settings) {
  std::vector<std::string> roots;
  for (const DirPair& pair : NormaliseJobList(settings.savedJobs())) {
    const std::string root = WithoutTrailingSlash(pair.destination);
    if (pair.active && std::find(roots.begin(), roots.end(), root) == roots.end()) roots.push_back(root);
  }
  return roots;
}

struct Counts {
  int removed = 0;
  int kept = 0;
  int failed = 0;
};

// One destination: the plan listed, and carried out unless a dry run.
void ThinDestination(CliContext& ctx, const std::string& root, const ThinOptions& options, Counts& counts) {
  ctx.out << fmt::sprintf(texts::kThinDestination, root) << "\n";
  const std::vector<ThinningEntry> plan = PlanThinning(ListDatedFolders(root), platform::localNow(), options.rule);
  if (plan.empty()) ctx.out << texts::kThinNoFolders << "\n";
  std::vector<DatedFolder> remove;
  for (const ThinningEntry& e : plan) {
    if (e.reason != KeepReason::Remove) {
      ctx.out << fmt::sprintf(texts::kThinKeep, e.folder.name, ReasonText(e.reason)) << "\n";
      ++counts.kept;
    } else if (options.dryRun) {
      ctx.out << fmt::sprintf(texts::kThinWouldRemove, e.folder.name) << "\n";
      ++counts.removed;
    } else {
      remove.push_back(e.folder);
    }
  }
  if (options.dryRun) return;
  const ThinningOutcome outcome = RemoveStates(root, remove);
  for (const std::string& name : outcome.removed) ctx.out << fmt::sprintf(texts::kThinRemoved, name) << "\n";
  if (outcome.finished > 0) ctx.out << fmt::sprintf(texts::kThinFinished, outcome.finished) << "\n";
  for (const ThinningOutcome::Failure& f : outcome.failed)
    ctx.err << fmt::sprintf(texts::kThinFailed, WithTrailingSlash(root) + f.name, SystemErrorText(f.err)) << "\n";
  counts.removed += static_cast<int>(outcome.removed.size());
  counts.failed += static_cast<int>(outcome.failed.size());
}

// Every destination held before anything is removed; "" or why not.
std::string HoldAll(const std::vector<std::string>& roots, platform::RunLock& lock) {
  for (const std::string& root : roots) {
    const platform::RunLock::Result r = lock.add(root);
    if (r == platform::RunLock::Result::Busy) return fmt::sprintf(texts::kThinBusy, root);
    if (r == platform::RunLock::Result::Unavailable) return fmt::sprintf(texts::kThinUnlocked, root);
  }
  return {};
}

}  // namespace

int runThinCommand(CliContext& ctx) {
  ThinOptions options;
  std::string error;
  if (!ParseThinOptions(ctx.args, &options, &error)) {
    ctx.err << error << "\n";
    return EXIT_CANNOT_START;
  }
  const RunSettings settings(ctx.settingsPath);
  const BackupOptions saved = settings.savedOptions();
  if (!options.ruleGiven) options.rule = ThinningRuleOf(saved);
  if (!saved.SubVerzDatum) {
    ctx.out << texts::kThinNotDated << "\n";
    return EXIT_CLEAN;
  }
  if (!options.rule.active()) {
    ctx.err << texts::kThinNoRule << "\n";
    return EXIT_CANNOT_START;
  }
  const std::vector<std::string> roots = Destinations(settings);
  platform::RunLock lock;
  error = options.dryRun ? std::string() : HoldAll(roots, lock);
  if (!error.empty()) {
    ctx.err << error << "\n";
    return EXIT_CANNOT_START;
  }
  Counts counts;
  for (const std::string& root : roots) ThinDestination(ctx, root, options, counts);
  ctx.out << fmt::sprintf(options.dryRun ? texts::kThinSummaryDry : texts::kThinSummary, counts.removed, counts.kept)
          << "\n";
  return counts.failed > 0 ? EXIT_RUN_ERRORS : EXIT_CLEAN;
}

}  // namespace kalvero::cli
