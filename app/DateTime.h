#pragma once
// A date and time as serial days since 30.12.1899 00:00 (integer part: the
// day, fraction: the time of day), with a validity flag. This is the form the
// settings file stores the date filter in.
#include <string>

namespace kalvero {

struct CalendarTime {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

class DateTime {
 public:
  DateTime() = default;  // invalid
  static DateTime fromSerial(double days);  // invalid when not a calendar date
  static DateTime fromCalendar(const CalendarTime& t);  // invalid when out of range
  static DateTime now();  // local time

  bool valid() const { return valid_; }
  double serial() const { return serial_; }
  // Fails (false) for an invalid value.
  bool toCalendar(CalendarTime& out) const;
  // "%d.%m.%Y %H:%M:%S", e.g. "23.10.2005 10:22:00"; "" when invalid.
  std::string format(const char* pattern = "%d.%m.%Y %H:%M:%S") const;
  // Seconds since 1970 of this value taken as local time, or -1.
  long long toLocalEpochSeconds() const;
  DateTime addHours(long long hours) const;

 private:
  double serial_ = 0;
  bool valid_ = false;
};

}  // namespace kalvero
