#pragma once
// File times as the check file and the zip layer count them: 100 ns units
// since 1.1.1601 UTC, and broken-down local calendar times.
#include <cstdint>

namespace kalvero::platform {

using FileTime = std::uint64_t;

FileTime fileTimeFromUnix(std::int64_t seconds, std::int64_t nanoseconds);
std::int64_t unixSecondsFromFileTime(FileTime t);
std::int64_t unixNanosecondsPart(FileTime t);  // 0..999999999

struct LocalTime {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
  int dayOfWeek = 0;  // 0 = Sunday
};

// The current local time.
LocalTime localNow();
// Local calendar time of seconds since 1970; false when it cannot be represented.
bool localFromUnix(std::int64_t seconds, LocalTime& out);
// Seconds since 1970 of a local calendar time (daylight saving left to the C library), -1 when invalid.
std::int64_t unixFromLocal(const LocalTime& t);
// Milliseconds of a monotonic clock, wrapping around at 2^32 like a tick count.
std::uint32_t tickCount();

}  // namespace kalvero::platform
