#pragma once
// The commands of kalvero-cli; each returns the process's exit status.
#include "cli/CliContext.h"

namespace kalvero::cli {

int runCheckCommand(CliContext& ctx);    // "Prüfen ...": directories of the active pairs
int runListCommand(CliContext& ctx);     // dry run: what the next backup would copy where
int runBackupCommand(CliContext& ctx);
int runRestoreCommand(CliContext& ctx);
int runPairsCommand(CliContext& ctx);    // the job list without a window
int runSetLogCommand(CliContext& ctx);   // "Allg" "Protokolldatei"
int runScheduleCommand(CliContext& ctx); // the systemd user timer
int runVerifyCommand(CliContext& ctx);   // the backups against their checksum lists
int runVersionsCommand(CliContext& ctx); // the dated copies of one file, one put back beside it
int runRemindCommand(CliContext& ctx);   // the pairs whose last backup is overdue
int runThinCommand(CliContext& ctx);     // the dated folders thinned out

}  // namespace kalvero::cli
