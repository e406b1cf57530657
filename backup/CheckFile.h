#pragma once
// The check file: for every destination already copied, the size and
// last-write time of the source it was copied from, so that the next run
// skips unchanged files. Keys compare exactly (file names are
// case-sensitive here).
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "backup/ChunkedStore.h"

namespace kalvero {

struct CheckEntry {
  std::int64_t size = 0;
  std::int32_t reserved = 0;
  std::int32_t timeLow = 0;
  std::int32_t timeHigh = 0;
  unsigned char flags = 0;  // bit 0: confirmed, written by the next save
};

// A key in two pieces (a destination root and the path below it): a lookup
// per found file builds no joined name.
struct CheckKey {
  std::string_view head;
  std::string_view tail;
};

class CheckFile {
 public:
  static constexpr unsigned char CONFIRMED = 0x01;
  // A line of the file read (its values may have changed since).
  static constexpr unsigned char IN_FILE = 0x02;

  CheckFile() = default;
  // The keys point into the object's own buffers.
  CheckFile(const CheckFile&) = delete;
  CheckFile& operator=(const CheckFile&) = delete;

  // Empties the entries, remembers path, reads it; false when it cannot be
  // read to its end (then no entry of it is kept).
  bool Load(const std::string& path);
  // Writes the header and every confirmed entry (sorted by key) to path, or
  // to the remembered path when path is empty; replaced atomically. False
  // with *err (errno) when it cannot be written.
  bool Save(const std::string& path, int* err = nullptr);
  // Save for the last time: the keys are sorted in the memory of the lookup
  // table, so no key can be found afterwards (Clear() follows).
  bool SaveLast(const std::string& path, int* err = nullptr);
  // True when key is recorded with exactly this size and time; otherwise the
  // entry is (re)recorded with these values and false returned.
  bool CheckAndRecord(std::string_view key, std::int64_t size, std::uint32_t timeLow, std::uint32_t timeHigh);
  // CheckAndRecord and MarkCopied(key, result) in one lookup: an unchanged
  // entry stays confirmed, a new or changed one is unconfirmed until copied.
  // Without addNew a key not recorded yet is left out: its copy records it
  // (CheckAndRecord), so a first run does not hold every key while it also
  // holds every entry found.
  bool CheckAndConfirm(CheckKey key, std::int64_t size, std::uint32_t timeLow, std::uint32_t timeHigh,
                       bool addNew = true);
  void MarkCopied(std::string_view key, bool copied);
  // About count new keys are to come (the files a run will copy): the last
  // growth of the lookup table makes it just as large as they need.
  void ExpectNewKeys(std::size_t count);
  void Clear();
  // False when a save would write exactly the entries the loaded file holds:
  // a run that changed nothing leaves the file as it is.
  bool NeedsSave() const;

  // One line of the file; false for empty and comment lines.
  static bool ParseLine(std::string_view line, std::string& key, CheckEntry& entry);

  const std::string& path() const { return path_; }
  std::size_t entryCount() const { return slots_.size(); }
  // The entry of key, or null; valid until the next call.
  const CheckEntry* find(std::string_view key) const;

 private:
  // A key is kept as its directory (up to and with the last "/", each
  // directory stored once) and its name in blocks of names: a large file
  // costs little more than its names, and growing never copies them.
  // 20 bytes: the field "reserved" (nearly always 0) and a size that does
  // not fit 32 bits are kept aside, the flags share a word with the
  // directory, the name's size stands before it.
  struct Slot {
    std::uint32_t size = 0;  // 0 with SIZE_ASIDE: the size is in bigSizes_
    std::int32_t timeLow = 0;
    std::int32_t timeHigh = 0;
    std::uint32_t dirFlags = 0;  // the directory's number, SIZE_ASIDE, the flags in the top two bits
    std::uint32_t name = 0;      // (block << NAME_SHIFT) | offset of the name's size in names_
  };
  static constexpr int FLAG_SHIFT = 30;
  static constexpr std::uint32_t SIZE_ASIDE = std::uint32_t{1} << 29;
  static constexpr std::uint32_t DIR_MASK = SIZE_ASIDE - 1;
  static constexpr int NAME_SHIFT = 20;  // names_ blocks are 1 MiB
  static constexpr std::uint64_t NAME_BLOCKS = std::uint64_t{1} << (32 - NAME_SHIFT);
  // A name of this size or longer has its size in the 8 bytes after the mark.
  static constexpr unsigned char LONG_NAME = 0xFF;
  static std::uint32_t dirOf(const Slot& s) { return s.dirFlags & DIR_MASK; }
  static unsigned char flagsOf(const Slot& s) { return static_cast<unsigned char>(s.dirFlags >> FLAG_SHIFT); }
  static void setFlags(Slot& s, unsigned char flags) {
    s.dirFlags = (s.dirFlags & (DIR_MASK | SIZE_ASIDE)) | (static_cast<std::uint32_t>(flags & 3) << FLAG_SHIFT);
  }
  std::int64_t sizeOf(std::size_t index) const;
  void setSize(std::size_t index, std::int64_t size);
  // Stores name in names_; false when the store is full (4 GiB of names).
  bool storeName(std::string_view name, std::uint32_t& ref);
  static constexpr std::uint32_t NO_DIR = 0xFFFFFFFFu;
  // The key's directory and name, the directory as its number (NO_DIR when
  // no key has it yet).
  struct Split {
    std::uint32_t dir = NO_DIR;
    std::string_view name;
  };
  Split split(CheckKey key) const;
  std::uint32_t internDirectory(std::string_view dir);
  std::string_view nameOf(const Slot& s) const;
  CheckEntry entryOf(std::size_t index) const;
  void setEntry(std::size_t index, const CheckEntry& e);
  std::string keyOf(const Slot& s) const;
  std::vector<bool> directoriesWithLineBreaks() const;
  static std::uint64_t hashOf(std::uint32_t dir, std::string_view name);
  static std::size_t home(std::uint64_t tag, std::size_t tableSize);
  // Index of the slot of key, or -1.
  std::int64_t lookup(const Split& key, std::uint64_t hash) const;
  // The new slot, or null when no room is left for the key.
  Slot* insert(Split key);
  void grow();
  void addToTable(std::size_t index);
  // Moves every entry into byDir_ (after a load).
  void index();
  // False when the line's key could not be kept.
  bool addLine(std::string_view line);
  bool save(const std::string& path, int* err, bool last);
  std::int64_t indexOf(std::string_view key) const;
  // True when key is there with these values; otherwise records them (a new
  // key only with addNew). With confirm the entry counts as confirmed by this
  // run (a changed one not yet).
  bool record(Split key, std::int64_t size, std::uint32_t timeLow, std::uint32_t timeHigh, bool confirm,
              bool addNew = true);

  std::string path_;
  bool loaded_ = false;         // the file at path_ was read to its end
  bool valuesChanged_ = false;  // an entry read from the file got other values
  bool ascending_ = true;       // the lines read so far came in key order
  bool loading_ = false;
  TextBlocks names_;
  std::deque<std::string> dirTexts_;
  std::vector<std::string_view> dirs_;  // by number, views into dirTexts_
  std::unordered_map<std::string_view, std::uint32_t> dirNumbers_;
  // The directory of the previous lookup: files come directory by directory.
  mutable std::string lastDir_;
  mutable std::uint32_t lastDirNumber_ = NO_DIR;
  ChunkedArray<Slot> slots_;
  // The entries read from the file, by directory: (upper half of the hash <<
  // 32) | slot index; those of directory d from dirStart_[d] to dirStart_[d + 1].
  std::vector<std::uint64_t> byDir_;
  std::vector<std::uint32_t> dirStart_;
  // Every other entry, open addressing: slot index + 1, 0 is free. Four
  // bytes a key (a first run puts every key here); a probe compares the
  // slot's directory number before its name.
  std::vector<std::uint32_t> table_;
  std::size_t tableCount_ = 0;
  std::size_t tableTarget_ = 0;  // as ExpectNewKeys asks
  mutable std::string joined_;
  // The non-zero "reserved" fields, by slot.
  std::unordered_map<std::uint32_t, std::int32_t> reserved_;
  // The sizes below 0 or from 4 GiB on, by slot.
  std::unordered_map<std::uint32_t, std::int64_t> bigSizes_;
  mutable CheckEntry found_;
};

// End-of-run save with the ".bak" safeguard: the old file is moved aside,
// the new one written, the old one put back when that fails, the ".bak"
// removed at the end. A file whose entries did not change is left as it is
// (and a ".bak" beside it too). Clears the map. False with *err (errno)
// when the new file could not be written.
bool SaveCheckFileWithBackup(CheckFile& file, const std::string& path, int* err = nullptr);

}  // namespace kalvero
