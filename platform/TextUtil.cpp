#include "platform/TextUtil.h"

#include <climits>

namespace kalvero::platform {

namespace {

std::string_view trimOf(std::string_view text, std::string_view blanks) {
  const auto first = text.find_first_not_of(blanks);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

}  // namespace

std::string_view TrimBlanks(std::string_view text) { return trimOf(text, " \t"); }

std::string_view TrimWhiteSpace(std::string_view text) { return trimOf(text, " \t\r\n\v\f"); }

int AtoiLike(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  long long v = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    v = v * 10 + (text[i] - '0');
    if (v > static_cast<long long>(INT_MAX) + 1) v = static_cast<long long>(INT_MAX) + 1;  // saturate
  }
  if (negative) v = -v;
  if (v > INT_MAX) v = INT_MAX;
  if (v < INT_MIN) v = INT_MIN;
  return static_cast<int>(v);
}

}  // namespace kalvero::platform
