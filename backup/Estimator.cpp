#include "backup/Estimator.h"

#include <fmt/format.h>
#include <fmt/printf.h>

#include <limits>

#include "platform/FileTime.h"

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

}  // namespace kalvero
