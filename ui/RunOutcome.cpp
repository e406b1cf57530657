#include "ui/RunOutcome.h"

#include <fmt/printf.h>

#include "backup/BackupTexts.h"
#include "ui/UiTexts.h"

namespace kalvero {

bool MatchesFormat(const QString& line, const char* format) {
  const QStringList parts = QString::fromUtf8(format).split(QStringLiteral("%s"));
  if (!line.startsWith(parts.first()) || !line.endsWith(parts.last())) return false;
  qsizetype at = parts.first().size();
  const qsizetype end = line.size() - parts.last().size();
  if (end < at) return false;
  for (qsizetype i = 1; i + 1 < parts.size(); ++i) {
    at = line.indexOf(parts[i], at);
    if (at < 0 || at + parts[i].size() > end) return false;
    at += parts[i].size();
  }
  return true;
}

void LeftOutLines::take(const QString& line) {
  const QString text = line.trimmed();
  for (const char* format : {texts::UNMOUNTED_DRIVE, texts::DESTINATION_IN_SOURCE})
    if (MatchesFormat(text, format)) lines_ << text;
}

RunOutcome OutcomeOf(const RunTotals& totals, const QStringList& leftOutLines) {
  namespace t = ui_texts;
  RunOutcome o;
  for (const std::string& source : totals.missingSources)
    o.notBackedUp << QString::fromStdString(fmt::sprintf(t::kSourceMissing, source));
  o.notBackedUp << leftOutLines;
  o.clean = !totals.cancelled && totals.runErrors == 0 && o.notBackedUp.isEmpty();
  if (totals.cancelled)
    o.action = QString::fromUtf8(t::kCancelled);
  else if (!o.notBackedUp.isEmpty())
    o.action = QString::fromUtf8(t::kFinishedLeftOut);
  else if (totals.runErrors > 0)
    o.action = QString::fromStdString(fmt::sprintf(t::kFinishedWithErrors, totals.runErrors));
  else if (totals.copied == 0 && totals.notCopied == 0)
    o.action = QString::fromUtf8(t::kNothingToCopy);
  else
    o.action = QString::fromUtf8(t::kFinished);
  o.nothingToCopy = o.clean && totals.copied == 0 && totals.notCopied == 0;
  return o;
}

}  // namespace kalvero
