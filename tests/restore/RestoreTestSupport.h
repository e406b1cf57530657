#pragma once
// Helpers of the restore tests: a reporter that records, archives built by
// python3 zipfile, and a run with the usual settings.
#include <atomic>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "app/Records.h"
#include "run/RunProgress.h"
#include "restore/RestoreRun.h"

namespace kalvero::test {

class RecordingReporter : public RunReporter {
 public:
  void progress(int code, const ProgressInfo& info) override {
    codes.push_back(code);
    last = info;
    if (onProgress) onProgress(code, info);
  }
  void clearLog() override { ++clears; }
  void logLine(const std::string& text) override { lines.push_back(text); }

  std::vector<int> codes;
  ProgressInfo last;
  std::vector<std::string> lines;
  int clears = 0;
  std::function<void(int, const ProgressInfo&)> onProgress;
};

struct ZipMember {
  std::string name;
  std::string data;
  bool directory = false;
};

struct ZipSpec {
  std::string archive;
  std::vector<ZipMember> members;
  std::string comment;
};

// Writes archives with python3's zipfile (deflated members, parent
// directories created), all in one python3 process; false when it failed.
bool MakeZipsWithPython(const std::vector<ZipSpec>& archives);
inline bool MakeZipWithPython(const std::string& archive, const std::vector<ZipMember>& members,
                              const std::string& comment) {
  return MakeZipsWithPython({{archive, members, comment}});
}

struct RestoreOutcome {
  int errors = 0;
  bool cancelled = false;
  RestoreTotals totals;
};

// Runs a restore of source into destination with the run log logFile.
RestoreOutcome RunRestore(const RestoreOptions& options, RecordingReporter* reporter = nullptr,
                          std::atomic<int>* cancel = nullptr);

RestoreOptions OptionsFor(const std::string& source, const std::string& destination, const std::string& log);

// Every regular file below root as (relative path, contents), sorted.
std::vector<std::pair<std::string, std::string>> TreeContents(const std::string& root);

// What DescribeTree compares besides names, kinds, link targets and contents.
struct TreeAspects {
  bool owners = false;           // owner and group
  bool xattrs = true;            // user xattrs (not the program's archive marker)
  bool sparse = true;            // whether a big file is mostly holes
  bool evenFileSeconds = false;  // file times in even seconds only (archives keep no more)
};
// One line per entry below root (sorted), kind, mode, the aspects asked for,
// directory times in nanoseconds, file times as asked; FIFOs and other
// special files as "<name> special".
std::vector<std::string> DescribeTree(const std::string& root, const TreeAspects& aspects);

}  // namespace kalvero::test
