#include "app/PairCheck.h"

#include <fmt/printf.h>

#include "app/AppTexts.h"
#include "platform/LevelOpen.h"
#include "platform/PathUtil.h"

namespace kalvero {

namespace {

// True when path is dir itself or lies below it (whole components only).
bool isInside(const std::string& path, const std::string& dir) {
  const std::string p = WithoutTrailingSlash(path), d = WithoutTrailingSlash(dir);
  if (p == d) return true;
  if (d == "/") return !p.empty() && p[0] == '/';
  return p.size() > d.size() && p.compare(0, d.size(), d) == 0 && p[d.size()] == '/';
}

}  // namespace

std::string CheckPairInput(const DirPair& pair) {
  if (pair.source.empty() || pair.destination.empty()) return texts::kPairFieldsMissing;
  if (pair.source.find('|') != std::string::npos) return texts::kPairBarInSource;
  if (HasLineBreak(pair.source) || HasLineBreak(pair.destination)) return texts::kPairLineBreak;
  for (const ExcludedDir& e : pair.excluded)
    if (HasLineBreak(e.directory)) return texts::kPairLineBreak;
  // Every run would copy the previous backup again, one level deeper; a link
  // or ".." in either path must not hide it, so the directories themselves
  // are compared too.
  if (isInside(pair.destination, pair.source) || platform::isSameOrBelow(pair.destination, pair.source))
    return fmt::sprintf(texts::kPairDestinationInSource, pair.destination, pair.source);
  for (const ExcludedDir& e : pair.excluded)
    if (e.directory.empty() || !isInside(e.directory, pair.source))
      return fmt::sprintf(texts::kPairExcludedOutside, e.directory, pair.source);
  return {};
}

}  // namespace kalvero
