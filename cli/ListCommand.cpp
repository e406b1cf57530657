// kalvero-cli list: what the next backup would copy where, in the order the
// backup takes the files. Reads the settings and the check file, writes
// nothing.
#include <fmt/printf.h>

#include <string>
#include <vector>

#include "backup/BackupStart.h"
#include "backup/CheckFile.h"
#include "backup/MountGuard.h"
#include "backup/PairSelection.h"
#include "run/RunSettings.h"
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

  // The same settings a backup started now would use, and the same
  // selection: "Allg" is read again before every pair, as the run does.
  std::vector<std::string> warnings;
  BackupStartInput input = LoadBackupInput(ctx.settingsPath, &warnings);
  for (const auto& w : warnings) ctx.err << fmt::sprintf(texts::kWarning, w) << "\n";
  const DateFilter& filter = input.dateFilter;
  const JobList jobs = NormaliseJobList(input.jobs);

  // Whether the check file is used and which files stay uncompressed is
  // decided at the start, as in the run.
  RunSettings settings(ctx.settingsPath, input.options);
  const RunStart& start = settings.startSnapshot();
  CheckFile checkFile;
  if (start.withCheckFile) checkFile.Load(start.checkFilePath);  // missing or unreadable: nothing is skipped

  ListWriter writer(ctx.out, nullTerminated);
  for (const DirPair& pair : jobs) {
    if (!pair.active) continue;
    const BackupOptions options = settings.pairSnapshot();
    PairPlan plan = PlanPair(pair, options, filter, start.withCheckFile ? &checkFile : nullptr, &start.noCompress);
    // Files and links are copies of their own; directories and special files are not.
    // They are printed as they are found, without holding the pair's list.
    plan.selection.onEntry = [&](const FoundFile& f) {
      if (f.kind == EntryKind::Directory || f.kind == EntryKind::Special || f.skip) return;
      writer.line(f.path, DestinationPathOf(f.path, pair.source, plan.destinationRoot));
    };
    const PairSelectionResult selected = SelectPair(plan.selection);
    if (selected.unmounted)
      ctx.err << fmt::sprintf(texts::kWarning, UnmountedDriveLine(plan.selection.destinationRoot)) << "\n";
  }
  if (!writer.flush() || !ctx.out.flush()) {
    ctx.err << texts::kListWriteFailed << "\n";
    return EXIT_RUN_ERRORS;
  }
  return EXIT_CLEAN;
}

}  // namespace kalvero::cli
