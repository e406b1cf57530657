#include "run/Filters.h"

#include <cstddef>

#include "platform/PathUtil.h"
#include "platform/TextUtil.h"
#include "run/ChecksumList.h"

namespace kalvero {

namespace {

// Upper case of byte i of s. ASCII letters, and the second byte of the
// two-byte UTF-8 letters U+00E0..U+00FE (except the division sign), fold;
// ß and everything else stay as they are. Folding keeps the length, so
// prefix and suffix tests work on the folded bytes directly.
inline unsigned char foldAt(std::string_view s, std::size_t i) {
  const auto c = static_cast<unsigned char>(s[i]);
  if (c >= 'a' && c <= 'z') return static_cast<unsigned char>(c - 32);
  if (c >= 0xA0 && c <= 0xBE && c != 0xB7 && i > 0 && static_cast<unsigned char>(s[i - 1]) == 0xC3)
    return static_cast<unsigned char>(c - 0x20);
  return c;
}

// text[tOff..] against pattern[pOff..pOff+n) ignoring case.
bool equalFolded(std::string_view text, std::size_t tOff, std::string_view pattern, std::size_t pOff,
                 std::size_t n) {
  for (std::size_t k = 0; k < n; ++k)
    if (foldAt(text, tOff + k) != foldAt(pattern, pOff + k)) return false;
  return true;
}

std::string_view trimmed(std::string_view s) { return platform::TrimWhiteSpace(s); }

// The file name part of a path split as the path splitter does it: name
// without extension, and the extension from the last "." on.
void splitName(std::string_view path, std::string_view& name, std::string_view& ext) {
  const auto slash = path.rfind('/');
  std::string_view file = slash == std::string_view::npos ? path : path.substr(slash + 1);
  const auto dot = file.rfind('.');
  if (dot == std::string_view::npos) {
    name = file;
    ext = {};
  } else {
    name = file.substr(0, dot);
    ext = file.substr(dot);
  }
}

}  // namespace

std::string FoldCase(std::string_view text) {
  std::string out(text.size(), '\0');
  for (std::size_t i = 0; i < text.size(); ++i) out[i] = static_cast<char>(foldAt(text, i));
  return out;
}

void BuildPatternList(const std::string& text, std::vector<std::string>& list) {
  list.clear();
  std::string field;
  for (int n = 1; ExtractField(field, text, n, ','); ++n) {
    const std::string_view entry = trimmed(field);
    if (!entry.empty()) list.emplace_back(entry);
  }
}

namespace {

// A part with its stars in one run at one end (or all stars, or none).
bool componentAllowed(std::string_view part) {
  const auto first = part.find('*');
  if (first == std::string_view::npos) return true;
  const auto firstPlain = part.find_first_not_of('*');
  if (firstPlain == std::string_view::npos) return true;
  const auto lastPlain = part.find_last_not_of('*');
  const std::string_view core = part.substr(firstPlain, lastPlain - firstPlain + 1);
  if (core.find('*') != std::string_view::npos) return false;  // a star between the letters
  return firstPlain == 0 || lastPlain + 1 == part.size();       // not at both ends
}

}  // namespace

bool PatternAllowed(std::string_view pattern) {
  const auto dot = pattern.find('.');
  if (dot == std::string_view::npos) return componentAllowed(pattern);
  return componentAllowed(pattern.substr(0, dot)) && componentAllowed(pattern.substr(dot + 1));
}

std::string FirstForbiddenPattern(const std::string& text) {
  std::vector<std::string> list;
  BuildPatternList(text, list);
  for (const std::string& pattern : list)
    if (!PatternAllowed(pattern)) return pattern;
  return {};
}

bool MatchComponent(std::string_view text, std::string_view pattern) {
  if (pattern.empty()) return true;
  if (pattern.front() == '*') {
    // A leading star: the text must end with the rest of the pattern. After
    // the reversal the star is trailing, so all leading stars go; any star
    // left at the end is then taken literally.
    const auto start = pattern.find_first_not_of('*');
    if (start == std::string_view::npos) return true;
    const std::string_view core = pattern.substr(start);
    if (core.size() > text.size()) return false;
    return equalFolded(text, text.size() - core.size(), pattern, start, core.size());
  }
  const auto end = pattern.find_last_not_of('*') + 1;  // pattern[0] is not '*', so end >= 1
  if (end < pattern.size()) {
    if (end > text.size()) return false;
    return equalFolded(text, 0, pattern, 0, end);
  }
  return text.size() == pattern.size() && equalFolded(text, 0, pattern, 0, pattern.size());
}

bool MatchPatterns(std::string_view path, const std::vector<std::string>& list) {
  if (list.empty()) return true;
  std::string_view name, ext;
  splitName(path, name, ext);
  while (!ext.empty() && ext.front() == '.') ext.remove_prefix(1);
  for (const std::string& p : list) {
    const std::string_view pattern(p);
    const auto dot = pattern.find('.');
    const std::string_view namePattern = dot == std::string_view::npos ? pattern : pattern.substr(0, dot);
    const std::string_view extPattern = dot == std::string_view::npos ? std::string_view{} : pattern.substr(dot + 1);
    if (MatchComponent(name, namePattern) && MatchComponent(ext, extPattern)) return true;
  }
  return false;
}

bool InDateRange(platform::FileTime lastWrite, const std::optional<std::int64_t>& from,
                 const std::optional<std::int64_t>& to) {
  if (!from && !to) return true;
  if (lastWrite == 0) return true;  // no time known for the file
  std::int64_t seconds = platform::unixSecondsFromFileTime(lastWrite);
  if (seconds < 0) seconds = -1;  // before 1970: earlier than every bound
  if (from && seconds < *from) return false;
  if (to && seconds > *to) return false;
  return true;
}

DateBounds MakeDateBounds(const DateFilter& filter, int datumOption) {
  DateBounds bounds;
  if (datumOption == 0) return bounds;
  const auto secondsOf = [](const DateTime& d) -> std::optional<std::int64_t> {
    const long long s = d.valid() ? d.toLocalEpochSeconds() : -1;
    if (s == -1) return std::nullopt;
    return s;
  };
  bounds.from = secondsOf(filter.from);
  bounds.to = secondsOf(filter.to);
  return bounds;
}

NoCompressSet BuildNoCompressSet(const std::string& text) {
  NoCompressSet set;
  std::string field;
  for (int n = 1; ExtractField(field, text, n, ','); ++n) {
    const std::string_view entry = trimmed(field);
    if (entry.empty()) break;  // an empty entry ends this list
    std::string ext = FoldCase(entry);
    if (ext.front() != '.') ext.insert(ext.begin(), '.');
    set.insert(std::move(ext));
  }
  return set;
}

bool CompressDecision(std::string_view sourcePath, std::uint64_t size, int compressOption,
                      const NoCompressSet& noCompress) {
  // A user's file named as the checksum list (or its journal) is always kept
  // as its archive: the plain name in a backup folder is the program's.
  if (IsProgramFileName(sourcePath.substr(sourcePath.rfind('/') + 1))) return true;
  if (compressOption == 0) return false;
  if (size / 1024 >= 1000000) return false;
  if (noCompress.empty()) return true;
  std::string_view name, ext;
  splitName(sourcePath, name, ext);
  return noCompress.find(FoldCase(ext)) == noCompress.end();
}

}  // namespace kalvero
