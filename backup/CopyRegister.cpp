#include "backup/CopyRegister.h"

namespace kalvero {

// The slot of inode, or the free one where it would go.
std::size_t CopyRegister::place(const Table& t, std::uint64_t inode) {
  const std::size_t mask = t.entries.size() - 1;
  std::size_t i = static_cast<std::size_t>((inode * 0x9E3779B97F4A7C15ULL) >> 20) & mask;
  while (t.used[i] && t.entries[i].inode != inode) i = (i + 1) & mask;
  return i;
}

void CopyRegister::grow(Table& t) {
  Table bigger;
  bigger.device = t.device;
  bigger.count = t.count;
  bigger.entries.resize(t.entries.empty() ? 1024 : t.entries.size() * 2);
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
  for (const Table& t : tables_) {
    if (t.device != device) continue;
    const std::size_t i = place(t, inode);
    if (t.used[i]) return t.entries[i].source;
    break;
  }
  return std::nullopt;
}

void CopyRegister::set(std::uint64_t device, std::uint64_t inode, std::size_t sourceHash) {
  Table* table = nullptr;
  for (Table& t : tables_)
    if (t.device == device) table = &t;
  if (!table) {
    table = &tables_.emplace_back();
    table->device = device;
  }
  // Filled up to seven eighths: probing 16-byte entries side by side stays
  // cheap, and the table stays small.
  if ((table->count + 1) * 8 > table->entries.size() * 7) grow(*table);
  const std::size_t i = place(*table, inode);
  if (!table->used[i]) ++table->count;
  table->entries[i] = Entry{inode, sourceHash};
  table->used[i] = true;
}

}  // namespace kalvero
