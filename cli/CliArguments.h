#pragma once
// The command line of kalvero-cli: [--ini FILE | --ini=FILE | /Ini=FILE] COMMAND [ARGS...].
#include <string>
#include <vector>

namespace kalvero::cli {

struct CliArguments {
  enum class Action { Run, Help, Version, UsageError };
  Action action = Action::Run;
  std::string iniName;   // as given; "" = the default settings file
  bool iniIsPath = false;  // "--ini": a plain path; "/Ini=": the program's rule for bare names
  std::string command;
  std::vector<std::string> rest;
  std::string error;     // one line for a usage error
};

CliArguments ParseCliArguments(const std::vector<std::string>& args);

// The settings file as the command line named it ("--ini FILE" or
// "/Ini=FILE", quoted for the shell where needed); "" without.
std::string IniArgumentText(const CliArguments& arguments);
// A command line a hint shows: "kalvero-cli", the settings file as given, the command.
std::string HintCommand(const std::string& iniArgument, const std::string& command);

}  // namespace kalvero::cli
