#include "backup/RunLog.h"

#include <fmt/printf.h>

#include <algorithm>
#include <ctime>

#include "backup/BackupTexts.h"
#include "platform/PathUtil.h"

namespace kalvero {

namespace {

const char* yesNo(int v) { return v ? texts::YES : texts::NO; }

std::int64_t nowSeconds() { return static_cast<std::int64_t>(std::time(nullptr)); }

platform::LocalTime localOf(std::int64_t seconds) {
  platform::LocalTime t;
  if (!platform::localFromUnix(seconds, t)) t = platform::localNow();
  return t;
}

}  // namespace

bool RunLog::open(const std::string& path) {
  file_.close();
  if (path.empty()) return false;
  return file_.open(path, platform::TextFileWriter::Mode::Append);
}

void RunLog::write(const std::string& text) {
  std::string out;
  out.reserve(text.size() + 8);
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) out += '\r';
    out += text[i];
  }
  file_.write(out);
}

std::string KbyteText(std::uint64_t kbyte, const char* kbFormat, const char* mbFormat) {
  if (kbyte < 1024) return fmt::sprintf(kbFormat, static_cast<int>(kbyte));
  std::string text = fmt::sprintf(mbFormat, static_cast<double>(kbyte) * 0.0009765625);
  std::replace(text.begin(), text.end(), '.', ',');
  return text;
}

std::int64_t WritePairHeader(RunLog& log, const PairHeader& h) {
  const std::int64_t start = nowSeconds();
  if (!log.isOpen()) return start;
  try {
    const platform::LocalTime t = localOf(start);
    log.write(fmt::sprintf(texts::LOG_STARTED, t.day, t.month, t.year, t.hour, t.minute, t.second));
    log.write(fmt::sprintf(texts::LOG_VERSION, h.versionText));
    log.write(fmt::sprintf(texts::LOG_SOURCE, h.source) + "\r\n");
    log.write(std::string(GetPathKind(h.source) == PathKind::Directory ? texts::LOG_SOURCE_EXISTS : texts::LOG_SOURCE_MISSING) + "\r\n");
    log.write(fmt::sprintf(texts::LOG_DESTINATION, h.destinationRoot) + "\r\n");
    const BackupOptions& o = h.options;
    const OptionCaptions& c = h.captions;
    log.write(fmt::sprintf(texts::LOG_OPTION, c.archivbit, yesNo(o.Archivbit)));
    log.write(fmt::sprintf(texts::LOG_OPTION, c.archivbitReset, yesNo(o.ArchivbitReset)));
    log.write(fmt::sprintf(texts::LOG_OPTION, c.compare, yesNo(o.Compare)));
    log.write(fmt::sprintf(texts::LOG_OPTION, c.exit, yesNo(o.Exit)));
    log.write(fmt::sprintf(texts::LOG_OPTION, c.reboot, yesNo(o.Reboot)));
    log.write(fmt::sprintf(texts::LOG_OPTION, c.subVerzDatum, yesNo(o.SubVerzDatum)));
    log.write(fmt::sprintf(texts::LOG_OPTION, c.compress, yesNo(o.Compress)));
    log.write(fmt::sprintf(texts::LOG_NOT_COMPRESSED, o.NotCompress));
    log.write(fmt::sprintf(texts::LOG_OPTION, c.close, yesNo(o.Close)));
    log.write(fmt::sprintf(texts::LOG_OPTION, c.datum, yesNo(o.Datum)));
    log.write(fmt::sprintf(texts::LOG_OPTION, c.deleteZieldatei, yesNo(o.DeleteZieldatei)));
    if (o.MusterFlagErlaubt) log.write(fmt::sprintf(texts::LOG_PATTERNS, c.musterErlaubt, o.MusterErlaubt));
    if (o.MusterFlagNichtErlaubt)
      log.write(fmt::sprintf(texts::LOG_PATTERNS, c.musterNichtErlaubt, o.MusterNichtErlaubt));
  } catch (const std::exception&) {
    // The header ends early; the run goes on.
  }
  return start;
}

void WritePairSummary(RunLog& log, const PairSummary& s) {
  if (!log.isOpen()) return;
  try {
    log.write(fmt::sprintf(texts::LOG_FILES_COPIED, s.filesDone - s.pairSkipped) + "\r\n");
    log.write(fmt::sprintf(texts::LOG_FILES_SKIPPED, s.pairSkipped) + "\r\n");
    log.write(KbyteText(s.kbyte, texts::LOG_KBYTE_COPIED, texts::LOG_MBYTE_COPIED) + "\r\n");
    if (s.compressedKbyte > 0)
      log.write(KbyteText(s.compressedKbyte, texts::LOG_KBYTE_COMPRESSED, texts::LOG_MBYTE_COMPRESSED) + "\r\n");
    if (!s.smallestName.empty())
      log.write(fmt::sprintf(texts::LOG_SMALLEST, static_cast<long long>(s.smallestKbyte), s.smallestName) + "\r\n");
    if (!s.largestName.empty())
      log.write(fmt::sprintf(texts::LOG_LARGEST, static_cast<long long>(s.largestKbyte), s.largestName) + "\r\n");
    const std::int64_t end = nowSeconds();
    const platform::LocalTime t = localOf(end);
    log.write(fmt::sprintf(texts::LOG_ENDED, t.day, t.month, t.year, t.hour, t.minute, t.second));
    const std::int64_t span = std::max<std::int64_t>(0, end - s.startSeconds);
    log.write(fmt::sprintf(texts::LOG_DURATION, static_cast<int>((span / 3600) % 24), static_cast<int>((span / 60) % 60),
                           static_cast<int>(span % 60)) +
              "\r\n");
    log.write("\r\n" + fmt::sprintf(texts::LOG_PAIR_ERRORS, s.pairErrors) + "\r\n");
    if (s.cancelled) log.write(std::string(texts::LOG_CANCELLED) + "\r\n");
    log.write(std::string(80, '-') + "\r\n");
  } catch (const std::exception&) {
    // The summary ends early; the run goes on.
  }
}

void WriteFinalSummary(RunLog& log, const std::vector<PairResult>& results, const std::string& checkFileError) {
  if (!log.isOpen()) return;
  int skippedTotal = 0;
  int errorTotal = 0;
  int missingSources = 0;
  try {
    const platform::LocalTime t = platform::localNow();
    log.write("\r\n");
    log.write(fmt::sprintf(texts::SUMMARY_HEADER, t.day, t.month, t.year, t.hour, t.minute, t.second));
  } catch (const std::exception&) {
  }
  for (const PairResult& r : results) {
    // Each pair in its own guarded block: one failure does not stop the others.
    try {
      log.write(fmt::sprintf(texts::SUMMARY_SOURCE, r.source) + "\r\n");
      log.write(fmt::sprintf(texts::SUMMARY_DESTINATION, r.destination) + "\r\n");
      log.write(fmt::sprintf(texts::SUMMARY_SUBDIRS, yesNo(r.withSubdirs)) + "\r\n");
      for (const auto& d : r.excludedTrees) log.write(fmt::sprintf(texts::SUMMARY_EXCLUDED_TREE, d) + "\r\n");
      for (const auto& d : r.excludedDirectories) log.write(fmt::sprintf(texts::SUMMARY_EXCLUDED_DIR, d) + "\r\n");
      const bool exists = GetPathKind(r.source) == PathKind::Directory;
      if (!exists) ++missingSources;
      log.write(std::string(exists ? texts::LOG_SOURCE_EXISTS : texts::LOG_SOURCE_MISSING) + "\r\n");
      log.write(fmt::sprintf(texts::SUMMARY_PAIR_COUNTS, r.filesHandled - r.skipped, r.skipped, r.errors) + "\r\n");
      log.write("\r\n");
    } catch (const std::exception&) {
    }
    errorTotal += r.errors;
    skippedTotal += r.skipped;
  }
  try {
    log.write(fmt::sprintf(texts::SUMMARY_TOTAL_SKIPPED, skippedTotal) + "\r\n");
    log.write(fmt::sprintf(texts::SUMMARY_TOTAL_ERRORS, errorTotal, missingSources) + "\r\n");
    if (!checkFileError.empty()) log.write(checkFileError);
    log.write(std::string(80, '*') + "\r\n");
  } catch (const std::exception&) {
  }
  log.close();
}

}  // namespace kalvero
