#include "restore/RestoreLog.h"

#include <algorithm>

#include <fmt/printf.h>

#include "restore/RestoreTexts.h"

namespace kalvero {

namespace t = restore_text;

std::string FormatLocalTime(const char* format, const platform::LocalTime& lt) {
  return fmt::sprintf(format, lt.day, lt.month, lt.year, lt.hour, lt.minute, lt.second);
}

std::string FormatKiloOrMega(std::uint64_t kbytes, const char* kiloFormat, const char* megaFormat) {
  if (kbytes < 1024) return fmt::sprintf(kiloFormat, kbytes);
  std::string text = fmt::sprintf(megaFormat, static_cast<double>(kbytes) / 1024.0);
  std::replace(text.begin(), text.end(), '.', ',');
  return text;
}

std::vector<std::string> RestoreHeaderLines(const RestoreHeaderData& d) {
  return {
      FormatLocalTime(t::kStarted, d.start),
      fmt::sprintf(t::kSource, d.source),
      fmt::sprintf(t::kDestination, d.destination),
      fmt::sprintf(t::kOption, d.subdirCaption, d.withSubdirs ? t::kYes : t::kNo),
  };
}

std::string RestoreFileCountLine(int files) { return fmt::sprintf(t::kFileCount, files); }

std::vector<std::string> RestoreSummaryLines(const RestoreSummaryData& d) {
  std::vector<std::string> lines;
  lines.push_back(fmt::sprintf(t::kFilesCopied, d.filesDone));
  lines.push_back(FormatKiloOrMega(d.sourceBytes / 1024, t::kKiloCopied, t::kMegaCopied));
  if (d.unpackedBytes / 1024 != 0)
    lines.push_back(FormatKiloOrMega(d.unpackedBytes / 1024, t::kKiloUnpacked, t::kMegaUnpacked));
  if (d.keptVersions != 0) lines.push_back(fmt::sprintf(t::kKeptCount, d.keptVersions));
  if (d.unchangedTargets != 0) lines.push_back(fmt::sprintf(t::kUnchangedCount, d.unchangedTargets));
  if (d.haveSmallest) lines.push_back(fmt::sprintf(t::kSmallest, d.smallestSize, d.smallestName));
  if (d.haveLargest) lines.push_back(fmt::sprintf(t::kLargest, d.largestSize, d.largestName));
  lines.push_back(FormatLocalTime(t::kFinished, d.end));
  const std::int64_t s = std::max<std::int64_t>(0, d.elapsedSeconds);
  lines.push_back(fmt::sprintf(t::kElapsed, s / 3600, (s / 60) % 60, s % 60));
  lines.push_back("");
  lines.push_back(fmt::sprintf(t::kErrors, d.errors));
  if (d.cancelled) lines.push_back(std::string(t::kCancelled));
  lines.push_back(std::string(80, '-'));
  return lines;
}

}  // namespace kalvero
