#include "backup/CheckFile.h"

#include <fmt/printf.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <vector>

#include "backup/BackupTexts.h"
#include "diag/ErrorText.h"
#include "platform/FileSystem.h"
#include "platform/FileTime.h"
#include "platform/Files.h"

namespace kalvero {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

std::string_view trim(std::string_view s) {
  std::size_t b = 0, e = s.size();
  while (b < e && isBlank(s[b])) ++b;
  while (e > b && isBlank(s[e - 1])) --e;
  return s.substr(b, e - b);
}

// Decimal number as strtoll reads it (leading blanks, a sign, digits, the
// rest ignored), saturated at the limits instead of overflowing. Bounded by
// the field, so a number never runs on into the next line.
std::int64_t parseNumber(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && isBlank(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  const std::uint64_t limit = negative ? std::uint64_t{1} << 63 : (std::uint64_t{1} << 63) - 1;
  std::uint64_t v = 0;
  bool over = false;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    const auto digit = static_cast<std::uint64_t>(text[i] - '0');
    if (over || v > (limit - digit) / 10)
      over = true;
    else
      v = v * 10 + digit;
  }
  if (over) v = limit;
  return negative ? static_cast<std::int64_t>(0 - v) : static_cast<std::int64_t>(v);
}

// A 32-bit field: huge values keep their low 32 bits, as a time half written
// by an older writer would.
std::int32_t parseInt32(std::string_view text) {
  const std::int64_t v = parseNumber(text);
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(static_cast<std::uint64_t>(v)));
}

bool hasLineBreak(std::string_view s) {
  return std::memchr(s.data(), '\n', s.size()) != nullptr || std::memchr(s.data(), '\r', s.size()) != nullptr;
}

std::string stampNow() {
  platform::LocalTime t = platform::localNow();
  return fmt::sprintf("%02d.%02d.%04d %02d:%02d:%02d", t.day, t.month, t.year, t.hour, t.minute, t.second);
}

// One line: the last four "|"-separated fields are the numbers, the rest is
// the key, so a name may itself contain "|"; missing fields read as 0.
bool parseLine(std::string_view rawLine, std::string_view& key, CheckEntry& entry) {
  const std::string_view line = trim(rawLine);
  if (line.empty() || line[0] == ';') return false;
  std::size_t bars[4];
  int found = 0;
  for (std::size_t from = line.size(); found < 4 && from > 0;) {
    const std::size_t bar = line.rfind('|', from - 1);
    if (bar == std::string_view::npos) break;
    bars[found++] = bar;
    from = bar;
  }
  std::string_view fields[5];
  std::size_t start = 0;
  int n = 0;
  for (int i = found - 1; i >= 0; --i) {
    fields[n++] = line.substr(start, bars[i] - start);
    start = bars[i] + 1;
  }
  fields[n] = line.substr(start);
  key = fields[0];
  entry = CheckEntry{};
  entry.reserved = parseInt32(fields[1]);
  entry.size = parseNumber(fields[2]);
  entry.timeHigh = parseInt32(fields[3]);
  entry.timeLow = parseInt32(fields[4]);
  entry.flags = CheckFile::CONFIRMED;
  return true;
}

}  // namespace

std::string_view CheckFile::join(CheckKey key) {
  joined_.assign(key.head).append(key.tail);
  return joined_;
}

bool CheckFile::ParseLine(std::string_view line, std::string& key, CheckEntry& entry) {
  std::string_view k;
  if (!parseLine(line, k, entry)) return false;
  key.assign(k);
  return true;
}

bool CheckFile::Load(const std::string& path) {
  Clear();
  path_ = path;
  if (!platform::readWholeFile(path, text_)) return false;
  // The keys stay views into the text read; lines end in LF, CR LF or a lone CR.
  entries_.reserve(static_cast<std::size_t>(std::count(text_.begin(), text_.end(), '\n')) + 1);
  const char* p = text_.data();
  const char* const end = p + text_.size();
  while (p < end) {
    const char* e = p;
    while (e < end && *e != '\n' && *e != '\r') ++e;
    std::string_view key;
    CheckEntry entry;
    if (parseLine(std::string_view(p, static_cast<std::size_t>(e - p)), key, entry)) {
      entry.flags |= IN_FILE;
      entries_.insert_or_assign(key, entry);
    }
    p = e + 1;
  }
  loaded_ = true;
  return true;
}

bool CheckFile::Save(const std::string& pathIn, std::string& error) {
  error.clear();
  const std::string path = pathIn.empty() ? path_ : pathIn;
  std::vector<const Map::value_type*> confirmed;
  confirmed.reserve(entries_.size());
  for (const auto& e : entries_)
    // A key with a line break would write a broken line: never stored.
    if ((e.second.flags & CONFIRMED) && !hasLineBreak(e.first)) confirmed.push_back(&e);
  std::sort(confirmed.begin(), confirmed.end(), [](auto* a, auto* b) { return a->first < b->first; });

  platform::AtomicFileWriter writer(path, 0666);
  int err = 0;
  // Written in blocks, so a large file never exists twice in memory.
  std::string text = fmt::sprintf(texts::CHECKFILE_HEADER, stampNow());
  bool ok = writer.open(&err);
  for (std::size_t i = 0; ok && i < confirmed.size(); ++i) {
    const auto* e = confirmed[i];
    text += fmt::sprintf(texts::CHECKFILE_LINE, e->first, e->second.reserved, static_cast<long long>(e->second.size),
                         e->second.timeHigh, e->second.timeLow);
    if (text.size() >= 65536) {
      ok = writer.write(text, &err);
      text.clear();
    }
  }
  if (ok && writer.write(text, &err) && writer.commit(&err)) return true;
  error = fmt::sprintf(texts::CHECKFILE_SAVE_FAILED, path, SystemErrorText(err).substr(0, 1024));
  return false;
}

CheckEntry& CheckFile::insert(std::string_view key) {
  const std::string& stored = added_.emplace_back(key);
  return entries_.emplace(std::string_view(stored), CheckEntry{}).first->second;
}

bool CheckFile::CheckAndRecord(std::string_view key, std::int64_t size, std::uint32_t timeLow,
                               std::uint32_t timeHigh) {
  return record(key, size, timeLow, timeHigh, false);
}

bool CheckFile::CheckAndConfirm(CheckKey parts, std::int64_t size, std::uint32_t timeLow, std::uint32_t timeHigh) {
  return record(join(parts), size, timeLow, timeHigh, true);
}

bool CheckFile::record(std::string_view key, std::int64_t size, std::uint32_t timeLow, std::uint32_t timeHigh,
                       bool confirm) {
  const auto low = static_cast<std::int32_t>(timeLow);
  const auto high = static_cast<std::int32_t>(timeHigh);
  auto it = entries_.find(key);
  if (it != entries_.end() && it->second.timeLow == low && it->second.timeHigh == high && it->second.size == size) {
    if (confirm) it->second.flags |= CONFIRMED;
    return true;
  }
  CheckEntry& e = it != entries_.end() ? it->second : insert(key);
  e.reserved = 0;
  e.size = size;
  e.timeLow = low;
  e.timeHigh = high;
  if (e.flags & IN_FILE) valuesChanged_ = true;
  if (confirm) e.flags &= IN_FILE;
  return false;
}

void CheckFile::MarkCopied(std::string_view key, bool copied) {
  auto it = entries_.find(key);
  if (it == entries_.end()) return;
  if (copied)
    it->second.flags |= CONFIRMED;
  else
    it->second.flags &= static_cast<unsigned char>(~CONFIRMED);
}

void CheckFile::Clear() {
  Map().swap(entries_);
  added_.clear();
  std::string().swap(text_);
  loaded_ = false;
  valuesChanged_ = false;
}

bool CheckFile::NeedsSave() const {
  if (!loaded_ || valuesChanged_) return true;
  for (const auto& [key, e] : entries_) {
    const bool written = (e.flags & CONFIRMED) && !hasLineBreak(key);
    if (written != ((e.flags & IN_FILE) != 0)) return true;
  }
  return false;
}

const CheckEntry* CheckFile::find(std::string_view key) const {
  auto it = entries_.find(key);
  return it == entries_.end() ? nullptr : &it->second;
}

bool SaveCheckFileWithBackup(CheckFile& file, const std::string& path, std::string& error) {
  // Nothing changed: the file (and any ".bak" beside it) stays as it is.
  if (path == file.path() && !file.NeedsSave() && platform::lstatPath(path)) {
    file.Clear();
    error.clear();
    return true;
  }
  std::string backup = path + ".bak";
  platform::removeFile(backup);
  // The ".bak" name is a second link to the old file, so the old file stays
  // under its own name until the new one replaces it in one rename: a crash
  // in between leaves the old check file, never none. Without hard links the
  // old file is moved aside as before.
  bool linked = platform::linkPath(path, backup);
  if (!linked && !platform::renamePath(path, backup)) backup.clear();
  const bool saved = file.Save(path, error);
  file.Clear();
  if (!saved) {
    error += "\r\n";
    if (!backup.empty() && !linked) {
      platform::removeFile(path);
      if (!platform::renamePath(backup, path)) backup.clear();
    }
  }
  if (!backup.empty()) platform::removeFile(backup);
  return saved;
}

}  // namespace kalvero
