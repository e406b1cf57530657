#pragma once
// The check file: for every destination already copied, the size and
// last-write time of the source it was copied from, so that the next run
// skips unchanged files. Keys compare exactly (file names are
// case-sensitive here).
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

namespace kalvero {

struct CheckEntry {
  std::int32_t reserved = 0;
  std::int64_t size = 0;
  std::int32_t timeLow = 0;
  std::int32_t timeHigh = 0;
  unsigned char flags = 0;  // bit 0: confirmed, written by the next save
};

class CheckFile {
 public:
  static constexpr unsigned char CONFIRMED = 0x01;

  // Empties the map, remembers path, reads it; false when it cannot be read
  // (the entries read so far stay).
  bool Load(const std::string& path);
  // Writes the header and every confirmed entry (sorted by key) to path, or
  // to the remembered path when path is empty; replaced atomically. On failure
  // error = "Fehler beim Schreiben des neuen Prüffiles: %s (%s).".
  bool Save(const std::string& path, std::string& error);
  // True when key is recorded with exactly this size and time; otherwise the
  // entry is (re)recorded with these values and false returned.
  bool CheckAndRecord(const std::string& key, std::int64_t size, std::uint32_t timeLow, std::uint32_t timeHigh);
  void MarkCopied(const std::string& key, bool copied);
  void Clear();

  // One line of the file; false for empty and comment lines.
  static bool ParseLine(const std::string& line, std::string& key, CheckEntry& entry);

  const std::string& path() const { return path_; }
  std::size_t entryCount() const { return entries_.size(); }
  const CheckEntry* find(const std::string& key) const;

 private:
  std::string path_;
  std::unordered_map<std::string, CheckEntry> entries_;
};

// End-of-run save with the ".bak" safeguard: the old file is moved aside,
// the new one written, the old one put back when that fails, the ".bak"
// removed at the end. Clears the map. error ends with "\r\n" on failure.
bool SaveCheckFileWithBackup(CheckFile& file, const std::string& path, std::string& error);

}  // namespace kalvero
