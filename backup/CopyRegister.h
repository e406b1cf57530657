#pragma once
// The copies a run put in place, by (device, inode), each with a hash of the
// source it came from: 12 bytes a copy in flat tables per device and upper
// half of the inode number (nearly always one), where a node-based map needs
// five times as much. Each group's copies are spread over sixteen tables
// that grow one at a time by half, so growing never holds the whole register
// twice and a table is at least three fifths full.
#include <cstddef>
#include <cstdint>
#include <array>
#include <optional>
#include <vector>

namespace kalvero {

class CopyRegister {
 public:
  // The source hash recorded for the file, if any.
  std::optional<std::size_t> find(std::uint64_t device, std::uint64_t inode) const;
  void set(std::uint64_t device, std::uint64_t inode, std::size_t sourceHash);
  bool empty() const { return groups_.empty(); }
  // About count more copies are to come: the last growth of each table of
  // the first device makes it just as large as they need (a first backup of
  // a million files then holds the register at nine tenths full, not three fifths).
  void expect(std::size_t count);

 private:
  // The lower half of the inode number and the source hash in halves: no
  // padding between entries.
  struct Entry {
    std::uint32_t inode = 0;
    std::uint32_t sourceLow = 0;
    std::uint32_t sourceHigh = 0;
  };
  struct Table {
    std::size_t count = 0;
    std::vector<Entry> entries;  // open addressing
    std::vector<bool> used;
  };
  struct Group {
    std::uint64_t device = 0;
    std::uint32_t inodeHigh = 0;
    std::array<Table, 16> tables;  // by the low bits of the inode's hash
  };
  static std::uint64_t mix(std::uint32_t inode) {
    const std::uint64_t h = inode * 0x9E3779B97F4A7C15ULL;
    return h ^ (h >> 29);
  }
  static std::size_t place(const Table& t, std::uint32_t inode);
  static void grow(Table& t, std::size_t target);
  const Group* groupOf(std::uint64_t device, std::uint64_t inode) const;
  std::vector<Group> groups_;
  std::size_t total_ = 0;        // copies recorded
  std::size_t tableTarget_ = 0;  // the size expect() asks of each table of the first group
};

}  // namespace kalvero
