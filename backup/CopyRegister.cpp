#include "backup/CopyRegister.h"

namespace kalvero {

// The slot of inode, or the free one where it would go.
std::size_t CopyRegister::place(const Table& t, std::uint64_t inode) {
  // The upper half of the hash scaled to the table's size: any size will do.
  const std::size_t size = t.entries.size();
  std::size_t i = static_cast<std::size_t>(((mix(inode) >> 32) * size) >> 32);
  while (t.used[i] && t.entries[i].inode != inode) i = i + 1 == size ? 0 : i + 1;
  return i;
}

void CopyRegister::grow(Table& t) {
  Table bigger;
  bigger.count = t.count;
  bigger.entries.resize(t.entries.empty() ? 64 : t.entries.size() + t.entries.size() / 2);
  bigger.used.resize(bigger.entries.size());
  for (std::size_t i = 0; i < t.entries.size(); ++i) {
    if (!t.used[i]) continue;
    const std::size_t to = place(bigger, t.entries[i].inode);
    bigger.entries[to] = t.entries[i];
    bigger.used[to] = true;
  }
  t = std::move(bigger);
}

std::optional<std::size_t> CopyRegister::find(std::uint64_t device, std::uint64_t inode) const {
  for (const Device& d : tables_) {
    if (d.device != device) continue;
    const Table& t = d.tables[mix(inode) & 15];
    if (t.entries.empty()) break;
    const std::size_t i = place(t, inode);
    if (t.used[i]) return t.entries[i].source;
    break;
  }
  return std::nullopt;
}

void CopyRegister::set(std::uint64_t device, std::uint64_t inode, std::size_t sourceHash) {
  Device* found = nullptr;
  for (Device& d : tables_)
    if (d.device == device) found = &d;
  if (!found) {
    found = &tables_.emplace_back();
    found->device = device;
  }
  Table& table = found->tables[mix(inode) & 15];
  // Filled up to nine tenths: probing 16-byte entries side by side stays
  // cheap, and the table stays small.
  if ((table.count + 1) * 10 > table.entries.size() * 9) grow(table);
  const std::size_t i = place(table, inode);
  if (!table.used[i]) ++table.count;
  table.entries[i] = Entry{inode, sourceHash};
  table.used[i] = true;
}

}  // namespace kalvero
