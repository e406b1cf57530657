#pragma once
// What a kalvero-cli command works with: the settings file, the arguments
// after the command's name, the application object and the two streams.
#include <ostream>
#include <string>
#include <vector>

namespace kalvero {
class Application;
}

namespace kalvero::cli {

// Exit status of kalvero-cli.
enum ExitCode : int { EXIT_CLEAN = 0, EXIT_RUN_ERRORS = 1, EXIT_CANNOT_START = 2, EXIT_CANCELLED = 3 };

struct CliContext {
  std::string settingsPath;        // full path of the settings file in use
  std::vector<std::string> args;   // arguments after the command's name
  Application& app;
  std::ostream& out;
  std::ostream& err;
  std::string iniArgument = {};    // "--ini FILE" as given, for the hints; "" without
};

}  // namespace kalvero::cli
