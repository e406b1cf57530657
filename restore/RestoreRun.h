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
#include "run/RunProgress.h"

namespace kalvero {

struct RestoreRunSetup {
  RestoreOptions options;          // as the page shows them at the start
  std::string settingsPath;        // section "Rueck" is read again from here; "" = use options
  std::string versionText;         // "%d,%d,%d,%d"
  std::atomic<int>* cancel = nullptr;  // set (non-zero) to stop before the next file
  RunReporter* reporter = nullptr;     // may be null
  // Caption of the page's subdirectory check box, for the log header.
  std::string subdirCaption = "Unterverzeichnisse mitkopieren";
};

// Totals of a finished run (64-bit).
struct RestoreTotals {
  int filesDone = 0;
  int errors = 0;
  std::uint64_t sourceBytes = 0;
  std::uint64_t unpackedBytes = 0;
  bool cancelled = false;
  bool refusedBeforeStart = false;  // empty destination: nothing happened
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
  std::unique_ptr<State> state_;
};

// The checks before a run starts, as the start button does them, in this
// order: source directory exists, log file directory exists, destination not
// empty. text is "" when the run may start; field names the input to focus.
struct RestoreValidation {
  enum Field { None, Source, LogFile, Destination };
  Field field = None;
  std::string text;
  bool ok() const { return field == None; }
};
RestoreValidation ValidateRestoreOptions(const RestoreOptions& options);
// The check of a start (forStart) or a save, the same for the window and
// kalvero-cli restore: the default log's directory is made first (at the
// first start); a save keeps an empty destination (filled in later).
RestoreValidation CheckRestoreStart(const RestoreOptions& options, bool forStart);

}  // namespace kalvero
