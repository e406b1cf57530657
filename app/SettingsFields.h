#pragma once
// Small readers and writers of the settings file's value formats, shared by
// the settings file and the directory-name replacement.
#include <string>
#include <vector>

#include "app/DateTime.h"

namespace kalvero {

// Splits a "|"-separated value into exactly count fields; the last field runs
// to the end of the value (it may hold bars), missing fields are empty.
std::vector<std::string> SplitSettingsFields(const std::string& value, int count);
// atof in the "C" locale: junk after the number ignored, no number = 0.
double AtofLike(const std::string& text);
// Serial day number with up to 20 significant digits; "" for an invalid date.
std::string SerialDateText(const DateTime& d);
// "" gives an invalid date; so does a number that is no calendar date.
DateTime SerialDateFromText(const std::string& text);

}  // namespace kalvero
