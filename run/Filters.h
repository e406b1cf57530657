#pragma once
// The selection tests of the walk (archive bit, name patterns, date
// interval) and the per-file compression decision.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "app/Records.h"
#include "platform/FileTime.h"

namespace kalvero {

// Fills list from a comma-separated pattern text: entries trimmed, empty
// entries skipped.
void BuildPatternList(const std::string& text, std::vector<std::string>& list);

// Whether a pattern has a form the matching below can honour: in its name
// part and in its extension part (split at the first "."), "*" stands only at
// the beginning or only at the end ("*.doc", "a*.b*", "*a.*b", "Test.*").
// "a*b.doc", "*b*.doc" or "Test.*a*" would silently match nothing.
bool PatternAllowed(std::string_view pattern);

// The first entry of a comma-separated pattern text that is not allowed,
// "" when every entry is.
std::string FirstForbiddenPattern(const std::string& text);

// True when the file name of path matches at least one pattern (and when the
// list is empty). Letter case is ignored.
bool MatchPatterns(std::string_view path, const std::vector<std::string>& list);

// One part of a pattern against a name or an extension: "" and "*" match
// anything, a leading "*" means "ends with", a trailing one "begins with",
// anything else is compared literally. Letter case is ignored.
bool MatchComponent(std::string_view text, std::string_view pattern);

// Whether a last-write time lies inside the inclusive bounds (seconds since
// 1970). A time before 1970 counts as -1; a file without a time passes.
bool InDateRange(platform::FileTime lastWrite, const std::optional<std::int64_t>& from,
                 const std::optional<std::int64_t>& to);

struct DateBounds {
  std::optional<std::int64_t> from;
  std::optional<std::int64_t> to;
};
// The bounds the walk uses: none when the option "Datum" is off; otherwise
// every valid date of the filter, taken as local time.
DateBounds MakeDateBounds(const DateFilter& filter, int datumOption);

// Upper-case extensions with their dot, from the "NotCompress" text. An
// empty entry ends the list.
using NoCompressSet = std::unordered_set<std::string>;
NoCompressSet BuildNoCompressSet(const std::string& text);

// Whether a file is compressed: the option is on, the file is smaller than
// 1,024,000,000 bytes and its extension is not in the set.
bool CompressDecision(std::string_view sourcePath, std::uint64_t size, int compressOption,
                      const NoCompressSet& noCompress);

// The case folding of patterns and extensions: ASCII letters and the
// two-byte UTF-8 Latin-1 letters (ä -> Ä ...) become upper case.
std::string FoldCase(std::string_view text);

}  // namespace kalvero
