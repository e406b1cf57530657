#pragma once
// Helpers of the restore tests: archives built by python3 zipfile and a run
// with the usual settings.
#include <atomic>
#include <string>
#include <vector>

#include "app/Records.h"
#include "restore/RestoreRun.h"
#include "run/RunProgress.h"

namespace kalvero::test {

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
RestoreOutcome RunRestore(const RestoreOptions& options, RunReporter* reporter = nullptr,
                          std::atomic<int>* cancel = nullptr);

RestoreOptions OptionsFor(const std::string& source, const std::string& destination, const std::string& log);

}  // namespace kalvero::test
