#pragma once
// Small text helpers every layer uses: trimming and reading a number the way
// the settings file has always been read.
#include <string_view>

namespace kalvero::platform {

// Without leading and trailing blanks and tabs.
std::string_view TrimBlanks(std::string_view text);
// Without leading and trailing white space (blanks, tabs, line breaks, \v, \f).
std::string_view TrimWhiteSpace(std::string_view text);
// As atoi: leading blanks, a sign, digits; anything after them ignored, no
// digits give 0; a value beyond int saturates.
int AtoiLike(std::string_view text);

}  // namespace kalvero::platform
