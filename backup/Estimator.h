#pragma once
// The remaining-time estimate of a pair and the arithmetic of the progress
// display (percent, bar values), free of overflow for any size.
#include <cstdint>
#include <string>

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

}  // namespace kalvero
