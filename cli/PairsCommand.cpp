// kalvero-cli pairs and set-log: the job list and the run log without a
// window. Every change goes through the settings file's composite save, the
// one the window's editors use; a refused argument leaves the file as it was.
#include <fmt/printf.h>

#include <string>
#include <vector>

#include "app/PairCheck.h"
#include "app/SettingsFile.h"
#include "platform/PathUtil.h"
#include "cli/CliArguments.h"
#include "cli/CliTexts.h"
#include "cli/Commands.h"
#include "platform/FileSystem.h"

namespace kalvero::cli {

namespace {

int refuse(CliContext& ctx, const std::string& why) {
  ctx.err << fmt::sprintf(texts::kPairsUsage, why) << "\n";
  return EXIT_CANNOT_START;
}

const char* yesNo(int flag) { return flag ? texts::kYes : texts::kNo; }

// 1-based pair number; false when it is not one of the list.
bool pairNumber(const std::string& text, std::size_t count, std::size_t* index) {
  if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string::npos) return false;
  const std::size_t n = std::stoul(text);
  if (n < 1 || n > count) return false;
  *index = n - 1;
  return true;
}

int listPairs(CliContext& ctx, const JobList& jobs) {
  if (jobs.empty()) {
    ctx.out << fmt::sprintf(texts::kPairsEmpty, HintCommand(ctx.iniArgument, texts::kHintPairsAdd)) << "\n";
    return EXIT_CLEAN;
  }
  for (std::size_t i = 0; i < jobs.size(); ++i) {
    const DirPair& p = jobs[i];
    ctx.out << fmt::sprintf(texts::kPairsLine, static_cast<int>(i + 1), yesNo(p.active), yesNo(p.withSubdirs)) << "\n"
            << fmt::sprintf(texts::kPairsSource, p.source) << "\n"
            << fmt::sprintf(texts::kPairsDestination, p.destination) << "\n";
    for (const ExcludedDir& e : p.excluded)
      ctx.out << fmt::sprintf(e.withSubdirs ? texts::kPairsExcludedTree : texts::kPairsExcludedDir, e.directory)
              << "\n";
  }
  return EXIT_CLEAN;
}

bool save(CliContext& ctx, SettingsFile& settings, const BackupOptions& options, const JobList& jobs) {
  std::string error;
  if (settings.saveBackupSettings(options, jobs, &error)) return true;
  ctx.err << error << "\n";
  return false;
}

}  // namespace

int runPairsCommand(CliContext& ctx) {
  SettingsFile settings(ctx.settingsPath);
  const BackupOptions options = settings.loadBackupOptions();
  std::vector<std::string> warnings;
  JobList jobs = settings.loadJobList(&warnings);
  for (const auto& w : warnings) ctx.err << fmt::sprintf(texts::kWarning, w) << "\n";
  const std::vector<std::string>& a = ctx.args;
  const std::string verb = a.empty() ? "list" : a[0];

  if (verb == "list") {
    if (a.size() > 1) return refuse(ctx, fmt::sprintf(texts::kPairsUnexpectedArgument, a[1]));
    return listPairs(ctx, jobs);
  }

  if (verb == "add") {
    DirPair pair;
    std::vector<std::string> paths;
    for (std::size_t i = 1; i < a.size(); ++i) {
      if (a[i] == "--inactive") {
        pair.active = 0;
      } else if (a[i] == "--no-subdirs") {
        pair.withSubdirs = 0;
      } else if (a[i] == "--exclude" || a[i] == "--exclude-tree") {
        if (i + 1 >= a.size() || a[i + 1].empty()) return refuse(ctx, fmt::sprintf(texts::kPairsNeedsDirectory, a[i]));
        pair.excluded.push_back(ExcludedDir{a[i] == "--exclude-tree" ? 1 : 0, platform::absolutePath(a[i + 1])});
        ++i;
      } else if (!a[i].empty() && a[i][0] == '-') {
        return refuse(ctx, fmt::sprintf(texts::kPairsUnknownOption, a[i]));
      } else {
        paths.push_back(a[i]);
      }
    }
    if (paths.size() != 2 || paths[0].empty() || paths[1].empty()) return refuse(ctx, texts::kPairsNeedsTwoPaths);
    // Absolute as a shell user means them; the runs normalise the same way.
    pair.source = platform::absolutePath(paths[0]);
    pair.destination = platform::absolutePath(paths[1]);
    if (const std::string why = CheckPairInput(pair); !why.empty()) {
      ctx.err << fmt::sprintf(texts::kPairsRefused, why) << "\n";
      return EXIT_CANNOT_START;
    }
    for (std::size_t i = 0; i < jobs.size(); ++i)
      if (jobs[i].source == pair.source && jobs[i].destination == pair.destination)
        return refuse(ctx,
                      fmt::sprintf(texts::kPairsDuplicate, pair.source, pair.destination, static_cast<int>(i + 1)));
    jobs.push_back(pair);
    if (!save(ctx, settings, options, jobs)) return EXIT_CANNOT_START;
    ctx.out << fmt::sprintf(texts::kPairAdded, static_cast<int>(jobs.size()), pair.source, pair.destination) << "\n";
    if (pair.active)
      ctx.out << fmt::sprintf(texts::kPairAddedNext, HintCommand(ctx.iniArgument, "backup"), options.Protokolldatei)
              << "\n";
    return EXIT_CLEAN;
  }

  if (verb == "dated") {
    // "SubVerzDatum" and "DatumVollstaendig" of "Allg", for every pair.
    if (a.size() != 2 || (a[1] != "off" && a[1] != "on" && a[1] != "complete"))
      return refuse(ctx, texts::kDatedNeedsMode);
    BackupOptions changed = options;
    changed.SubVerzDatum = a[1] != "off";
    changed.DatumVollstaendig = a[1] == "complete";
    if (!save(ctx, settings, changed, jobs)) return EXIT_CANNOT_START;
    ctx.out << (a[1] == "off" ? texts::kDatedOff : a[1] == "on" ? texts::kDatedOn : texts::kDatedComplete) << "\n";
    return EXIT_CLEAN;
  }

  if (verb == "remove" || verb == "set") {
    const std::size_t wanted = verb == "remove" ? 2 : 3;
    if (a.size() < 2) return refuse(ctx, fmt::sprintf(texts::kPairsBadNumber, "", static_cast<int>(jobs.size())));
    std::size_t index = 0;
    if (!pairNumber(a[1], jobs.size(), &index))
      return refuse(ctx, fmt::sprintf(texts::kPairsBadNumber, a[1], static_cast<int>(jobs.size())));
    if (verb == "set" && (a.size() < 3 || (a[2] != "--active" && a[2] != "--inactive")))
      return refuse(ctx, texts::kPairsNeedsFlag);
    if (a.size() > wanted) return refuse(ctx, fmt::sprintf(texts::kPairsUnexpectedArgument, a[wanted]));
    const DirPair pair = jobs[index];
    if (verb == "remove") {
      jobs.erase(jobs.begin() + static_cast<std::ptrdiff_t>(index));
    } else {
      jobs[index].active = a[2] == "--active" ? 1 : 0;
    }
    if (!save(ctx, settings, options, jobs)) return EXIT_CANNOT_START;
    if (verb == "remove")
      ctx.out << fmt::sprintf(texts::kPairRemoved, static_cast<int>(index + 1), pair.source, pair.destination) << "\n";
    else
      ctx.out << fmt::sprintf(texts::kPairSet, static_cast<int>(index + 1),
                              jobs[index].active ? texts::kActiveWord : texts::kInactiveWord)
              << "\n";
    return EXIT_CLEAN;
  }
  return refuse(ctx, fmt::sprintf(texts::kPairsUnknownAction, verb));
}

int runSetLogCommand(CliContext& ctx) {
  if (ctx.args.size() != 1 || ctx.args[0].empty()) {
    ctx.err << texts::kSetLogUsage << "\n";
    return EXIT_CANNOT_START;
  }
  const std::string& name = ctx.args[0];
  if (name.find_first_of("\r\n") != std::string::npos || name.back() == '/' || GetPathKind(name) == PathKind::Directory) {
    ctx.err << fmt::sprintf(texts::kSetLogBad, name) << "\n";
    return EXIT_CANNOT_START;
  }
  SettingsFile settings(ctx.settingsPath);
  BackupOptions options = settings.loadBackupOptions();
  std::vector<std::string> warnings;
  const JobList jobs = settings.loadJobList(&warnings);
  for (const auto& w : warnings) ctx.err << fmt::sprintf(texts::kWarning, w) << "\n";
  options.Protokolldatei = platform::absolutePath(name);
  if (!save(ctx, settings, options, jobs)) return EXIT_CANNOT_START;
  ctx.out << fmt::sprintf(texts::kSetLogDone, options.Protokolldatei) << "\n";
  const std::string dir = ParentDirectory(options.Protokolldatei);
  if (GetPathKind(dir) != PathKind::Directory) ctx.err << fmt::sprintf(texts::kSetLogDirMissing, dir) << "\n";
  return EXIT_CLEAN;
}

}  // namespace kalvero::cli
