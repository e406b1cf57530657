#pragma once
// The restore run: copies a backup back below the restore destination and
// unpacks the archives the backup made; recreates its links (after every
// file and directory) and directories (their attributes last). Of two backup
// files that give one file, the newer is restored. Runs on whatever thread
// calls run(); the window or the CLI create that thread and watch it through
// the reporter.
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "app/Records.h"
#include "platform/SleepLock.h"
#include "run/RunProgress.h"

namespace kalvero {

struct RestoreRunSetup {
  RestoreOptions options;          // as the page shows them at the start
  std::string settingsPath;        // section "Rueck" is read again from here; "" = use options
  std::string versionText;         // "%d,%d,%d,%d"
  std::atomic<int>* cancel = nullptr;  // set (non-zero) to stop before the next file
  RunReporter* reporter = nullptr;     // may be null
  std::shared_ptr<platform::SleepLock> sleepLock;  // keeps the computer awake; released when run() ends
};

// Totals of a finished run (64-bit).
struct RestoreTotals {
  int filesDone = 0;
  int errors = 0;
  std::uint64_t sourceBytes = 0;
  std::uint64_t unpackedBytes = 0;
  int keptVersions = 0;      // target files that differed, kept beside their restored copy
  int unchangedTargets = 0;  // target files equal to the backup's copy, left as they were
  bool cancelled = false;
  bool sleep = false;  // cancelled because the computer went to sleep
  bool refusedBeforeStart = false;  // empty destination: nothing happened
  std::string busyLine;  // also refused: another run writes into the destination (the line shown)
};

class RestoreRun {
 public:
  explicit RestoreRun(RestoreRunSetup setup);
  ~RestoreRun();
  RestoreRun(const RestoreRun&) = delete;
  RestoreRun& operator=(const RestoreRun&) = delete;

  // The whole run, on the calling thread. An empty destination is refused
  // before anything happens ("Kein Zielverzeichnis angegeben." to the log page).
  void run();

  int errors() const;      // failed files plus aborting failures
  bool cancelled() const;  // the run stopped early on request
  RestoreTotals totals() const;
  const ProgressInfo& progress() const;

 private:
  struct State;
  class Pass;
  std::unique_ptr<State> state_;
};

}  // namespace kalvero
