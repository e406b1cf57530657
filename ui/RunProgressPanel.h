#pragma once
// The backup page's progress panel: what the run is doing, the file being
// copied, the pair's and the file's bars with their percent, the counts of
// files, errors and skipped files, and the remaining time.
#include <cstdint>

#include "run/RunProgress.h"

class QWidget;

namespace Ui {
class PageSichern;
}

namespace kalvero {

struct RunOutcome;

class RunProgressPanel {
 public:
  // page is the page that holds the panel's controls (its window shows the percent when minimised).
  RunProgressPanel(Ui::PageSichern& form, QWidget* page);

  // Empties every line of the panel, as before a run.
  void clear();
  // The display for one notification of the run; cancelled tells a
  // cancelled run's end from a finished one.
  void show(int code, const ProgressInfo& info, bool cancelled);
  // The end of the run as it went: its closing line (dark red unless clean)
  // and what was not backed up, below the counters.
  void showOutcome(const RunOutcome& outcome);
  // Hides the last run's outcome, as a run starts.
  void clearOutcome();

  // percent(done, total) as the panel shows it: 0 for an empty total.
  static int percentOf(std::uint64_t done, std::uint64_t total);

 private:
  void showFileProgress(const ProgressInfo& info);
  void refreshCounters(const ProgressInfo& info);
  void setPairPercent(const ProgressInfo& info);
  // The pair's bytes as shown: never fewer than shown before for the same pair.
  std::uint64_t pairDone(const ProgressInfo& info);

  Ui::PageSichern& ui_;
  QWidget* page_;
  std::uint64_t pairTotal_ = 0;
  std::uint64_t pairDone_ = 0;
};

}  // namespace kalvero
