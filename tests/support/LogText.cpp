#include "support/LogText.h"

#include <regex>

#include "run/RunReport.h"

namespace kalvero::test {

std::string maskTimes(const std::string& text) {
  static const std::regex stamp(R"(\d\d\.\d\d\.\d{4}  ?\d\d:\d\d:\d\d)");
  static const std::regex elapsed(R"(Benötigte Zeit = \d\d:\d\d:\d\d)");
  return std::regex_replace(std::regex_replace(text, stamp, "T"), elapsed, "Benötigte Zeit = D");
}

std::string joined(const std::vector<std::string>& lines) {
  std::string all;
  for (const auto& l : lines) all += l + kLineEnd;
  return all;
}

}  // namespace kalvero::test
