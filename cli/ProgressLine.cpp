#include "cli/ProgressLine.h"

#include <fmt/printf.h>

#include "cli/CliTexts.h"
#include "run/Estimator.h"

namespace kalvero::cli {

ProgressLine::ProgressLine(std::ostream& out, std::ostream& err, bool showProgress, Run run)
    : out_(out), err_(err), show_(showProgress), run_(run) {}

void ProgressLine::clearLine() {
  if (!lineShown_) return;
  err_ << "\r\033[K" << std::flush;
  lineShown_ = false;
}

void ProgressLine::logLine(const std::string& text) {
  if (quiet_ && text.rfind("**** ", 0) == 0) return;
  clearLine();
  out_ << text << '\n' << std::flush;
}

void ProgressLine::selectPair(int row) {
  row_ = row;
  ++pairNumber_;
  remaining_.clear();
}

void ProgressLine::progress(int code, const ProgressInfo& info) {
  if (code == NOTIFY_REMAINING_TIME) remaining_ = info.remainingTimeText;
  if (!show_) return;
  // Redraw at most ten times a second, and always at the end of a pair.
  const auto now = std::chrono::steady_clock::now();
  if (code != NOTIFY_FINISHED && now - lastDraw_ < std::chrono::milliseconds(100)) return;
  lastDraw_ = now;
  err_ << "\r\033[K" << (run_ == Run::Backup ? backupText(code, info) : restoreText(code, info)) << std::flush;
  lineShown_ = true;
}

std::string ProgressLine::backupText(int code, const ProgressInfo& info) const {
  std::string text = fmt::sprintf(texts::kProgressBackup, pairNumber_, row_ + 1, info.filesDone, info.filesInPair,
                                  PercentText(info.pairBytesDone, info.pairBytes));
  // A large file's own share, also while a worker compresses it and the run waits.
  if ((code == NOTIFY_FILE_STEP || code == NOTIFY_FILE_START) && info.fileSize > 0)
    text += fmt::sprintf(texts::kProgressEntryPercent, PercentOf(info.fileDone, info.fileSize));
  if (!remaining_.empty()) text += "  " + remaining_;
  return text;
}

std::string ProgressLine::restoreText(int code, const ProgressInfo& info) {
  if (code == NOTIFY_SEARCHING) return texts::kProgressSearching;
  std::string text = fmt::sprintf(texts::kProgressRestore, info.filesDone, info.filesInPair, info.pairErrors);
  // The share of the archive entry being unpacked.
  if ((code == NOTIFY_FILE_STEP || code == NOTIFY_FILE_START) && info.fileSize > 0)
    text += fmt::sprintf(texts::kProgressEntryPercent, PercentOf(info.fileDone, info.fileSize));
  return text;
}

void ProgressLine::finish() { clearLine(); }

}  // namespace kalvero::cli
