#include "backup/DateLabel.h"

#include <fmt/printf.h>

#include "backup/BackupTexts.h"

namespace kalvero {

DateLabel BuildDateLabel(const DateFilter& filter) {
  DateLabel label;
  if (filter.Typ == 1) {
    label.text = fmt::sprintf(texts::DATE_RELATIVE, filter.from.format(), filter.Stunden);
  } else if (filter.from.valid() && filter.to.valid()) {
    label.text = fmt::sprintf(texts::DATE_BETWEEN, filter.from.format(), filter.to.format());
  } else if (filter.from.valid()) {
    label.text = fmt::sprintf(texts::DATE_FROM, filter.from.format());
  } else if (filter.to.valid()) {
    label.text = fmt::sprintf(texts::DATE_TO, filter.to.format());
  } else {
    label.text = texts::DATE_NONE;
    label.enabled = false;
  }
  return label;
}

}  // namespace kalvero
