#pragma once
// The RunReporter of kalvero-cli, for backup and restore: log-page lines go
// to stdout as they come; on a terminal a one-line progress display is kept
// up to date on stderr.
#include <chrono>
#include <mutex>
#include <ostream>
#include <string>

#include "run/RunProgress.h"

namespace kalvero::cli {

class ProgressLine : public RunReporter {
 public:
  // A backup shows its pair and bytes, a restore its files and errors.
  enum class Run { Backup, Restore };
  ProgressLine(std::ostream& out, std::ostream& err, bool showProgress, Run run = Run::Backup);
  void progress(int code, const ProgressInfo& info) override;
  void clearLog() override {}
  void logLine(const std::string& text) override;
  void selectPair(int row) override;
  void finish();  // clears the progress line
  // --quiet: the pair headers are left out; error lines still come.
  void setQuiet(bool quiet) { quiet_ = quiet; }

 private:
  void clearLine();
  std::string backupText(int code, const ProgressInfo& info) const;
  static std::string restoreText(int code, const ProgressInfo& info);
  std::ostream& out_;
  std::ostream& err_;
  bool show_;
  Run run_;
  bool quiet_ = false;
  bool lineShown_ = false;
  int pairNumber_ = 0;
  int row_ = -1;
  std::string remaining_;
  std::chrono::steady_clock::time_point lastDraw_{};
};

}  // namespace kalvero::cli
