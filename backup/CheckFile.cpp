#include "backup/CheckFile.h"

#include <fmt/printf.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <vector>

#include "backup/BackupTexts.h"
#include "platform/Leftovers.h"
#include "platform/TextUtil.h"
#include "platform/PathUtil.h"
#include "platform/FileSystem.h"
#include "platform/FileTime.h"
#include "platform/Files.h"

namespace kalvero {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

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
  // Eighteen digits never reach the limit: checked only beyond them.
  for (const std::size_t unchecked = std::min(text.size(), i + 18); i < unchecked && text[i] >= '0' && text[i] <= '9';
       ++i)
    v = v * 10 + static_cast<std::uint64_t>(text[i] - '0');
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

std::string stampNow() {
  platform::LocalTime t = platform::localNow();
  return fmt::sprintf("%02d.%02d.%04d %02d:%02d:%02d", t.day, t.month, t.year, t.hour, t.minute, t.second);
}

// One line: the last four "|"-separated fields are the numbers, the rest is
// the key, so a name may itself contain "|"; missing fields read as 0.
bool parseLine(std::string_view rawLine, std::string_view& key, CheckEntry& entry) {
  const std::string_view line = platform::TrimWhiteSpace(rawLine);
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

// a1 a2 < b1 b2, each side taken as one string.
bool lessJoined(std::string_view a1, std::string_view a2, std::string_view b1, std::string_view b2) {
  for (;;) {
    if (a1.empty()) std::swap(a1, a2);
    if (b1.empty()) std::swap(b1, b2);
    if (a1.empty() || b1.empty()) return a1.empty() && !b1.empty();
    const std::size_t n = std::min(a1.size(), b1.size());
    if (const int c = std::memcmp(a1.data(), b1.data(), n); c != 0) return c < 0;
    a1.remove_prefix(n);
    b1.remove_prefix(n);
  }
}


}  // namespace

bool CheckFile::ParseLine(std::string_view line, std::string& key, CheckEntry& entry) {
  std::string_view k;
  if (!parseLine(line, k, entry)) return false;
  key.assign(k);
  return true;
}

CheckFile::Split CheckFile::split(CheckKey key) const {
  std::string_view dirHead, dirTail, name;
  const std::size_t q = key.tail.rfind('/');
  if (q != std::string_view::npos) {
    dirHead = key.head;
    dirTail = key.tail.substr(0, q + 1);
    name = key.tail.substr(q + 1);
  } else {
    const std::size_t p = key.head.rfind('/');
    const std::size_t nameStart = p == std::string_view::npos ? 0 : p + 1;
    if (nameStart < key.head.size() && !key.tail.empty()) {
      // The name itself is in both pieces: looked up joined.
      joined_.assign(key.head).append(key.tail);
      return split(CheckKey{joined_, {}});
    }
    dirHead = key.head.substr(0, nameStart);
    name = nameStart < key.head.size() ? key.head.substr(nameStart) : key.tail;
  }
  Split result;
  result.name = name;
  const bool sameDir = lastDir_.size() == dirHead.size() + dirTail.size() &&
                       std::string_view(lastDir_).substr(0, dirHead.size()) == dirHead &&
                       std::string_view(lastDir_).substr(dirHead.size()) == dirTail;
  if (!sameDir) {
    lastDir_.assign(dirHead).append(dirTail);
    const auto it = dirNumbers_.find(lastDir_);
    lastDirNumber_ = it == dirNumbers_.end() ? NO_DIR : it->second;
  }
  result.dir = lastDirNumber_;
  return result;
}

std::uint32_t CheckFile::internDirectory(std::string_view dir) {
  const std::string& stored = dirTexts_.emplace_back(dir);
  const auto number = static_cast<std::uint32_t>(dirs_.size());
  dirs_.push_back(stored);
  dirNumbers_.emplace(std::string_view(stored), number);
  lastDir_ = stored;
  lastDirNumber_ = number;
  return number;
}

std::uint64_t CheckFile::hashOf(std::uint32_t dir, std::string_view name) {
  std::uint64_t h = std::hash<std::string_view>{}(name) ^ ((dir + 1ULL) * 0x9E3779B97F4A7C15ULL);
  h ^= h >> 32;
  h *= 0xD6E8FEB86659FD93ULL;
  return h ^ (h >> 32);
}

// The first place of a key: the top bits of its tag, so that growing the
// table needs nothing but the table.
std::size_t CheckFile::home(std::uint64_t tag, std::size_t tableSize) {
  return static_cast<std::size_t>((tag * tableSize) >> 32);
}

std::int64_t CheckFile::lookup(const Split& key, std::uint64_t hash) const {
  if (key.dir == NO_DIR) return -1;
  const std::uint64_t tag = hash >> 32;
  if (key.dir + 1 < dirStart_.size()) {
    // The entries read from the file: a search in the few cache lines of their directory.
    const auto end = byDir_.begin() + dirStart_[key.dir + 1];
    for (auto it = std::lower_bound(byDir_.begin() + dirStart_[key.dir], end, tag << 32);
         it != end && (*it >> 32) == tag; ++it) {
      const std::size_t index = *it & 0xFFFFFFFFu;
      if (nameOf(slots_[index]) == key.name) return static_cast<std::int64_t>(index);
    }
  }
  if (table_.empty()) return -1;
  const std::size_t size = table_.size();
  for (std::size_t i = home(tag, size);; i = i + 1 == size ? 0 : i + 1) {
    const std::uint32_t v = table_[i];
    if (v == 0) return -1;
    const std::size_t index = v - 1;
    const Slot& s = slots_[index];
    if (dirOf(s) == key.dir && nameOf(s) == key.name) return static_cast<std::int64_t>(index);
  }
}

void CheckFile::grow() {
  // Half as large again: a table of many keys never holds much room it does
  // not need; the last step before the announced keys' size goes to it.
  std::size_t grown = std::max<std::size_t>(table_.size() + table_.size() / 2, 1024);
  if (tableTarget_ > grown && tableTarget_ < grown + grown / 2) grown = tableTarget_;
  std::vector<std::uint32_t> table(grown);
  const std::size_t size = table.size();
  for (std::uint32_t v : table_) {
    if (v == 0) continue;
    const Slot& s = slots_[v - 1];
    std::size_t i = home(hashOf(dirOf(s), nameOf(s)) >> 32, size);
    while (table[i] != 0) i = i + 1 == size ? 0 : i + 1;
    table[i] = v;
  }
  table_.swap(table);
}

bool CheckFile::storeName(std::string_view name, std::uint32_t& ref) {
  const bool longName = name.size() >= LONG_NAME;
  const std::uint64_t size = name.size();
  const std::size_t stored = 1 + (longName ? sizeof size : 0) + name.size();
  std::uint64_t at = names_.reserve(stored);
  // A block grown past 1 MiB by a long name takes nothing after it.
  if ((at & 0xFFFFFFFFu) >= (std::uint64_t{1} << NAME_SHIFT)) at = names_.reserveNew(stored);
  if ((at >> 32) >= NAME_BLOCKS) return false;
  const char mark = static_cast<char>(longName ? LONG_NAME : static_cast<unsigned char>(name.size()));
  names_.appendLast(std::string_view(&mark, 1));
  if (longName) names_.appendLast(std::string_view(reinterpret_cast<const char*>(&size), sizeof size));
  names_.appendLast(name);
  ref = static_cast<std::uint32_t>(((at >> 32) << NAME_SHIFT) | (at & 0xFFFFFFFFu));
  return true;
}

CheckFile::Slot* CheckFile::insert(Split key) {
  static_assert(sizeof(Slot) == 20, "a key's record stays at 20 bytes");
  if (slots_.size() >= DIR_MASK) return nullptr;  // slot and directory numbers stay below 2^30
  std::uint32_t name = 0;
  if (!storeName(key.name, name)) return nullptr;
  // split() left the key's directory in lastDir_.
  if (key.dir == NO_DIR) key.dir = internDirectory(std::string(lastDir_));
  Slot& s = slots_.push_back(Slot{});
  s.dirFlags = key.dir;
  s.name = name;
  // A file read in key order needs no table until its end (see index()).
  if (!(loading_ && ascending_)) addToTable(slots_.size() - 1);
  return &s;
}

void CheckFile::ExpectNewKeys(std::size_t count) { tableTarget_ = (tableCount_ + count) * 5 / 4 + 1; }

void CheckFile::addToTable(std::size_t index) {
  if ((tableCount_ + 1) * 5 > table_.size() * 4) grow();
  const Slot& s = slots_[index];
  const std::uint64_t hash = hashOf(dirOf(s), nameOf(s));
  const std::size_t size = table_.size();
  std::size_t i = home(hash >> 32, size);
  while (table_[i] != 0) i = i + 1 == size ? 0 : i + 1;
  table_[i] = static_cast<std::uint32_t>(index + 1);
  ++tableCount_;
}

void CheckFile::index() {
  std::vector<std::uint32_t>().swap(table_);
  tableCount_ = 0;
  // Counted by directory, then placed: each directory's entries side by side,
  // sorted by the upper half of their hash.
  std::vector<std::uint32_t> start(dirs_.size() + 1, 0);
  for (std::size_t i = 0; i < slots_.size(); ++i) ++start[dirOf(slots_[i]) + 1];
  for (std::size_t d = 0; d < dirs_.size(); ++d) start[d + 1] += start[d];
  std::vector<std::uint64_t> byDir(slots_.size());
  std::vector<std::uint32_t> next(start.begin(), start.end() - 1);
  for (std::size_t i = 0; i < slots_.size(); ++i) {
    const Slot& s = slots_[i];
    byDir[next[dirOf(s)]++] = ((hashOf(dirOf(s), nameOf(s)) >> 32) << 32) | i;
  }
  for (std::size_t d = 0; d < dirs_.size(); ++d) std::sort(byDir.begin() + start[d], byDir.begin() + start[d + 1]);
  byDir_.swap(byDir);
  dirStart_.swap(start);
}

std::int64_t CheckFile::indexOf(std::string_view key) const {
  const Split parts = split(CheckKey{key, {}});
  return parts.dir == NO_DIR ? -1 : lookup(parts, hashOf(parts.dir, parts.name));
}

std::vector<bool> CheckFile::directoriesWithLineBreaks() const {
  std::vector<bool> breaks(dirs_.size());
  for (std::size_t i = 0; i < dirs_.size(); ++i) breaks[i] = HasLineBreak(dirs_[i]);
  return breaks;
}

std::string_view CheckFile::nameOf(const Slot& s) const {
  const std::uint64_t at = (static_cast<std::uint64_t>(s.name >> NAME_SHIFT) << 32) |
                           (s.name & ((std::uint32_t{1} << NAME_SHIFT) - 1));
  const auto mark = static_cast<unsigned char>(names_.view(at, 1)[0]);
  if (mark != LONG_NAME) return names_.view(at + 1, mark);
  std::uint64_t size = 0;
  std::memcpy(&size, names_.view(at + 1, sizeof size).data(), sizeof size);
  return names_.view(at + 1 + sizeof size, static_cast<std::size_t>(size));
}

std::int64_t CheckFile::sizeOf(std::size_t index) const {
  const Slot& s = slots_[index];
  if (!(s.dirFlags & SIZE_ASIDE)) return s.size;
  const auto it = bigSizes_.find(static_cast<std::uint32_t>(index));
  return it == bigSizes_.end() ? 0 : it->second;
}

void CheckFile::setSize(std::size_t index, std::int64_t size) {
  Slot& s = slots_[index];
  if (size >= 0 && size <= std::numeric_limits<std::uint32_t>::max()) {
    if (s.dirFlags & SIZE_ASIDE) bigSizes_.erase(static_cast<std::uint32_t>(index));
    s.dirFlags &= ~SIZE_ASIDE;
    s.size = static_cast<std::uint32_t>(size);
  } else {
    bigSizes_[static_cast<std::uint32_t>(index)] = size;
    s.dirFlags |= SIZE_ASIDE;
    s.size = 0;
  }
}

CheckEntry CheckFile::entryOf(std::size_t index) const {
  const Slot& s = slots_[index];
  CheckEntry e;
  e.size = sizeOf(index);
  e.timeLow = s.timeLow;
  e.timeHigh = s.timeHigh;
  e.flags = flagsOf(s);
  if (!reserved_.empty())
    if (const auto it = reserved_.find(static_cast<std::uint32_t>(index)); it != reserved_.end()) e.reserved = it->second;
  return e;
}

void CheckFile::setEntry(std::size_t index, const CheckEntry& e) {
  setSize(index, e.size);
  Slot& s = slots_[index];
  s.timeLow = e.timeLow;
  s.timeHigh = e.timeHigh;
  setFlags(s, e.flags);
  if (e.reserved != 0)
    reserved_[static_cast<std::uint32_t>(index)] = e.reserved;
  else if (!reserved_.empty())
    reserved_.erase(static_cast<std::uint32_t>(index));
}

std::string CheckFile::keyOf(const Slot& s) const { return std::string(dirs_[dirOf(s)]).append(nameOf(s)); }

bool CheckFile::addLine(std::string_view line) {
  std::string_view key;
  CheckEntry entry;
  if (!parseLine(line, key, entry)) return true;
  entry.flags |= IN_FILE;
  // A key read twice keeps its last values. While every line so far came
  // after the one before (as saved), a key after the last one is new: no
  // lookup needed.
  const Split parts = split(CheckKey{key, {}});
  if (ascending_ && !slots_.empty()) {
    const Slot& last = slots_.back();
    ascending_ = dirOf(last) == parts.dir ? nameOf(last) < parts.name
                                          : lessJoined(dirs_[dirOf(last)], nameOf(last), key, {});
    if (!ascending_)
      for (std::size_t s = 0; s < slots_.size(); ++s) addToTable(s);
  }
  const std::int64_t i = ascending_ || parts.dir == NO_DIR ? -1 : lookup(parts, hashOf(parts.dir, parts.name));
  if (i < 0 && !insert(parts)) return false;
  setEntry(i >= 0 ? static_cast<std::size_t>(i) : slots_.size() - 1, entry);
  return true;
}

bool CheckFile::Load(const std::string& path) {
  Clear();
  path_ = path;
  // Only a regular file: a FIFO or device under the name would block or never end.
  const auto status = platform::statPath(path);
  platform::InputFile in;
  if (!status || status->kind != platform::EntryKind::File || !in.open(path)) return false;
  // Read in blocks, never as a whole: only the entries stay in memory. Lines
  // end in LF, CR LF or a lone CR (the empty line between CR and LF is skipped).
  loading_ = true;
  std::vector<char> buffer(256 * 1024);
  std::size_t kept = 0;  // the start of a line not yet ended, moved to the front
  for (bool atEnd = false; !atEnd;) {
    if (kept == buffer.size()) buffer.resize(buffer.size() * 2);  // a line longer than the buffer
    const long long n = in.tryRead(buffer.data() + kept, buffer.size() - kept);
    if (n < 0) {
      Clear();  // unreadable: nothing of it counts
      return false;
    }
    atEnd = n == 0;
    const std::string_view text(buffer.data(), kept + static_cast<std::size_t>(n));
    std::size_t from = 0;
    for (std::size_t at = kept;;) {
      const void* lf = std::memchr(text.data() + at, '\n', text.size() - at);
      const std::size_t lineEnd =
          lf ? static_cast<std::size_t>(static_cast<const char*>(lf) - text.data()) : text.size();
      const void* cr = std::memchr(text.data() + at, '\r', lineEnd - at);
      const std::size_t end = cr ? static_cast<std::size_t>(static_cast<const char*>(cr) - text.data()) : lineEnd;
      if (end == text.size()) break;
      if (!addLine(text.substr(from, end - from))) {
        Clear();  // too large to keep: nothing of it counts
        return false;
      }
      from = at = end + 1;
    }
    if (atEnd) {
      if (!addLine(text.substr(from))) {
        Clear();
        return false;
      }
    } else {
      std::memmove(buffer.data(), buffer.data() + from, text.size() - from);
      kept = text.size() - from;
    }
  }
  loading_ = false;
  index();
  loaded_ = true;
  return true;
}


bool CheckFile::Save(const std::string& path, int* err) { return save(path, err, false); }

bool CheckFile::SaveLast(const std::string& path, int* err) { return save(path, err, true); }

bool CheckFile::save(const std::string& pathIn, int* errOut, bool last) {
  const std::string path = pathIn.empty() ? path_ : pathIn;
  // Slot numbers, not pointers: four bytes a key while the file is written,
  // counted first so that the list is never held twice while it grows.
  const std::vector<bool> dirBreaks = directoriesWithLineBreaks();
  // A key with a line break would write a broken line: never stored.
  const auto written = [&](const Slot& s) {
    return (flagsOf(s) & CONFIRMED) && !dirBreaks[dirOf(s)] && !HasLineBreak(nameOf(s));
  };
  std::size_t count = 0;
  for (std::size_t i = 0; i < slots_.size(); ++i) count += written(slots_[i]) ? 1 : 0;
  std::vector<std::uint32_t> confirmed;
  if (last) {
    // After a first run the table holds every key: room enough for the list.
    confirmed.swap(table_);
    confirmed.clear();
    tableCount_ = 0;
    std::vector<std::uint64_t>().swap(byDir_);
  }
  confirmed.reserve(count);
  for (std::size_t i = 0; i < slots_.size(); ++i)
    if (written(slots_[i])) confirmed.push_back(static_cast<std::uint32_t>(i));
  std::sort(confirmed.begin(), confirmed.end(), [this](std::uint32_t x, std::uint32_t y) {
    const Slot& a = slots_[x];
    const Slot& b = slots_[y];
    if (dirOf(a) == dirOf(b)) return nameOf(a) < nameOf(b);
    return lessJoined(dirs_[dirOf(a)], nameOf(a), dirs_[dirOf(b)], nameOf(b));
  });

  // A save killed before its rename left its temporary beside the file.
  platform::SweepOwnLeftoversOf(path);
  platform::AtomicFileWriter writer(path, 0666);
  int err = 0;
  // Written in blocks, so a large file never exists twice in memory.
  std::string text = fmt::sprintf(texts::CHECKFILE_HEADER, stampNow());
  bool ok = writer.open(&err);
  for (std::size_t i = 0; ok && i < confirmed.size(); ++i) {
    const Slot& s = slots_[confirmed[i]];
    const CheckEntry e = entryOf(confirmed[i]);
    text += fmt::sprintf(texts::CHECKFILE_LINE, keyOf(s), e.reserved, static_cast<long long>(e.size),
                         e.timeHigh, e.timeLow);
    if (text.size() >= 65536) {
      ok = writer.write(text, &err);
      text.clear();
    }
  }
  if (ok && writer.write(text, &err) && writer.commit(&err)) return true;
  if (errOut) *errOut = err;
  return false;
}

bool CheckFile::CheckAndRecord(std::string_view key, std::int64_t size, std::uint32_t timeLow,
                               std::uint32_t timeHigh) {
  return record(split(CheckKey{key, {}}), size, timeLow, timeHigh, false);
}

bool CheckFile::CheckAndConfirm(CheckKey parts, std::int64_t size, std::uint32_t timeLow, std::uint32_t timeHigh,
                                bool addNew) {
  return record(split(parts), size, timeLow, timeHigh, true, addNew);
}

bool CheckFile::record(Split key, std::int64_t size, std::uint32_t timeLow, std::uint32_t timeHigh, bool confirm,
                       bool addNew) {
  const auto low = static_cast<std::int32_t>(timeLow);
  const auto high = static_cast<std::int32_t>(timeHigh);
  const std::int64_t i = key.dir == NO_DIR ? -1 : lookup(key, hashOf(key.dir, key.name));
  if (i >= 0) {
    Slot& e = slots_[static_cast<std::size_t>(i)];
    if (e.timeLow == low && e.timeHigh == high && sizeOf(static_cast<std::size_t>(i)) == size) {
      if (confirm) setFlags(e, flagsOf(e) | CONFIRMED);
      return true;
    }
  }
  if (i < 0 && (!addNew || !insert(key))) return false;  // no room: copied, never skipped
  const std::size_t index = i >= 0 ? static_cast<std::size_t>(i) : slots_.size() - 1;
  if (!reserved_.empty()) reserved_.erase(static_cast<std::uint32_t>(index));
  setSize(index, size);
  Slot& e = slots_[index];
  e.timeLow = low;
  e.timeHigh = high;
  if (flagsOf(e) & IN_FILE) valuesChanged_ = true;
  if (confirm) setFlags(e, flagsOf(e) & IN_FILE);
  return false;
}

void CheckFile::MarkCopied(std::string_view key, bool copied) {
  const std::int64_t i = indexOf(key);
  if (i < 0) return;
  Slot& e = slots_[static_cast<std::size_t>(i)];
  if (copied)
    setFlags(e, flagsOf(e) | CONFIRMED);
  else
    setFlags(e, flagsOf(e) & static_cast<unsigned char>(~CONFIRMED));
}

void CheckFile::Clear() {
  slots_.clear();
  std::unordered_map<std::uint32_t, std::int32_t>().swap(reserved_);
  std::unordered_map<std::uint32_t, std::int64_t>().swap(bigSizes_);
  std::vector<std::uint32_t>().swap(table_);
  tableCount_ = 0;
  tableTarget_ = 0;
  std::vector<std::uint64_t>().swap(byDir_);
  std::vector<std::uint32_t>().swap(dirStart_);
  names_.clear();
  dirTexts_.clear();
  std::vector<std::string_view>().swap(dirs_);
  std::unordered_map<std::string_view, std::uint32_t>().swap(dirNumbers_);
  lastDir_.clear();
  lastDirNumber_ = NO_DIR;
  ascending_ = true;
  loading_ = false;
  loaded_ = false;
  valuesChanged_ = false;
}

bool CheckFile::NeedsSave() const {
  if (!loaded_ || valuesChanged_) return true;
  // A key read from the file holds no line break (lines end there); only an
  // added one is checked.
  const std::vector<bool> dirBreaks = directoriesWithLineBreaks();
  for (std::size_t i = 0; i < slots_.size(); ++i) {
    const Slot& s = slots_[i];
    const bool inFile = (flagsOf(s) & IN_FILE) != 0;
    const bool written = (flagsOf(s) & CONFIRMED) && (inFile || (!dirBreaks[dirOf(s)] && !HasLineBreak(nameOf(s))));
    if (written != inFile) return true;
  }
  return false;
}

const CheckEntry* CheckFile::find(std::string_view key) const {
  const std::int64_t i = indexOf(key);
  if (i < 0) return nullptr;
  found_ = entryOf(static_cast<std::size_t>(i));
  return &found_;
}

bool SaveCheckFileWithBackup(CheckFile& file, const std::string& path, int* err) {
  // Nothing changed: the file (and any ".bak" beside it) stays as it is.
  if (path == file.path() && !file.NeedsSave() && platform::lstatPath(path)) {
    file.Clear();
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
  const bool saved = file.SaveLast(path, err);
  file.Clear();
  if (!saved) {
    if (!backup.empty() && !linked) {
      platform::removeFile(path);
      if (!platform::renamePath(backup, path)) backup.clear();
    }
  }
  if (!backup.empty()) platform::removeFile(backup);
  return saved;
}

}  // namespace kalvero
