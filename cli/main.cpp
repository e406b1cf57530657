// kalvero-cli: the engine without a window, for servers, cron and scripts.
#include <fmt/printf.h>

#include <clocale>
#include <iostream>
#include <string>
#include <vector>

#include "app/Application.h"
#include "app/SettingsFile.h"
#include "cli/CliArguments.h"
#include "cli/CliTexts.h"
#include "cli/Commands.h"
#include "diag/Trace.h"
#include "platform/FileSystem.h"

using namespace kalvero;
using namespace kalvero::cli;

int main(int argc, char** argv) {
  std::setlocale(LC_ALL, "");  // system error texts in the user's language
  std::vector<std::string> args(argv + 1, argv + argc);
  CliArguments a = ParseCliArguments(args);
  switch (a.action) {
    case CliArguments::Action::Help:
      std::cout << texts::kUsage;
      return EXIT_CLEAN;
    case CliArguments::Action::Version:
      std::cout << "kalvero-cli " << Application::versionText() << "\n";
      return EXIT_CLEAN;
    case CliArguments::Action::UsageError:
      std::cerr << a.error << "\n";
      return EXIT_CANNOT_START;
    case CliArguments::Action::Run: break;
  }

  using Command = int (*)(CliContext&);
  Command command = nullptr;
  if (a.command == "check")
    command = runCheckCommand;
  else if (a.command == "list")
    command = runListCommand;
  else if (a.command == "backup")
    command = runBackupCommand;
  else if (a.command == "restore")
    command = runRestoreCommand;
  if (!command) {
    std::cerr << fmt::sprintf(texts::kUnknownCommand, a.command) << "\n";
    return EXIT_CANNOT_START;
  }

  // "--ini" names a file as a shell user means it (relative to the current
  // directory); "/Ini=" follows the program's own rule for bare names.
  std::vector<std::string> appArgs;
  if (!a.iniName.empty())
    appArgs.push_back("/Ini=" + (a.iniIsPath ? platform::absolutePath(a.iniName) : a.iniName));
  // Only a run writes list files; list and check leave the temporary directory alone.
  const bool writesLists = a.command == "backup" || a.command == "restore";
  Application app(appArgs, writesLists ? Application::ListFiles::Create : Application::ListFiles::None);
  TraceInit(app.debugLevel(), "", "");  // "Debug" of the settings file
  SettingsFile settings(app.settingsPath());
  std::string error;
  if (!settings.readable(&error)) {
    std::cerr << "kalvero-cli: " << error << "\n";
    return EXIT_CANNOT_START;
  }
  CliContext ctx{app.settingsPath(), a.rest, app, std::cout, std::cerr};
  return command(ctx);
}
