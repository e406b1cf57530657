#include <fmt/printf.h>

#include "app/SettingsFile.h"
#include "backup/DirectoryCheck.h"
#include "platform/PathUtil.h"
#include "cli/CliTexts.h"
#include "cli/Commands.h"

namespace kalvero::cli {

int runCheckCommand(CliContext& ctx) {
  if (!ctx.args.empty()) {
    ctx.err << fmt::sprintf(texts::kExtraArguments, "check", ctx.args.front()) << "\n";
    return EXIT_CANNOT_START;
  }
  std::vector<std::string> warnings;
  JobList jobs = SettingsFile(ctx.settingsPath).loadJobList(&warnings);
  for (const auto& w : warnings) ctx.err << fmt::sprintf(texts::kWarning, w) << "\n";
  DirectoryCheckResult r = CheckDirectories(jobs);
  ctx.out << r.text;
  ctx.out.flush();
  return r.anythingMissing ? EXIT_RUN_ERRORS : EXIT_CLEAN;
}

}  // namespace kalvero::cli
