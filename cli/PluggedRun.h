#pragma once
// kalvero-cli backup --plugged UUID: the run the drive's service starts when
// the desktop has mounted it.
#include <string>

#include "backup/BackupStart.h"
#include "cli/CliContext.h"

namespace kalvero::cli {

// Takes "--plugged UUID" out of ctx.args into *uuid; false with *error when the UUID is missing.
bool TakePluggedOption(CliContext& ctx, std::string* uuid, std::string* error);
// True when the run goes on (input then runs the pairs on the drive only);
// false after saying why nothing is to do: another drive is mounted there,
// or the drive was backed up today already.
bool PluggedRunWanted(CliContext& ctx, const std::string& uuid, BackupStartInput& input);
// After the run: a complete run is the day's one; the drive's file system is
// flushed and the notification says it may be removed (or that it was
// unmounted, when the setting "Aushaengen" asks for it).
void FinishPluggedRun(CliContext& ctx, const std::string& uuid, const RunTotals& totals, RunNotification* n);

}  // namespace kalvero::cli
