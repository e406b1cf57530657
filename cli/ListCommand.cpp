#include "cli/Commands.h"

namespace kalvero::cli {

int runListCommand(CliContext& ctx) {
  ctx.err << "kalvero-cli: list: noch nicht verfügbar\n";
  return EXIT_CANNOT_START;
}

}  // namespace kalvero::cli
