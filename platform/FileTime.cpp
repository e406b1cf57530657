#include "platform/FileTime.h"

#include <chrono>
#include <ctime>
#include <mutex>

namespace kalvero::platform {
namespace {
constexpr std::int64_t kSecondsFrom1601To1970 = 11644473600LL;
constexpr std::int64_t kTicksPerSecond = 10000000LL;  // 100 ns units
}  // namespace

FileTime fileTimeFromUnix(std::int64_t seconds, std::int64_t nanoseconds) {
  // Before 1601 there is no file time; far future values saturate.
  if (seconds < -kSecondsFrom1601To1970) return 0;
  const std::int64_t maxSeconds = static_cast<std::int64_t>(UINT64_MAX / kTicksPerSecond) - kSecondsFrom1601To1970 - 1;
  if (seconds > maxSeconds) seconds = maxSeconds;
  if (nanoseconds < 0) nanoseconds = 0;
  if (nanoseconds > 999999999) nanoseconds = 999999999;
  return static_cast<FileTime>(seconds + kSecondsFrom1601To1970) * kTicksPerSecond +
         static_cast<FileTime>(nanoseconds / 100);
}

std::int64_t unixSecondsFromFileTime(FileTime t) {
  return static_cast<std::int64_t>(t / kTicksPerSecond) - kSecondsFrom1601To1970;
}

std::int64_t unixNanosecondsPart(FileTime t) { return static_cast<std::int64_t>(t % kTicksPerSecond) * 100; }

bool localFromUnix(std::int64_t seconds, LocalTime& out) {
  std::time_t tt = static_cast<std::time_t>(seconds);
  std::tm tm{};
  if (localtime_r(&tt, &tm) == nullptr) return false;
  out.year = tm.tm_year + 1900;
  out.month = tm.tm_mon + 1;
  out.day = tm.tm_mday;
  out.hour = tm.tm_hour;
  out.minute = tm.tm_min;
  out.second = tm.tm_sec;
  out.dayOfWeek = tm.tm_wday;
  return true;
}

LocalTime localNow() {
  LocalTime t;
  localFromUnix(static_cast<std::int64_t>(std::time(nullptr)), t);
  return t;
}

std::int64_t unixFromLocal(const LocalTime& t) {
  if (t.month < 1 || t.month > 12 || t.day < 1 || t.day > 31 || t.hour < 0 || t.hour > 23 || t.minute < 0 ||
      t.minute > 59 || t.second < 0 || t.second > 60 || t.year < 1900 || t.year > 100000)
    return -1;
  std::tm tm{};
  tm.tm_year = t.year - 1900;
  tm.tm_mon = t.month - 1;
  tm.tm_mday = t.day;
  tm.tm_hour = t.hour;
  tm.tm_min = t.minute;
  tm.tm_sec = t.second;
  tm.tm_isdst = -1;
  // mktime reads the time zone again at every call; the backup's and the
  // restore's workers convert at the same time, so one at a time.
  static std::mutex zoneMutex;
  std::time_t r;
  {
    std::lock_guard<std::mutex> lock(zoneMutex);
    r = std::mktime(&tm);
  }
  // Times before 1970 cannot be represented in this form.
  if (r < 0) return -1;
  return static_cast<std::int64_t>(r);
}

std::uint32_t tickCount() {
  auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::steady_clock::now().time_since_epoch()).count();
  return static_cast<std::uint32_t>(static_cast<std::uint64_t>(ms));
}

}  // namespace kalvero::platform
