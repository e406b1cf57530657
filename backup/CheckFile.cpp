#include "backup/CheckFile.h"

#include <fmt/printf.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <limits>

#include "backup/BackupTexts.h"
#include "diag/ErrorText.h"
#include "platform/FileSystem.h"
#include "platform/FileTime.h"
#include "platform/Files.h"

namespace kalvero {

namespace {

std::string trim(const std::string& s) {
  const char* ws = " \t\r\n\v\f";
  const auto b = s.find_first_not_of(ws);
  if (b == std::string::npos) return {};
  const auto e = s.find_last_not_of(ws);
  return s.substr(b, e - b + 1);
}

// Decimal number as atol reads it, saturated instead of overflowing.
std::int64_t parseNumber(const std::string& text) {
  errno = 0;
  const long long v = std::strtoll(text.c_str(), nullptr, 10);
  return v;  // strtoll saturates at the limits on overflow
}

// A 32-bit field: huge values keep their low 32 bits, as a time half written
// by an older writer would.
std::int32_t parseInt32(const std::string& text) {
  const std::int64_t v = parseNumber(text);
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(static_cast<std::uint64_t>(v)));
}

std::string stampNow() {
  platform::LocalTime t = platform::localNow();
  return fmt::sprintf("%02d.%02d.%04d %02d:%02d:%02d", t.day, t.month, t.year, t.hour, t.minute, t.second);
}

}  // namespace

bool CheckFile::ParseLine(const std::string& rawLine, std::string& key, CheckEntry& entry) {
  const std::string line = trim(rawLine);
  if (line.empty() || line[0] == ';') return false;
  std::vector<std::string> fields;
  std::size_t from = 0;
  for (;;) {
    const auto bar = line.find('|', from);
    if (bar == std::string::npos) {
      fields.push_back(line.substr(from));
      break;
    }
    fields.push_back(line.substr(from, bar - from));
    from = bar + 1;
  }
  entry = CheckEntry{};
  if (fields.size() >= 5) {
    // Read from the right: the last four fields are the numbers, the rest is
    // the key, so a name may itself contain "|".
    const std::size_t n = fields.size();
    key.clear();
    for (std::size_t i = 0; i + 4 < n; ++i) {
      if (i) key += '|';
      key += fields[i];
    }
    entry.reserved = parseInt32(fields[n - 4]);
    entry.size = parseNumber(fields[n - 3]);
    entry.timeHigh = parseInt32(fields[n - 2]);
    entry.timeLow = parseInt32(fields[n - 1]);
  } else {
    fields.resize(5);
    key = fields[0];
    entry.reserved = parseInt32(fields[1]);
    entry.size = parseNumber(fields[2]);
    entry.timeHigh = parseInt32(fields[3]);
    entry.timeLow = parseInt32(fields[4]);
  }
  entry.flags = CONFIRMED;
  return true;
}

bool CheckFile::Load(const std::string& path) {
  Clear();
  path_ = path;
  std::string content;
  if (!platform::readWholeFile(path, content)) return false;
  // Lines end in LF, CR LF or a lone CR.
  std::size_t from = 0;
  while (from < content.size()) {
    std::size_t end = content.find_first_of("\r\n", from);
    if (end == std::string::npos) end = content.size();
    std::string key;
    CheckEntry entry;
    if (ParseLine(content.substr(from, end - from), key, entry)) entries_[key] = entry;
    from = end + 1;
  }
  return true;
}

bool CheckFile::Save(const std::string& pathIn, std::string& error) {
  error.clear();
  const std::string path = pathIn.empty() ? path_ : pathIn;
  std::vector<const std::pair<const std::string, CheckEntry>*> confirmed;
  confirmed.reserve(entries_.size());
  for (const auto& e : entries_)
    // A key with a line break would write a broken line: never stored.
    if ((e.second.flags & CONFIRMED) && e.first.find_first_of("\r\n") == std::string::npos) confirmed.push_back(&e);
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

bool CheckFile::CheckAndRecord(const std::string& key, std::int64_t size, std::uint32_t timeLow,
                               std::uint32_t timeHigh) {
  const auto low = static_cast<std::int32_t>(timeLow);
  const auto high = static_cast<std::int32_t>(timeHigh);
  auto it = entries_.find(key);
  if (it != entries_.end() && it->second.timeLow == low && it->second.timeHigh == high && it->second.size == size)
    return true;
  CheckEntry& e = it != entries_.end() ? it->second : entries_[key];
  e.reserved = 0;
  e.size = size;
  e.timeLow = low;
  e.timeHigh = high;
  return false;
}

void CheckFile::MarkCopied(const std::string& key, bool copied) {
  auto it = entries_.find(key);
  if (it == entries_.end()) return;
  if (copied)
    it->second.flags |= CONFIRMED;
  else
    it->second.flags &= static_cast<unsigned char>(~CONFIRMED);
}

void CheckFile::Clear() { entries_.clear(); }

const CheckEntry* CheckFile::find(const std::string& key) const {
  auto it = entries_.find(key);
  return it == entries_.end() ? nullptr : &it->second;
}

bool SaveCheckFileWithBackup(CheckFile& file, const std::string& path, std::string& error) {
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
