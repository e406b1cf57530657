#include "verify/VerifyResult.h"

#include <utility>

namespace kalvero {

bool IsDamage(FindingKind kind) { return kind != FindingKind::NotYetChecked; }

void VerifyTotals::add(Finding finding) {
  switch (finding.kind) {
    case FindingKind::Changed: ++changed; break;
    case FindingKind::Missing: ++missing; break;
    case FindingKind::Unlisted: ++unlisted; break;
    case FindingKind::NotYetChecked: ++notYetChecked; break;
    case FindingKind::NotRegular: ++notRegular; break;
    case FindingKind::Unreadable: ++unreadable; break;
    case FindingKind::ArchiveDamaged: ++archivesDamaged; break;
    case FindingKind::SourceRot: ++sourceRot; break;
    case FindingKind::SourceUnreadable: ++sourceUnreadable; break;
    case FindingKind::NoList: ++foldersWithoutList; break;
    case FindingKind::TargetMissing: ++targetsMissing; break;
    case FindingKind::ListProblem: ++listProblems; break;
  }
  findings.push_back(std::move(finding));
}

bool VerifyTotals::anythingFound() const {
  for (const Finding& f : findings)
    if (IsDamage(f.kind)) return true;
  return false;
}

bool VerifyTotals::damageFound() const {
  for (const Finding& f : findings)
    if (IsDamage(f.kind) && f.kind != FindingKind::TargetMissing) return true;
  return false;
}

int VerifyTotals::affectedFiles() const {
  return changed + missing + unlisted + notRegular + unreadable + archivesDamaged + sourceRot + sourceUnreadable;
}

}  // namespace kalvero
