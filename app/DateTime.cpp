#include "app/DateTime.h"

#include <fmt/format.h>

#include <cmath>

#include "platform/FileTime.h"

namespace kalvero {
namespace {

// Serial day 0 is 30.12.1899; day -25569 of the civil calendar below is 1.1.1970.
constexpr long long kSerialOf1970 = 25569;
constexpr double kMinSerial = -657434.0;  // 1.1.100
constexpr double kMaxSerial = 2958466.0;  // 1.1.10000 (exclusive)

long long daysFromCivil(long long y, unsigned m, unsigned d) {
  y -= m <= 2;
  const long long era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<long long>(doe) - 719468;
}

void civilFromDays(long long z, int& y, int& m, int& d) {
  z += 719468;
  const long long era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  y = static_cast<int>(static_cast<long long>(yoe) + era * 400 + (m <= 2));
}

int daysInMonth(int y, int m) {
  static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
  return m == 2 && leap ? 29 : days[m - 1];
}

// Seconds since 30.12.1899 00:00 on a straight time line. Negative serials
// keep their time of day as a positive fraction (-1.25 is 29.12.1899 06:00).
long long linearSeconds(double serial) {
  double day = std::trunc(serial);
  double frac = std::fabs(serial - day);
  return static_cast<long long>(day) * 86400 + std::llround(frac * 86400.0);
}

double serialFromLinear(long long seconds) {
  long long day = seconds >= 0 ? seconds / 86400 : -((-seconds + 86399) / 86400);
  long long rest = seconds - day * 86400;  // 0..86399
  double time = static_cast<double>(rest) / 86400.0;
  return day >= 0 ? static_cast<double>(day) + time : static_cast<double>(day) - time;
}

}  // namespace

DateTime DateTime::fromSerial(double days) {
  DateTime d;
  if (std::isfinite(days) && days >= kMinSerial && days < kMaxSerial) {
    d.serial_ = days;
    d.valid_ = true;
  }
  return d;
}

DateTime DateTime::fromCalendar(const CalendarTime& t) {
  if (t.year < 100 || t.year > 9999 || t.month < 1 || t.month > 12 || t.day < 1 ||
      t.day > daysInMonth(t.year, t.month) || t.hour < 0 || t.hour > 23 || t.minute < 0 || t.minute > 59 ||
      t.second < 0 || t.second > 59)
    return DateTime();
  long long day = daysFromCivil(t.year, static_cast<unsigned>(t.month), static_cast<unsigned>(t.day)) + kSerialOf1970;
  return fromSerial(serialFromLinear(day * 86400 + t.hour * 3600 + t.minute * 60 + t.second));
}

DateTime DateTime::now() {
  platform::LocalTime l = platform::localNow();
  return fromCalendar(CalendarTime{l.year, l.month, l.day, l.hour, l.minute, l.second});
}

bool DateTime::toCalendar(CalendarTime& out) const {
  if (!valid_) return false;
  long long secs = linearSeconds(serial_);
  long long day = secs >= 0 ? secs / 86400 : -((-secs + 86399) / 86400);
  long long rest = secs - day * 86400;
  civilFromDays(day - kSerialOf1970, out.year, out.month, out.day);
  out.hour = static_cast<int>(rest / 3600);
  out.minute = static_cast<int>(rest / 60 % 60);
  out.second = static_cast<int>(rest % 60);
  return out.year >= 100 && out.year <= 9999;
}

std::string DateTime::format(const char* pattern) const {
  CalendarTime t;
  if (!toCalendar(t)) return {};
  std::string out;
  for (const char* p = pattern; *p; ++p) {
    if (*p != '%' || p[1] == '\0') {
      out += *p;
      continue;
    }
    switch (*++p) {
      case 'd': out += fmt::format("{:02}", t.day); break;
      case 'm': out += fmt::format("{:02}", t.month); break;
      case 'Y': out += fmt::format("{}", t.year); break;
      case 'y': out += fmt::format("{:02}", t.year % 100); break;
      case 'H': out += fmt::format("{:02}", t.hour); break;
      case 'M': out += fmt::format("{:02}", t.minute); break;
      case 'S': out += fmt::format("{:02}", t.second); break;
      case '%': out += '%'; break;
      default: out += '%'; out += *p; break;
    }
  }
  return out;
}

long long DateTime::toLocalEpochSeconds() const {
  CalendarTime t;
  if (!toCalendar(t)) return -1;
  platform::LocalTime l;
  l.year = t.year;
  l.month = t.month;
  l.day = t.day;
  l.hour = t.hour;
  l.minute = t.minute;
  l.second = t.second;
  return platform::unixFromLocal(l);
}

DateTime DateTime::addHours(long long hours) const {
  if (!valid_) return DateTime();
  // Beyond the calendar's range in either direction the result is invalid.
  if (hours > 100000000LL || hours < -100000000LL) return DateTime();
  return fromSerial(serialFromLinear(linearSeconds(serial_) + hours * 3600));
}

}  // namespace kalvero
