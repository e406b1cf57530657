#pragma once
// What a check says at its end, the same words in the window, on the
// command line and in the desktop notification.
#include <string>
#include <vector>

#include "run/RunNotification.h"
#include "verify/VerifyResult.h"

namespace kalvero {

// "Alle 2.013 Dateien der Sicherung sind unverändert." or what is wrong.
std::string VerdictText(const VerifyTotals& totals);
// The counts, one line each (lines with nothing to say left out).
std::vector<std::string> SummaryLines(const VerifyTotals& totals);
// What to do about what was found, one paragraph per kind of finding.
std::vector<std::string> AdviceLines(const VerifyTotals& totals);
// Critical when anything was found; the refusal of a busy destination too.
RunNotification VerifyNotification(const VerifyTotals& totals);

}  // namespace kalvero
