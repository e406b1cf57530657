#pragma once
// Run logs and report lines made comparable: their dates and times masked,
// their lines joined.
#include <string>
#include <vector>

namespace kalvero::test {

// Every date with its time ("07.12.2026  22:05:24", one or two spaces) as
// "T", every "Benötigte Zeit = hh:mm:ss" as "Benötigte Zeit = D".
std::string maskTimes(const std::string& text);
// The lines as one text, each ended as the run log ends it (CR LF).
std::string joined(const std::vector<std::string>& lines);

}  // namespace kalvero::test
