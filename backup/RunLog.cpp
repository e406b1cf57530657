#include "backup/RunLog.h"

#include <fmt/printf.h>

#include <algorithm>
#include <ctime>

#include "backup/BackupTexts.h"
#include "platform/PathUtil.h"
#include "run/RunReport.h"

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

void RunLog::writeLine(const std::string& text) { write(WithoutLineEnd(text) + kLineEnd); }

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
    log.writeLine(fmt::sprintf(texts::LOG_STARTED, t.day, t.month, t.year, t.hour, t.minute, t.second));
    log.writeLine(fmt::sprintf(texts::LOG_VERSION, h.versionText));
    log.writeLine(fmt::sprintf(texts::LOG_SOURCE, h.source));
    log.writeLine(GetPathKind(h.source) == PathKind::Directory ? texts::LOG_SOURCE_EXISTS : texts::LOG_SOURCE_MISSING);
    log.writeLine(fmt::sprintf(texts::LOG_DESTINATION, h.destinationRoot));
    const BackupOptions& o = h.options;
    const OptionCaptions& c = h.captions;
    log.writeLine(fmt::sprintf(texts::LOG_OPTION, c.archivbit, yesNo(o.Archivbit)));
    log.writeLine(fmt::sprintf(texts::LOG_OPTION, c.archivbitReset, yesNo(o.ArchivbitReset)));
    log.writeLine(fmt::sprintf(texts::LOG_OPTION, c.compare, yesNo(o.Compare)));
    log.writeLine(fmt::sprintf(texts::LOG_OPTION, c.exit, yesNo(o.Exit)));
    log.writeLine(fmt::sprintf(texts::LOG_OPTION, c.reboot, yesNo(o.Reboot)));
    log.writeLine(fmt::sprintf(texts::LOG_OPTION, c.subVerzDatum, yesNo(o.SubVerzDatum)));
    if (o.SubVerzDatum && o.DatumVollstaendig)
      log.writeLine(fmt::sprintf(texts::LOG_OPTION, texts::CAPTION_DATUM_VOLLSTAENDIG, yesNo(1)));
    log.writeLine(fmt::sprintf(texts::LOG_OPTION, c.compress, yesNo(o.Compress)));
    log.writeLine(fmt::sprintf(texts::LOG_NOT_COMPRESSED, o.NotCompress));
    log.writeLine(fmt::sprintf(texts::LOG_OPTION, c.close, yesNo(o.Close)));
    log.writeLine(fmt::sprintf(texts::LOG_OPTION, c.datum, yesNo(o.Datum)));
    log.writeLine(fmt::sprintf(texts::LOG_OPTION, c.deleteZieldatei, yesNo(o.DeleteZieldatei)));
    if (o.MusterFlagErlaubt) log.writeLine(fmt::sprintf(texts::LOG_PATTERNS, c.musterErlaubt, o.MusterErlaubt));
    if (o.MusterFlagNichtErlaubt)
      log.writeLine(fmt::sprintf(texts::LOG_PATTERNS, c.musterNichtErlaubt, o.MusterNichtErlaubt));
  } catch (const std::exception&) {
    // The header ends early; the run goes on.
  }
  return start;
}

void WritePairSummary(RunLog& log, const PairSummary& s) {
  if (!log.isOpen()) return;
  try {
    log.writeLine(fmt::sprintf(texts::LOG_FILES_COPIED, s.filesDone - s.pairSkipped));
    if (s.linked >= 0) log.writeLine(fmt::sprintf(texts::LOG_FILES_LINKED, s.linked));
    log.writeLine(fmt::sprintf(texts::LOG_FILES_SKIPPED, s.pairSkipped));
    log.writeLine(KbyteText(s.kbyte, texts::LOG_KBYTE_COPIED, texts::LOG_MBYTE_COPIED));
    if (s.compressedKbyte > 0)
      log.writeLine(KbyteText(s.compressedKbyte, texts::LOG_KBYTE_COMPRESSED, texts::LOG_MBYTE_COMPRESSED));
    if (!s.smallestName.empty())
      log.writeLine(fmt::sprintf(texts::LOG_SMALLEST, static_cast<long long>(s.smallestKbyte), s.smallestName));
    if (!s.largestName.empty())
      log.writeLine(fmt::sprintf(texts::LOG_LARGEST, static_cast<long long>(s.largestKbyte), s.largestName));
    const std::int64_t end = nowSeconds();
    const platform::LocalTime t = localOf(end);
    log.writeLine(fmt::sprintf(texts::LOG_ENDED, t.day, t.month, t.year, t.hour, t.minute, t.second));
    const std::int64_t span = std::max<std::int64_t>(0, end - s.startSeconds);
    log.writeLine(fmt::sprintf(texts::LOG_DURATION, static_cast<int>((span / 3600) % 24),
                               static_cast<int>((span / 60) % 60), static_cast<int>(span % 60)));
    log.writeLine("");
    log.writeLine(fmt::sprintf(texts::LOG_PAIR_ERRORS, s.pairErrors));
    if (s.cancelled) log.writeLine(texts::LOG_CANCELLED);
    log.writeLine(std::string(80, '-'));
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
    log.writeLine("");
    log.writeLine(fmt::sprintf(texts::SUMMARY_HEADER, t.day, t.month, t.year, t.hour, t.minute, t.second));
  } catch (const std::exception&) {
  }
  for (const PairResult& r : results) {
    // Each pair in its own guarded block: one failure does not stop the others.
    try {
      log.writeLine(fmt::sprintf(texts::SUMMARY_SOURCE, r.source));
      log.writeLine(fmt::sprintf(texts::SUMMARY_DESTINATION, r.destination));
      log.writeLine(fmt::sprintf(texts::SUMMARY_SUBDIRS, yesNo(r.withSubdirs)));
      for (const auto& d : r.excludedTrees) log.writeLine(fmt::sprintf(texts::SUMMARY_EXCLUDED_TREE, d));
      for (const auto& d : r.excludedDirectories) log.writeLine(fmt::sprintf(texts::SUMMARY_EXCLUDED_DIR, d));
      const bool exists = GetPathKind(r.source) == PathKind::Directory;
      if (!exists) ++missingSources;
      log.writeLine(exists ? texts::LOG_SOURCE_EXISTS : texts::LOG_SOURCE_MISSING);
      log.writeLine(fmt::sprintf(texts::SUMMARY_PAIR_COUNTS, r.filesHandled - r.skipped, r.skipped, r.errors));
      log.writeLine("");
    } catch (const std::exception&) {
    }
    errorTotal += r.errors;
    skippedTotal += r.skipped;
  }
  try {
    log.writeLine(fmt::sprintf(texts::SUMMARY_TOTAL_SKIPPED, skippedTotal));
    log.writeLine(fmt::sprintf(texts::SUMMARY_TOTAL_ERRORS, errorTotal, missingSources));
    if (!checkFileError.empty()) log.writeLine(checkFileError);
    log.writeLine(std::string(80, '*'));
  } catch (const std::exception&) {
  }
  log.close();
}

}  // namespace kalvero
