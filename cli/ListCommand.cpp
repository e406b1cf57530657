// kalvero-cli list: what the next backup would copy where, in the order the
// backup takes the files. Reads the settings and the check file, writes
// nothing.
#include <fmt/printf.h>

#include <string>
#include <vector>

#include "app/SettingsFile.h"
#include "backup/CheckFile.h"
#include "backup/DateLabel.h"
#include "run/Filters.h"
#include "run/Walk.h"
#include "cli/CliTexts.h"
#include "cli/Commands.h"
#include "platform/FileTime.h"

namespace kalvero::cli {

namespace {

// Output goes out in large blocks: a walk of many small files is otherwise
// dominated by the stream calls.
class ListWriter {
 public:
  ListWriter(std::ostream& out, bool nullTerminated) : out_(out), null_(nullTerminated) { buffer_.reserve(kBlock + 8192); }

  void line(const std::string& source, const std::string& destination) {
    if (null_) {
      buffer_.append(source).push_back('\0');
      buffer_.append(destination).push_back('\0');
    } else {
      appendEscaped(source);
      buffer_.push_back('\t');
      appendEscaped(destination);
      buffer_.push_back('\n');
    }
    if (buffer_.size() >= kBlock) flush();
  }

  bool flush() {
    if (!buffer_.empty()) out_.write(buffer_.data(), static_cast<std::streamsize>(buffer_.size()));
    buffer_.clear();
    return static_cast<bool>(out_);
  }

 private:
  static constexpr std::size_t kBlock = 1 << 16;

  // Backslash, tab and line feed would break the two-column format.
  void appendEscaped(const std::string& text) {
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
      const char c = text[i];
      if (c != '\\' && c != '\t' && c != '\n') continue;
      buffer_.append(text, start, i - start);
      buffer_.push_back('\\');
      buffer_.push_back(c == '\\' ? '\\' : c == '\t' ? 't' : 'n');
      start = i + 1;
    }
    buffer_.append(text, start, std::string::npos);
  }

  std::ostream& out_;
  bool null_;
  std::string buffer_;
};

}  // namespace

int runListCommand(CliContext& ctx) {
  bool nullTerminated = false;
  for (const std::string& arg : ctx.args) {
    if (arg == "--null" || arg == "-0") {
      nullTerminated = true;
    } else {
      ctx.err << fmt::sprintf(texts::kUnknownOption, arg) << "\n";
      return EXIT_CANNOT_START;
    }
  }

  // The same settings a backup started now would use.
  SettingsFile settings(ctx.settingsPath);
  BackupOptions options = settings.loadBackupOptions();
  std::vector<std::string> warnings;
  const JobList jobs = NormaliseJobList(settings.loadJobList(&warnings));
  for (const auto& w : warnings) ctx.err << fmt::sprintf(texts::kWarning, w) << "\n";
  const DateFilter filter = settings.loadDateFilter(DateTime::now());
  if (!BuildDateLabel(filter).enabled) options.Datum = 0;

  CheckFile checkFile;
  const bool withCheckFile = options.MitPrueffile != 0;
  if (withCheckFile) checkFile.Load(options.Prueffile);  // missing or unreadable: nothing is skipped

  std::vector<std::string> allowed, excluded;
  if (options.MusterFlagErlaubt && !options.MusterErlaubt.empty()) BuildPatternList(options.MusterErlaubt, allowed);
  if (options.MusterFlagNichtErlaubt && !options.MusterNichtErlaubt.empty())
    BuildPatternList(options.MusterNichtErlaubt, excluded);
  const DateBounds bounds = MakeDateBounds(filter, options.Datum);

  ListWriter writer(ctx.out, nullTerminated);
  for (const DirPair& pair : jobs) {
    if (!pair.active) continue;
    const ExclusionLists exclusions = SplitExclusions(pair);
    const std::string destinationRoot = PairDestinationRoot(pair, options, platform::localNow());

    WalkOptions walk;
    walk.withSubdirs = pair.withSubdirs;
    walk.archiveOnly = options.Archivbit;
    walk.allowedPatterns = allowed.empty() ? nullptr : &allowed;
    walk.excludedPatterns = excluded.empty() ? nullptr : &excluded;
    walk.from = bounds.from;
    walk.to = bounds.to;
    walk.excludedDirectories = exclusions.directories.empty() ? nullptr : &exclusions.directories;
    walk.excludedTrees = exclusions.trees.empty() ? nullptr : &exclusions.trees;
    // Links are backed up as links, so they are listed; directories and
    // special files are not copies of their own.
    walk.allKinds = true;
    // Files are printed as the walk finds them: the run's check-file pass
    // looks at one file at a time in the same order, so the result is the
    // same without holding the whole list.
    walk.onFile = [&](const FoundFile& f) {
      if (f.kind == EntryKind::Directory || f.kind == EntryKind::Special) return;
      const std::string destination = DestinationPathOf(f.path, pair.source, destinationRoot);
      if (withCheckFile &&
          checkFile.CheckAndRecord(destination, static_cast<std::int64_t>(f.size),
                                   static_cast<std::uint32_t>(f.lastWrite & 0xFFFFFFFFu),
                                   static_cast<std::uint32_t>(f.lastWrite >> 32)))
        return;
      writer.line(f.path, destination);
    };
    WalkDirectory(pair.source, walk);
  }
  if (!writer.flush() || !ctx.out.flush()) {
    ctx.err << texts::kListWriteFailed << "\n";
    return EXIT_RUN_ERRORS;
  }
  return EXIT_CLEAN;
}

}  // namespace kalvero::cli
