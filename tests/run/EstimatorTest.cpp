#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "run/Estimator.h"
#include "support/RecordingReporter.h"

namespace kalvero {
namespace {

TEST(RemainingTimeEstimator, GivesNothingBeforeTheIntervalAndThenScalesElapsedTime) {
  RemainingTimeEstimator e;
  e.Start(400LL * 1024 * 1024, 10000, 1000);
  EXPECT_EQ(e.Estimate(100LL * 1024 * 1024, 5000), "");
  // 100 of 400 MByte after 10 s: three times the elapsed time remains.
  EXPECT_EQ(e.Estimate(100LL * 1024 * 1024, 11000), "00:00:30");
  // The next estimate comes no earlier than 10 s after the last one.
  EXPECT_EQ(e.Estimate(200LL * 1024 * 1024, 20999), "");
  EXPECT_EQ(e.Estimate(200LL * 1024 * 1024, 21000), "00:00:20");
}

TEST(RemainingTimeEstimator, NoDivisionByZeroAndNoOverflow) {
  RemainingTimeEstimator e;
  e.Start(1000, 10000, 0);
  EXPECT_EQ(e.Estimate(0, 20000), "");  // nothing done yet: no estimate
  // Huge totals with a long elapsed time: clamped, never wrapped.
  RemainingTimeEstimator big;
  big.Start(std::numeric_limits<std::int64_t>::max(), 10000, 0);
  const std::string text = big.Estimate(1, 4000000000u);
  EXPECT_EQ(text, "1193046:28:15");  // 0xFFFFFFFF seconds
  // Done beyond the total (files grew): zero remaining.
  RemainingTimeEstimator over;
  over.Start(100, 10000, 0);
  EXPECT_EQ(over.Estimate(200, 10000), "00:00:00");
}

TEST(RemainingTimeEstimator, TickCountWrapAround) {
  RemainingTimeEstimator e;
  e.Start(2000, 10000, 0xFFFFF000u);  // 4096 ms before the wrap
  EXPECT_EQ(e.Estimate(1000, 0x00001000u), "");  // 8192 ms later
  EXPECT_EQ(e.Estimate(1000, 0x00001000u + 2000), "00:00:10");
}

TEST(ProgressArithmetic, PercentAndBarsStayInRange) {
  EXPECT_EQ(PercentOf(0, 0), 0);
  EXPECT_EQ(PercentOf(42, 100), 42);
  EXPECT_EQ(PercentOf(std::numeric_limits<std::uint64_t>::max(), std::numeric_limits<std::uint64_t>::max()), 100);
  EXPECT_EQ(PercentText(1, 3), "33 %");
  BarValues small = BarValuesOf(5 * 1024, 10 * 1024);
  EXPECT_EQ(small.range, 10);
  EXPECT_EQ(small.position, 5);
  BarValues huge = BarValuesOf(std::numeric_limits<std::uint64_t>::max() / 2, std::numeric_limits<std::uint64_t>::max());
  EXPECT_GT(huge.range, 0);
  EXPECT_LE(huge.position, huge.range);
  EXPECT_NEAR(static_cast<double>(huge.position) / huge.range, 0.5, 0.01);
}


TEST(PairProgress, BarFollowsTheCopyNotTheFileAboutToBeCopiedAndEstimatesWithinAFile) {
  test::RecordingReporter page;
  ProgressInfo info;
  std::uint32_t now = 0;
  PairProgress pair(&page, info, 3000);
  pair.SetClock([&now] { return now; });
  pair.Start(400);
  // A large file: taken up, the pair has not moved yet.
  pair.FileStarted(100);
  pair.progress(NOTIFY_COPYING, info);
  EXPECT_EQ(page.events.back().info.pairBytesDone, 0u);
  pair.progress(NOTIFY_FILE_START, info);
  now = 1000;
  info.fileSize = 100;
  info.fileDone = 50;
  pair.progress(NOTIFY_FILE_STEP, info);
  EXPECT_EQ(page.events.back().info.pairBytesDone, 50u);
  EXPECT_EQ(page.events.back().code, NOTIFY_FILE_STEP);  // no estimate before the interval
  now = 3000;
  info.fileDone = 100;
  pair.progress(NOTIFY_FILE_STEP, info);
  // Estimated while the file is still being copied: 3 s for 100 of 400 bytes.
  EXPECT_EQ(page.events.back().code, NOTIFY_REMAINING_TIME);
  EXPECT_EQ(page.events.back().info.remainingTimeText, "Geschätzte Restzeit (Std:Min:Sek): 00:00:09");
  EXPECT_EQ(page.events.back().info.pairBytesDone, 100u);
  // Its comparison moves the file bar only.
  pair.progress(NOTIFY_FILE_START, info);
  info.fileDone = 30;
  pair.progress(NOTIFY_FILE_STEP, info);
  EXPECT_EQ(page.events.back().info.pairBytesDone, 100u);
  pair.FileFinished(false);
  EXPECT_EQ(info.pairBytesDone, 100u);
  // A skipped file moves the pair to its end but gives no estimate.
  now = 9000;
  pair.FileStarted(300);
  const std::size_t before = page.events.size();
  pair.FileFinished(true);
  EXPECT_EQ(info.pairBytesDone, 400u);
  EXPECT_EQ(page.events.size(), before);
  // A copy broken off by a cancel does not count as done.
  pair.FileStarted(50);
  pair.progress(NOTIFY_COPYING, info);
  pair.progress(NOTIFY_FILE_START, info);
  info.fileDone = 20;
  pair.progress(NOTIFY_FILE_STEP, info);
  EXPECT_EQ(info.pairBytesDone, 420u);
  // The pair shown does not go back for it.
  pair.FileAbandoned();
  EXPECT_EQ(info.pairBytesDone, 420u);
}

TEST(PairProgress, WaitingForAWorkerMovesTheFileThePairAndTheEstimate) {
  test::RecordingReporter page;
  ProgressInfo info;
  info.pairBytes = 1000;
  std::uint64_t ahead = 0;
  PairProgress pair(&page, info, 3000);
  pair.SetAheadSource([&ahead] { return ahead; });
  pair.Start(1000, 0);
  pair.FileStarted(600);
  // The file waited for is shown as compressed, its bar from the start.
  pair.Waiting(NOTIFY_COMPRESSING, 100, 100, 1000);
  ASSERT_GE(page.events.size(), 3u);
  EXPECT_EQ(page.events[0].code, NOTIFY_COMPRESSING);
  EXPECT_EQ(page.events[1].code, NOTIFY_FILE_START);
  EXPECT_EQ(page.events[1].info.fileSize, 600u);
  EXPECT_EQ(page.events.back().code, NOTIFY_FILE_STEP);
  EXPECT_EQ(page.events.back().info.fileDone, 100u);
  EXPECT_EQ(info.pairBytesDone, 100u);
  // Another worker's files ahead count too; the estimate comes from all of it.
  ahead = 200;
  pair.Waiting(NOTIFY_COMPRESSING, 300, 300, 5000);
  EXPECT_EQ(page.events.back().code, NOTIFY_REMAINING_TIME);
  EXPECT_EQ(page.events.back().info.pairBytesDone, 500u);
  EXPECT_EQ(page.events.back().info.remainingTimeText, "Geschätzte Restzeit (Std:Min:Sek): 00:00:05");
  // Its comparison on the worker: a new bar, the pair keeps the compressed bytes.
  const std::size_t before = page.events.size();
  pair.Waiting(NOTIFY_COMPARING, 50, 600, 6000);
  EXPECT_EQ(page.events[before].code, NOTIFY_COMPARING);
  EXPECT_EQ(page.events[before + 1].code, NOTIFY_FILE_START);
  EXPECT_EQ(page.events.back().info.fileDone, 50u);
  EXPECT_EQ(info.pairBytesDone, 800u);
  // The workers' archives given back for lack of space: their bytes are done
  // again later, the pair shown does not go back meanwhile.
  ahead = 0;
  pair.FileFinished(false, 6500);
  EXPECT_EQ(info.pairBytesDone, 800u);
}

TEST(ProgressArithmetic, ByteBarIsAsFullAsThePercentSays) {
  const BarValues few = ByteBarOf(600, 600);  // fifteen files of 40 bytes
  EXPECT_EQ(few.range, 600);
  EXPECT_EQ(few.position, 600);
  const BarValues empty = ByteBarOf(0, 0);
  EXPECT_EQ(empty.range, 1);
  EXPECT_EQ(empty.position, 0);
  const BarValues huge = ByteBarOf(3ull << 40, 4ull << 40);
  EXPECT_EQ(PercentOf(huge.position, huge.range), 75);
}
}  // namespace
}  // namespace kalvero
