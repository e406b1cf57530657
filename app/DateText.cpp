#include "app/DateText.h"

#include "app/SettingsFields.h"
#include "platform/ProfileFile.h"
#include "platform/TextUtil.h"

namespace kalvero {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Any number above this is no part of a date anyway; capping keeps the sum finite.
constexpr long long kNumberCap = 1000000000LL;

bool IsLeapYear(long long y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysInMonth(long long year, long long month) {
  static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : days[month - 1];
}

// The range a stored date can take: years 100 to 9999, times within a day.
bool FormsDate(const long long n[6]) {
  const long long day = n[0], month = n[1], year = n[2];
  if (year < 100 || year > 9999 || month < 1 || month > 12) return false;
  if (day < 1 || day > DaysInMonth(year, month)) return false;
  return n[3] < 24 && n[4] < 60 && n[5] < 60;
}

}  // namespace

std::string TrimBlanks(const std::string& text) { return std::string(platform::TrimWhiteSpace(text)); }

DateTextResult InterpretDateText(const std::string& text) {
  DateTextResult result;
  const std::string trimmed = TrimBlanks(text);
  if (trimmed.empty()) return result;
  result.empty = false;

  long long numbers[6] = {0, 0, 0, 0, 0, 0};
  int index = 0;
  bool inSeparator = false;
  for (char c : trimmed) {
    if (IsDigit(c)) {
      inSeparator = false;
      if (index < 6 && numbers[index] < kNumberCap) numbers[index] = numbers[index] * 10 + (c - '0');
    } else if (!inSeparator) {
      inSeparator = true;
      if (index < 6) ++index;
    }
  }
  if (!FormsDate(numbers)) return result;
  CalendarTime t;
  t.day = static_cast<int>(numbers[0]);
  t.month = static_cast<int>(numbers[1]);
  t.year = static_cast<int>(numbers[2]);
  t.hour = static_cast<int>(numbers[3]);
  t.minute = static_cast<int>(numbers[4]);
  t.second = static_cast<int>(numbers[5]);
  result.value = DateTime::fromCalendar(t);
  return result;
}

long long InterpretHoursText(const std::string& text) {
  std::size_t i = 0;
  while (i < text.size() && IsBlank(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  long long value = 0;
  for (; i < text.size() && IsDigit(text[i]); ++i) {
    if (value < kNumberCap) value = value * 10 + (text[i] - '0');
  }
  if (value > kNumberCap) value = kNumberCap;
  return negative ? -value : value;
}

DateSummaryKind SummaryKindOf(const DateTime& from, const DateTime& to) {
  if (from.valid() && to.valid()) return DateSummaryKind::Between;
  if (from.valid()) return DateSummaryKind::FromOnly;
  if (to.valid()) return DateSummaryKind::ToOnly;
  return DateSummaryKind::Neither;
}

StoredDateValues ReadStoredDateValues(const std::string& settingsPath) {
  platform::ProfileDocument doc;
  StoredDateValues values;
  if (!doc.load(settingsPath)) return values;  // unreadable: the dialog starts empty
  values.typ = doc.readInt("Datum", "Typ", 0) == 1 ? 1 : 0;
  values.from = SerialDateFromText(doc.readString("Datum", "DatumVon"));
  values.to = SerialDateFromText(doc.readString("Datum", "DatumBis"));
  values.hoursText = doc.readString("Datum", "Stunden");
  return values;
}

}  // namespace kalvero
