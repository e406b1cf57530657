// kalvero-cli versions: the states of one file in the dated folders of its
// pair, and one of them put back beside the file.
#include <fmt/printf.h>

#include "app/SettingsFile.h"
#include "cli/CliTexts.h"
#include "cli/Commands.h"
#include "restore/Versions.h"

namespace kalvero::cli {

namespace {

struct VersionsArguments {
  std::string file;
  std::string date;      // --restore DATUM
  bool restore = false;
};

// false with the message in error for anything it does not know.
bool parseArguments(const std::vector<std::string>& args, VersionsArguments& a, std::string& error) {
  std::size_t files = 0;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--restore" || arg.rfind("--restore=", 0) == 0) {
      a.restore = true;
      a.date = arg == "--restore" ? (i + 1 < args.size() ? args[++i] : std::string()) : arg.substr(10);
      if (a.date.empty()) error = fmt::sprintf(texts::kVersionsUsage, texts::kVersionsNeedsDate);
    } else if (!arg.empty() && arg[0] == '-') {
      error = fmt::sprintf(texts::kUnknownOption, arg);
    } else if (++files == 1) {
      a.file = arg;
    } else {
      error = fmt::sprintf(texts::kExtraArguments, "versions", arg);
    }
    if (!error.empty()) return false;
  }
  if (a.file.empty()) error = fmt::sprintf(texts::kVersionsUsage, texts::kVersionsNeedsFile);
  return error.empty();
}

void printVersions(std::ostream& out, const VersionList& list) {
  out << fmt::sprintf(texts::kVersionsHeader, list.path, list.pairDestination) << '\n';
  for (const FileVersion& v : list.versions) {
    out << fmt::sprintf(texts::kVersionsLine, VersionRangeText(v), fmt::format("{}", v.size),
                        VersionTimeText(v.lastWrite), v.complete ? "" : texts::kVersionsIncomplete);
    if (v.folder) out << texts::kVersionsFolder;
    out << '\n';
  }
  out.flush();
}

std::string rangesText(const VersionList& list) {
  std::string text;
  for (const FileVersion& v : list.versions) text += (text.empty() ? "" : ", ") + VersionRangeText(v);
  return text;
}

}  // namespace

int runVersionsCommand(CliContext& ctx) {
  VersionsArguments args;
  std::string error;
  if (!parseArguments(ctx.args, args, error)) {
    ctx.err << error << '\n';
    return EXIT_CANNOT_START;
  }
  DayDate date;
  if (args.restore && !ParseVersionDate(args.date, &date)) {
    ctx.err << fmt::sprintf(texts::kVersionsUsage, fmt::sprintf(texts::kVersionsBadDate, args.date)) << '\n';
    return EXIT_CANNOT_START;
  }
  std::string why;
  const VersionList list = FindVersions(SettingsFile(ctx.settingsPath).loadJobList(), args.file, &why);
  if (list.versions.empty()) {
    ctx.err << fmt::sprintf(texts::kVersionsFailed, why) << '\n';
    return EXIT_CANNOT_START;
  }
  if (!args.restore) {
    printVersions(ctx.out, list);
    return EXIT_CLEAN;
  }
  const FileVersion* version = VersionOfDate(list, date);
  if (!version) {
    ctx.err << fmt::sprintf(texts::kVersionsNoDate, list.path, DayText(date), rangesText(list)) << '\n';
    return EXIT_CANNOT_START;
  }
  std::string where;
  if (!RestoreVersionBeside(list, *version, &where, &error)) {
    ctx.err << fmt::sprintf(texts::kVersionsFailed, error) << '\n';
    return EXIT_RUN_ERRORS;
  }
  ctx.out << fmt::sprintf(texts::kVersionsRestored, VersionRangeText(*version), where) << '\n';
  return EXIT_CLEAN;
}

}  // namespace kalvero::cli
