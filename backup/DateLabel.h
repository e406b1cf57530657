#pragma once
// The caption of the backup page's date-filter check box, built from the
// stored date filter; the run log names the "Datum" option by it.
#include <string>

#include "app/Records.h"

namespace kalvero {

struct DateLabel {
  std::string text;     // may contain a line feed
  bool enabled = true;  // false: no valid date, the option "Datum" is switched off
};

// filter as SettingsFile::loadDateFilter(now) gives it (relative form: from = now - hours).
DateLabel BuildDateLabel(const DateFilter& filter);

}  // namespace kalvero
