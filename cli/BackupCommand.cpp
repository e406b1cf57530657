#include "cli/Commands.h"

namespace kalvero::cli {

int runBackupCommand(CliContext& ctx) {
  ctx.err << "kalvero-cli: backup: noch nicht verfügbar\n";
  return EXIT_CANNOT_START;
}

}  // namespace kalvero::cli
