#pragma once
// How the date dialog reads what the user types: a date as up to six numbers
// (day, month, year, hour, minute, second) with any separators, and the
// hours of the relative form. Also reads the stored "Datum" values the
// dialog starts from.
#include <string>

#include "app/DateTime.h"

namespace kalvero {

// Blanks (spaces, tabs, line ends) removed at both ends.
std::string TrimBlanks(const std::string& text);

struct DateTextResult {
  bool empty = true;    // nothing but blanks: no date
  DateTime value;       // invalid when the numbers form no calendar date
};

// Digits accumulate into the current number; each run of other characters
// moves to the next one (a run at the very start too, leaving day 0).
// Numbers after the sixth are ignored, missing ones are 0.
DateTextResult InterpretDateText(const std::string& text);

// The leading integer as atoi reads it (blanks, sign, digits), 0 for empty or
// junk, held within +-1,000,000,000 so no amount of digits overflows.
long long InterpretHoursText(const std::string& text);

// Which of the four summary texts applies to a pair of bounds.
enum class DateSummaryKind { Between, FromOnly, ToOnly, Neither };
DateSummaryKind SummaryKindOf(const DateTime& from, const DateTime& to);

// The values of section "Datum" as the date dialog shows them: both absolute
// dates whatever "Typ" says, and "Stunden" as stored.
struct StoredDateValues {
  int typ = 0;
  DateTime from;
  DateTime to;
  std::string hoursText;
};
StoredDateValues ReadStoredDateValues(const std::string& settingsPath);

}  // namespace kalvero
