#pragma once
// Inside the restore run: what outlives one run (progress, totals, the run
// log, the archive object) and the steps of one run with what they share.
#include <atomic>
#include <chrono>
#include <cstddef>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

#include "platform/FileError.h"
#include "platform/Files.h"
#include "platform/Leftovers.h"
#include "platform/RunLock.h"
#include "restore/RestoreJob.h"
#include "restore/RestoreLog.h"
#include "restore/RestorePlan.h"
#include "restore/RestoreRun.h"
#include "restore/UnpackAhead.h"
#include "run/RunReport.h"
#include "zip/ZipArchiveLayer.h"

namespace kalvero {

struct RestoreRun::State {
  RestoreRunSetup setup;
  ProgressInfo progress;
  RestoreTotals totals;
  std::atomic<int> errors{0};
  std::atomic<bool> cancelled{false};
  platform::TextFileWriter log;
  ZipArchiveLayer zip;  // this run's own archive object
  platform::RunLock lock;               // the destination, held for the whole run
  platform::LeftoverSweep leftovers;    // what a killed run left where this one writes

  bool cancelRequested() const { return setup.cancel && setup.cancel->load() != 0; }
  void notify(int code) {
    if (setup.reporter) setup.reporter->progress(code, progress);
  }
  void countError() {
    ++progress.pairErrors;
    ++progress.runErrors;
    errors.store(progress.pairErrors);
  }
  // One line to the log page and the run log: a note, or an error that counts.
  void note(const std::string& line) {
    ReportToLogPage(setup.reporter, line);
    if (log.isOpen()) WriteLogLine(log, line);
  }
  void fail(const std::string& line) {
    note(line);
    countError();
  }
  // Lines to the run log; the first write failure closes the log for the rest.
  void writeLog(const std::vector<std::string>& lines) {
    if (!log.isOpen()) return;
    try {
      for (const auto& line : lines) WriteLogLine(log, line);
    } catch (const platform::FileError&) {
      log.close();
    }
  }
};

// One run, step by step: the plan, then each item of it in the walk's order,
// then what waits for all files (older copies in place of failed newer ones,
// links, directory attributes), then the summary.
class RestoreRun::Pass {
 public:
  Pass(State& state, RestoreOptions options);
  Pass(const Pass&) = delete;
  Pass& operator=(const Pass&) = delete;

  bool holdDestination();  // false: another run writes there (refused, said)
  void openLog();
  void plan();
  void restoreAll();
  void finish();

 private:
  std::vector<FoundFile> findFiles(const std::string& sourceDir);
  void offerAhead(std::size_t current);
  void restoreItem(const RestoreItem& item);
  void restoreDirectory(const RestoreItem& item);
  void restoreFileItem(const RestoreItem& item, std::size_t index);
  bool restoreFile(const RestoreItem& item);
  void countSource(const FoundFile& f);
  void restoreOlderWhereNewerFailed();
  void restoreLinks();
  void finishDirectories();
  void noteMetadataLosses();

  State& s_;
  const RestoreOptions options_;
  const std::chrono::steady_clock::time_point clockStart_;
  const platform::LocalTime start_;
  std::vector<std::string> unreadable_;  // directories the walk could not read, as log lines
  std::string sourceRoot_, destinationRoot_;  // each with a trailing "/"
  std::vector<RestoreItem> plan_;
  std::unordered_set<std::string> runLinks_;
  RestoreContext ctx_;
  std::unique_ptr<UnpackAhead> ahead_;
  std::size_t nextOffer_ = 0;
  RestoreSummaryData sum_;
  std::vector<const RestoreItem*> links_, directories_, leftOut_;
  std::unordered_set<std::string> failedTargets_;
};

}  // namespace kalvero
