#pragma once
// One backup run: every active pair of a job-list snapshot is searched,
// copied (or compressed), verified and recorded in the run log, the four
// list files and the check file. The run works on the thread that calls
// run() and talks to its watcher only through the RunReporter.
#include <array>
#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "app/Records.h"
#include "platform/SleepLock.h"
#include "run/RunProgress.h"

namespace kalvero {

class CheckFile;

// Captions of the option check boxes as the backup page shows them; the run
// log's pair header names every option by its caption.
struct OptionCaptions {
  std::string archivbit, archivbitReset, compare, exit, reboot, subVerzDatum, compress, close;
  std::string datum;  // the date label (may contain a line feed)
  std::string deleteZieldatei;
  std::string musterErlaubt, musterNichtErlaubt;
};
// The page's fixed captions with the given date label.
OptionCaptions DefaultOptionCaptions(const std::string& dateLabel);

struct BackupRunSetup {
  std::string settingsPath;               // "Allg" is reloaded from it before every pair
  JobList jobs;                           // snapshot of the job list, in row order
  BackupOptions options;                  // as taken from the page at the start
  DateFilter dateFilter;                  // bounds as the page holds them
  OptionCaptions captions;
  std::array<std::string, 4> listFiles;   // copied sources, copied destinations, not copied, skipped
  std::string versionText;                // "%d,%d,%d,%d"
  std::atomic<int>* cancel = nullptr;     // "Abbrechen" sets it to 1
  RunReporter* reporter = nullptr;        // required
  CheckFile* checkFile = nullptr;         // the page's check file; the run makes its own when null
  std::shared_ptr<platform::SleepLock> sleepLock;  // keeps the computer awake; released when run() ends
};

struct RunTotals {
  int runErrors = 0;       // as the page's "Gesamtanzahl aller Fehler" (check-file save failure included)
  int runSkipped = 0;
  int copied = 0;          // entries of the copied lists
  int notCopied = 0;       // entries of the not-copied list
  int linked = 0;          // of the copied, hard links to the previous complete dated state
  int pairsRun = 0;        // pair results (pairs reached, passed-over ones included)
  bool cancelled = false;  // the cancel flag was set when the run ended
  bool sleep = false;      // cancelled because the computer went to sleep
  std::array<bool, 4> listOpenFailed{};  // a list that could not be created (its lines were dropped)
  std::vector<std::string> missingSources;  // source directory of every active pair that did not exist, in run order
  // Not started: another run writes into one of the destinations (the line
  // shown); nothing was done.
  std::string busyLine;
};

class BackupRun {
 public:
  explicit BackupRun(BackupRunSetup setup);
  ~BackupRun();
  BackupRun(const BackupRun&) = delete;
  BackupRun& operator=(const BackupRun&) = delete;

  // On the calling thread; returns after the end-of-run sound. What follows
  // (idle page, shutdown, closing, an exit status) is the front end's.
  void run();
  RunTotals totals() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace kalvero
