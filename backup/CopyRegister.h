#pragma once
// The copies a run put in place, by (device, inode), each with a hash of the
// source it came from: 16 bytes a copy in a flat table per device, where a
// node-based map needs four times as much.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace kalvero {

class CopyRegister {
 public:
  // The source hash recorded for the file, if any.
  std::optional<std::size_t> find(std::uint64_t device, std::uint64_t inode) const;
  void set(std::uint64_t device, std::uint64_t inode, std::size_t sourceHash);
  bool empty() const { return tables_.empty(); }

 private:
  struct Entry {
    std::uint64_t inode = 0;
    std::size_t source = 0;
  };
  struct Table {
    std::uint64_t device = 0;
    std::size_t count = 0;
    std::vector<Entry> entries;  // open addressing, a power of two in size
    std::vector<bool> used;
  };
  static std::size_t place(const Table& t, std::uint64_t inode);
  static void grow(Table& t);
  std::vector<Table> tables_;
};

}  // namespace kalvero
