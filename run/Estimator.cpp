#include "run/Estimator.h"

#include <fmt/format.h>
#include <fmt/printf.h>

#include <algorithm>
#include <limits>

#include "platform/FileTime.h"
#include "run/RunTexts.h"

namespace kalvero {

void RemainingTimeEstimator::Start(std::int64_t total, std::int32_t intervalMs) {
  Start(total, intervalMs, platform::tickCount());
}

void RemainingTimeEstimator::Start(std::int64_t total, std::int32_t intervalMs, std::uint32_t nowTicks) {
  total_ = total;
  interval_ = intervalMs;
  start_ = last_ = nowTicks;
}

std::string RemainingTimeEstimator::Estimate(std::int64_t done) { return Estimate(done, platform::tickCount()); }

std::string RemainingTimeEstimator::Estimate(std::int64_t done, std::uint32_t nowTicks) {
  // Differences of tick counts stay right across the 32-bit wrap-around.
  if (nowTicks - last_ < static_cast<std::uint32_t>(interval_)) return {};
  if (done <= 0) return {};  // nothing measured yet: no estimate
  last_ = nowTicks;
  const std::uint32_t elapsed = nowTicks - start_;
  const std::int64_t left = total_ > done ? total_ - done : 0;
  // 32-bit milliseconds times a 64-bit byte count needs 96 bits.
  const unsigned __int128 remainingMs =
      static_cast<unsigned __int128>(elapsed) * static_cast<unsigned __int128>(left) / static_cast<std::uint64_t>(done);
  const unsigned __int128 secondsWide = remainingMs / 1000;
  const std::uint32_t seconds = secondsWide > std::numeric_limits<std::uint32_t>::max()
                                    ? std::numeric_limits<std::uint32_t>::max()
                                    : static_cast<std::uint32_t>(secondsWide);
  return fmt::format("{:02}:{:02}:{:02}", seconds / 3600, (seconds % 3600) / 60, seconds % 60);
}

int PercentOf(std::uint64_t done, std::uint64_t total) {
  if (total == 0) return 0;
  const unsigned __int128 p = static_cast<unsigned __int128>(done) * 100 / total;
  return p > static_cast<unsigned __int128>(std::numeric_limits<int>::max()) ? std::numeric_limits<int>::max()
                                                                              : static_cast<int>(p);
}

std::string PercentText(std::uint64_t done, std::uint64_t total) {
  return fmt::sprintf("%d %%", PercentOf(done, total));
}

BarValues BarValuesOf(std::uint64_t doneBytes, std::uint64_t totalBytes) {
  std::uint64_t range = totalBytes / 1024;
  std::uint64_t position = doneBytes / 1024;
  if (position > range) position = range;  // a file that grew while it was copied
  while (range > static_cast<std::uint64_t>(std::numeric_limits<int>::max())) {
    range >>= 1;
    position >>= 1;
  }
  return BarValues{static_cast<int>(range), static_cast<int>(position)};
}

BarValues ByteBarOf(std::uint64_t doneBytes, std::uint64_t totalBytes) {
  if (totalBytes == 0) return BarValues{1, 0};  // 0..0 would make a bar a busy indicator
  std::uint64_t range = totalBytes;
  std::uint64_t position = doneBytes > totalBytes ? totalBytes : doneBytes;
  while (range > static_cast<std::uint64_t>(std::numeric_limits<int>::max())) {
    range >>= 1;
    position >>= 1;
  }
  return BarValues{static_cast<int>(range), static_cast<int>(position)};
}

PairProgress::PairProgress(RunReporter* next, ProgressInfo& info, std::int32_t intervalMs)
    : next_(next), info_(info), interval_(intervalMs), clock_(platform::tickCount) {}

void PairProgress::Start(std::int64_t bytesToCopy) { Start(bytesToCopy, clock_()); }

void PairProgress::Start(std::int64_t bytesToCopy, std::uint32_t nowTicks) {
  estimator_.Start(bytesToCopy, interval_, nowTicks);
  finished_ = copiedBefore_ = current_ = partial_ = shown_ = 0;
  copying_ = false;
  fileStarts_ = waitingCode_ = 0;
  info_.pairBytesDone = 0;
}

void PairProgress::FileStarted(std::uint64_t size) {
  current_ = size;
  partial_ = 0;
  copying_ = false;
  waitingCode_ = 0;
}

// A skipped file moves no estimate: the clock is read only for a copied one.
void PairProgress::FileFinished(bool skipped) { FileFinished(skipped, skipped ? 0 : clock_()); }

void PairProgress::FileFinished(bool skipped, std::uint32_t nowTicks) {
  finished_ += current_;
  if (!skipped) copiedBefore_ += current_;
  current_ = partial_ = 0;
  copying_ = false;
  update();
  if (!skipped) estimate(nowTicks);
}

void PairProgress::FileAbandoned() {
  current_ = partial_ = 0;
  copying_ = false;
  update();
}

void PairProgress::Waiting(int code, std::uint64_t fileDone, std::uint64_t compressed) {
  Waiting(code, fileDone, compressed, clock_());
}

void PairProgress::Waiting(int code, std::uint64_t fileDone, std::uint64_t compressed, std::uint32_t nowTicks) {
  partial_ = std::max(partial_, std::min(compressed, current_));
  update();
  if (code != waitingCode_) {
    // The action and the file's names, then its bar from the start of the stage.
    waitingCode_ = code;
    send(code);
    info_.fileSize = current_;
    info_.fileDone = 0;
    send(NOTIFY_FILE_START);
  }
  info_.fileDone = std::min(fileDone, current_);
  send(NOTIFY_FILE_STEP);
  estimate(nowTicks);
}

void PairProgress::update() {
  std::uint64_t done = finished_ + partial_ + (ahead_ ? ahead_() : 0);
  if (info_.pairBytes != 0) done = std::min(done, info_.pairBytes);
  shown_ = std::max(shown_, done);
  info_.pairBytesDone = shown_;
}

void PairProgress::send(int code) {
  if (next_) next_->progress(code, info_);
}

// From the bytes done now, the workers' included: the estimate keeps moving
// while this thread waits for one of them.
void PairProgress::estimate(std::uint32_t nowTicks) {
  const std::uint64_t ahead = ahead_ ? ahead_() : 0;
  const std::string text = estimator_.Estimate(static_cast<std::int64_t>(copiedBefore_ + partial_ + ahead), nowTicks);
  if (text.empty()) return;
  info_.remainingTimeText = fmt::sprintf(texts::REMAINING_TIME, text);
  send(NOTIFY_REMAINING_TIME);
}

void PairProgress::progress(int code, const ProgressInfo& /*info: the same record as info_*/) {
  switch (code) {
    case NOTIFY_COPYING:
    case NOTIFY_COMPRESSING:
      copying_ = true;
      fileStarts_ = 0;
      break;
    case NOTIFY_FILE_START:
      // The copy announces itself once; a later start is its comparison.
      if (fileStarts_++ > 0) copying_ = false;
      break;
    case NOTIFY_FILE_STEP:
      if (copying_) {
        // A compressed file's archive is copied once more after compressing:
        // the pair never moves back.
        partial_ = std::max(partial_, std::min(info_.fileDone, current_));
      }
      update();  // the workers may have moved on too
      break;
    default: break;
  }
  send(code);
  if (code == NOTIFY_FILE_STEP && copying_) estimate(clock_());
}

void PairProgress::clearLog() {
  if (next_) next_->clearLog();
}
void PairProgress::logLine(const std::string& text) {
  if (next_) next_->logLine(text);
}
void PairProgress::selectPair(int row) {
  if (next_) next_->selectPair(row);
}
void PairProgress::endOfRunSound() {
  if (next_) next_->endOfRunSound();
}

}  // namespace kalvero
