#pragma once
// The entries a pair's walk found, kept until the run has handled them: the
// directory part of the paths once per directory, the names in one buffer
// and a small fixed record per entry, so a walk over many small files costs
// little memory.
#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>

#include "backup/ChunkedStore.h"
#include "run/Walk.h"

namespace kalvero {

class FoundList {
 public:
  // 16 bytes: the walk holds one per file until the run reaches it. The
  // entry's directory is found from its number (see Dir::firstEntry).
  struct Entry {
    std::uint64_t size = 0;
    std::uint32_t nameAt = 0;    // in the block of its directory's record
    std::uint16_t nameSize = 0;  // LONG_NAME: the size stands in the 8 bytes before the name
    unsigned char skip : 3 = 0;     // as FoundFile::skip: 1 skipped, 2 only its attributes carried
    unsigned char changed : 1 = 1;  // FoundFile::changed: 0 when the archive marker already says unchanged
    unsigned char manyLinks : 1 = 0;  // the file has more than one name (hard links)
    unsigned char copyMatches : 1 = 0;  // FoundFile::copyMatches
    unsigned char copyAbsent : 1 = 0;   // the walk read the copy's directory and found nothing of its name
    EntryKind kind : 8 = EntryKind::File;
  };

  void add(const FoundFile& file);
  std::size_t size() const { return entries_.size(); }
  const Entry& operator[](std::size_t i) const { return entries_[i]; }
  // The full path of entry i, into out (its buffer is reused).
  void path(std::size_t i, std::string& out) const;
  // The inode of the base state's copy of the k-th entry with skip 3 or 4
  // (counted in the walk's order), and the memory of those before k given back.
  std::uint64_t baseCopyInode(std::size_t k) const { return baseInodes_[k]; }
  void releaseBaseCopiesBefore(std::size_t k) { baseInodes_.releaseBefore(k); }
  void clear();
  // Entries before i are never asked for again: the memory that holds only
  // them is given back (a large first run then makes room for its copies'
  // records as it goes).
  void releaseBefore(std::size_t i);

 private:
  static constexpr std::uint16_t LONG_NAME = 0xFFFF;
  // A directory's text and the names after it share one block: a directory
  // whose names run into a new block is recorded again there. Its entries
  // follow each other from firstEntry on.
  struct Dir {
    std::uint64_t at = 0;  // in names_
    std::uint64_t size = 0;
    std::uint64_t firstEntry = 0;
  };
  std::string_view dirOf(const Dir& d) const { return names_.view(d.at, d.size); }
  // The record of entry i's directory.
  const Dir& dirOfEntry(std::size_t i) const;
  // A hint only (a wrong one costs a search), so any thread may set it.
  mutable std::atomic<std::size_t> lastDir_{0};
  ChunkedArray<Entry> entries_;
  ChunkedArray<Dir> dirs_;
  ChunkedArray<std::uint64_t> baseInodes_;
  TextBlocks names_;
};

}  // namespace kalvero
