#include "verify/VerifySummary.h"

#include <fmt/printf.h>

#include "verify/VerifyRun.h"
#include "verify/VerifyTexts.h"

namespace kalvero {

namespace vt = verify_text;

std::string VerdictText(const VerifyTotals& totals) {
  if (!totals.busyLine.empty()) return totals.busyLine;
  if (totals.cancelled) return vt::kCancelled;
  const int sources = totals.sourceRot + totals.sourceUnreadable;
  if (totals.anythingFound()) {
    const int files = totals.affectedFiles() - sources;
    const bool backupIntact = files == 0 && totals.foldersWithoutList + totals.targetsMissing + totals.listProblems == 0;
    const std::string intact = GroupedNumber(totals.filesChecked - totals.notYetChecked);
    if (backupIntact && sources == 1) return fmt::sprintf(vt::kSourceOnlyOne, intact);
    if (backupIntact && sources > 1) return fmt::sprintf(vt::kSourceOnly, intact, GroupedNumber(sources));
    if (files == 1) return vt::kSomethingFoundOne;
    return files > 0 ? fmt::sprintf(vt::kSomethingFound, GroupedNumber(files)) : std::string(vt::kCannotCheck);
  }
  if (totals.filesChecked == 0) return vt::kNothingChecked;
  return fmt::sprintf(vt::kAllWell, GroupedNumber(totals.filesChecked - totals.notYetChecked));
}

std::vector<std::string> SummaryLines(const VerifyTotals& t) {
  std::vector<std::string> lines;
  const std::string megabytes = fmt::sprintf("%0.1f", static_cast<double>(t.bytesChecked) / (1024.0 * 1024.0));
  std::string mb = megabytes;
  for (char& c : mb)
    if (c == '.') c = ',';
  lines.push_back(fmt::sprintf(vt::kTotalChecked, GroupedNumber(t.filesChecked), mb, t.folders));
  lines.push_back(fmt::sprintf(vt::kTotalChanged, t.changed + t.notRegular, t.archivesDamaged));
  lines.push_back(fmt::sprintf(vt::kTotalMissing, t.missing, t.unlisted));
  if (t.notYetChecked) lines.push_back(fmt::sprintf(vt::kTotalNotYetChecked, t.notYetChecked));
  if (t.unreadable) lines.push_back(fmt::sprintf(vt::kTotalUnreadable, t.unreadable));
  if (t.foldersWithoutList) lines.push_back(fmt::sprintf(vt::kTotalNoList, t.foldersWithoutList));
  if (t.targetsMissing) lines.push_back(fmt::sprintf(vt::kTotalTargetsMissing, t.targetsMissing));
  if (t.sourcesRead || t.sourceRot || t.sourceUnreadable)
    lines.push_back(fmt::sprintf(vt::kTotalSource, t.sourcesRead, t.sourceRot));
  return lines;
}

std::vector<std::string> AdviceLines(const VerifyTotals& t) {
  std::vector<std::string> lines;
  if (t.changed || t.missing || t.archivesDamaged || t.notRegular || t.unreadable) lines.push_back(vt::kAdviceDamaged);
  if (t.unlisted || t.notYetChecked) lines.push_back(vt::kAdviceUnlisted);
  if (t.sourceRot) lines.push_back(vt::kAdviceSource);
  if (t.foldersWithoutList) lines.push_back(vt::kAdviceNoList);
  if (t.targetsMissing) lines.push_back(vt::kAdviceTargetMissing);
  return lines;
}

RunNotification VerifyNotification(const VerifyTotals& totals) {
  RunNotification n;
  if (!totals.busyLine.empty()) return {vt::kNotifyNotStarted, totals.busyLine, 2};
  n.body = VerdictText(totals);
  for (const std::string& line : SummaryLines(totals)) n.body += "\n" + line;
  if (totals.cancelled) {
    n.summary = vt::kNotifyCancelled;
    n.urgency = 2;
  } else if (totals.damageFound()) {
    n.summary = vt::kNotifyFound;
    n.urgency = 2;
  } else if (totals.anythingFound()) {  // only a drive that was not plugged in
    n.summary = vt::kNotifyNotReachable;
    n.urgency = 1;
  } else {
    n.summary = vt::kNotifyClean;
    n.urgency = 1;
  }
  return n;
}

}  // namespace kalvero
