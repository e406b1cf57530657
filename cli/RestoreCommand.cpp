#include "cli/Commands.h"

namespace kalvero::cli {

int runRestoreCommand(CliContext& ctx) {
  ctx.err << "kalvero-cli: restore: noch nicht verfügbar\n";
  return EXIT_CANNOT_START;
}

}  // namespace kalvero::cli
