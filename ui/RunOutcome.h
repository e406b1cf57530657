#pragma once
// What the end of a backup says on its page: the closing line, whether the
// run was clean, and what was not backed up (a missing source directory, a
// drive that is not plugged in, a destination inside its source), so that a
// run which left something out never looks like a success.
#include <QString>
#include <QStringList>

#include "backup/BackupRun.h"

namespace kalvero {

// Collects, from the log lines of a run, those that say a whole pair was left out.
class LeftOutLines {
 public:
  void clear() { lines_.clear(); }
  void take(const QString& line);
  const QStringList& lines() const { return lines_; }

 private:
  QStringList lines_;
};

struct RunOutcome {
  QString action;            // the closing line
  QStringList notBackedUp;   // one line per pair left out, with its reason
  bool clean = true;         // no error, nothing left out, not cancelled
  bool nothingToCopy = false;
};

RunOutcome OutcomeOf(const RunTotals& totals, const QStringList& leftOutLines);

// Whether line is format ("%s" parts) filled in with any texts.
bool MatchesFormat(const QString& line, const char* format);

}  // namespace kalvero
