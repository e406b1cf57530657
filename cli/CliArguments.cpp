#include "cli/CliArguments.h"

#include <fmt/printf.h>
#include <strings.h>

#include "cli/CliTexts.h"

namespace kalvero::cli {

CliArguments ParseCliArguments(const std::vector<std::string>& args) {
  CliArguments a;
  auto usage = [&](std::string text) {
    a.action = CliArguments::Action::UsageError;
    a.error = std::move(text);
    return a;
  };
  std::size_t i = 0;
  for (; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--help" || arg == "-h") {
      a.action = CliArguments::Action::Help;
      return a;
    }
    if (arg == "--version") {
      a.action = CliArguments::Action::Version;
      return a;
    }
    if (arg == "--ini") {
      if (i + 1 >= args.size() || args[i + 1].empty()) return usage(texts::kMissingIniName);
      a.iniName = args[++i];
      a.iniIsPath = true;
    } else if (arg.rfind("--ini=", 0) == 0) {
      if (arg.size() == 6) return usage(texts::kMissingIniName);
      a.iniName = arg.substr(6);
      a.iniIsPath = true;
    } else if (arg.size() > 5 && arg[0] == '/' && strncasecmp(arg.c_str() + 1, "Ini=", 4) == 0) {
      a.iniName = arg.substr(5);
      a.iniIsPath = false;
    } else if (!arg.empty() && arg[0] == '-') {
      return usage(fmt::sprintf(texts::kUnknownOption, arg));
    } else {
      break;
    }
  }
  if (i >= args.size()) return usage(texts::kNoCommand);
  a.command = args[i];
  a.rest.assign(args.begin() + static_cast<std::ptrdiff_t>(i) + 1, args.end());
  return a;
}

namespace {

// A word the shell takes as it is, else in single quotes.
std::string shellWord(const std::string& word) {
  const bool plain = !word.empty() && word.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"
                                                             "0123456789_./~+-=:,@%") == std::string::npos;
  if (plain) return word;
  std::string quoted = "'";
  for (const char c : word) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

}  // namespace

std::string IniArgumentText(const CliArguments& a) {
  if (a.iniName.empty()) return {};
  return a.iniIsPath ? "--ini " + shellWord(a.iniName) : shellWord("/Ini=" + a.iniName);
}

std::string HintCommand(const std::string& iniArgument, const std::string& command) {
  return "kalvero-cli " + (iniArgument.empty() ? std::string() : iniArgument + " ") + command;
}

}  // namespace kalvero::cli
