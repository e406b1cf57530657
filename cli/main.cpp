// kalvero-cli: the engine without a window, for servers, cron and scripts.
#include <fmt/printf.h>

#include <algorithm>
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

namespace {

struct CommandEntry {
  const char* name;
  int (*run)(CliContext&);
  const char* help;
  bool needsJobs;  // refused with a first-start message when there is nothing to work on
};

constexpr CommandEntry kCommands[] = {
    {"check", runCheckCommand, texts::kHelpCheck, true},
    {"list", runListCommand, texts::kHelpList, true},
    {"backup", runBackupCommand, texts::kHelpBackup, true},
    {"restore", runRestoreCommand, texts::kHelpRestore, false},  // QUELLE ZIEL need no settings file
    {"pairs", runPairsCommand, texts::kHelpPairs, false},
    {"set-log", runSetLogCommand, texts::kHelpSetLog, false},
    {"schedule", runScheduleCommand, texts::kHelpSchedule, false},
    {"verify", runVerifyCommand, texts::kHelpVerify, true},  // verify ORDNER needs no settings file
    {"versions", runVersionsCommand, texts::kHelpVersions, true},
    {"remind", runRemindCommand, texts::kHelpRemind, false},
    {"thin", runThinCommand, texts::kHelpThin, true},
};

// "" when the command has something to work on, else the first-start message.
std::string firstStartText(const SettingsFile& settings, const std::string& ini) {
  if (!settings.exists())
    return fmt::sprintf(texts::kNoSettingsFile, settings.path(), HintCommand(ini, texts::kHintPairsAdd));
  const JobList jobs = settings.loadJobList();
  if (std::none_of(jobs.begin(), jobs.end(), [](const DirPair& p) { return p.active != 0; }))
    return fmt::sprintf(texts::kNoActivePair, settings.path(), HintCommand(ini, texts::kHintPairsAdd),
                        HintCommand(ini, "pairs set N --active"));
  return {};
}

}  // namespace

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

  const CommandEntry* command = nullptr;
  for (const CommandEntry& c : kCommands)
    if (a.command == c.name) command = &c;
  if (!command) {
    std::cerr << fmt::sprintf(texts::kUnknownCommand, a.command) << "\n";
    return EXIT_CANNOT_START;
  }
  if (std::any_of(a.rest.begin(), a.rest.end(), [](const std::string& s) { return s == "--help" || s == "-h"; })) {
    std::cout << command->help;
    return EXIT_CLEAN;
  }

  // "--ini" names a file as a shell user means it (relative to the current
  // directory); "/Ini=" follows the program's own rule for bare names.
  std::vector<std::string> appArgs;
  if (!a.iniName.empty())
    appArgs.push_back("/Ini=" + (a.iniIsPath ? platform::absolutePath(a.iniName) : a.iniName));
  // Only a run writes list files; the other commands leave the temporary directory alone.
  const bool writesLists = a.command == "backup" || a.command == "restore";
  Application app(appArgs, writesLists ? Application::ListFiles::Create : Application::ListFiles::None);
  TraceInit(app.debugLevel(), "", "");  // "Debug" of the settings file
  SettingsFile settings(app.settingsPath());
  std::string error;
  if (!settings.readable(&error)) {
    std::cerr << "kalvero-cli: " << error << "\n";
    return EXIT_CANNOT_START;
  }
  const bool folderGiven = a.command == "verify" &&
                           std::any_of(a.rest.begin(), a.rest.end(), [](const std::string& s) { return !s.empty() && s[0] != '-'; });
  if (command->needsJobs && !folderGiven) {
    const std::string text = firstStartText(settings, IniArgumentText(a));
    if (!text.empty()) {
      std::cerr << text << "\n";
      return EXIT_CANNOT_START;
    }
  }
  CliContext ctx{app.settingsPath(), a.rest, app, std::cout, std::cerr, IniArgumentText(a)};
  return command->run(ctx);
}
