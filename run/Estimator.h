#pragma once
// The remaining-time estimate of a pair and the arithmetic of the progress
// display (percent, bar values), free of overflow for any size.
#include <cstdint>
#include <functional>
#include <string>

#include "run/RunProgress.h"

namespace kalvero {

class RemainingTimeEstimator {
 public:
  void Start(std::int64_t total, std::int32_t intervalMs);
  void Start(std::int64_t total, std::int32_t intervalMs, std::uint32_t nowTicks);
  // "" when no new estimate is due (or nothing is done yet), else "%02d:%02d:%02d".
  std::string Estimate(std::int64_t done);
  std::string Estimate(std::int64_t done, std::uint32_t nowTicks);

 private:
  std::int64_t total_ = 0;
  std::int32_t interval_ = 10000;
  std::uint32_t start_ = 0;
  std::uint32_t last_ = 0;
};

// done * 100 / total rounded down, 0 when total is 0; never overflows.
int PercentOf(std::uint64_t done, std::uint64_t total);
// "%d %%" of PercentOf.
std::string PercentText(std::uint64_t done, std::uint64_t total);

// Range and position for a progress bar in KByte units; when the KByte total
// does not fit an int both are scaled down by the same power of two.
struct BarValues {
  int range = 0;
  int position = 0;
};
BarValues BarValuesOf(std::uint64_t doneBytes, std::uint64_t totalBytes);
// Range and position in bytes (scaled down alike when the total does not fit
// an int), so that a bar is exactly as full as PercentOf says: a pair of a
// few small files fills it, an empty total leaves it empty.
BarValues ByteBarOf(std::uint64_t doneBytes, std::uint64_t totalBytes);

// Time between two remaining-time estimates: short enough that a run of half
// a minute shows one, long enough that the text does not flicker.
inline constexpr std::int32_t kEstimateIntervalMs = 3000;

// The pair's progress as the page shows it, kept in one place so that the
// pair bar, its percent, the file count and the remaining time agree at every
// moment. pairBytesDone counts the finished files (copied, failed or skipped)
// plus the part of the current file already copied and what worker threads
// compressed of the files ahead, never a file that is only about to be
// copied, and never goes back within the pair (a file compressed again, a
// cancel); the estimate is renewed while a large file is copied, not only
// between files. The run hands it to the copy step as its reporter; it passes
// every call on to the page.
class PairProgress : public RunReporter {
 public:
  PairProgress(RunReporter* next, ProgressInfo& info, std::int32_t intervalMs = kEstimateIntervalMs);
  // After the check-file pre-pass, with the bytes that will really be copied.
  void Start(std::int64_t bytesToCopy);
  void Start(std::int64_t bytesToCopy, std::uint32_t nowTicks);
  // A file of this (walked) size is taken up.
  void FileStarted(std::uint64_t size);
  // The file taken up is finished: the pair moves to its end. After a file
  // that was not skipped, a due estimate is sent (NOTIFY_REMAINING_TIME).
  void FileFinished(bool skipped);
  void FileFinished(bool skipped, std::uint32_t nowTicks);
  // The file taken up was broken off by a cancel: none of it counts as done
  // for the estimate (the pair shown stays where it was).
  void FileAbandoned();
  // The run thread waits for a worker's work on the file taken up: code is
  // NOTIFY_COMPRESSING or NOTIFY_COMPARING, fileDone the bytes of that stage,
  // compressed the source bytes compressed. The page sees the file as the
  // current one, its bar moving, the pair and the estimate moving too.
  void Waiting(int code, std::uint64_t fileDone, std::uint64_t compressed);
  void Waiting(int code, std::uint64_t fileDone, std::uint64_t compressed, std::uint32_t nowTicks);
  // The bytes worker threads have compressed of the files after the one
  // taken up; asked whenever the pair moves.
  void SetAheadSource(std::function<std::uint64_t()> ahead) { ahead_ = std::move(ahead); }

  void progress(int code, const ProgressInfo& info) override;
  void clearLog() override;
  void logLine(const std::string& text) override;
  void selectPair(int row) override;
  void endOfRunSound() override;

  // The tick source of the estimates made during a copy (tests set their own).
  void SetClock(std::function<std::uint32_t()> clock) { clock_ = std::move(clock); }

 private:
  void send(int code);
  void estimate(std::uint32_t nowTicks);
  void update();  // pairBytesDone from what is done now

  RunReporter* next_;
  ProgressInfo& info_;
  std::int32_t interval_;
  RemainingTimeEstimator estimator_;
  std::uint64_t finished_ = 0;      // bytes of the finished files
  std::uint64_t copiedBefore_ = 0;  // bytes of the finished files that were not skipped
  std::uint64_t current_ = 0;       // walked size of the file in hand
  std::uint64_t partial_ = 0;       // its part already copied (never more than current_)
  bool copying_ = false;            // its copy, not its comparison, is under way
  int fileStarts_ = 0;              // NOTIFY_FILE_START seen since the copy began
  int waitingCode_ = 0;             // the stage last shown while waiting for a worker
  std::uint64_t shown_ = 0;         // pairBytesDone: never less than before within the pair
  std::function<std::uint32_t()> clock_;
  std::function<std::uint64_t()> ahead_;
};

}  // namespace kalvero
