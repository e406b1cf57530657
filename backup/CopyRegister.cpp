#include "backup/CopyRegister.h"

#include <algorithm>

namespace kalvero {

// The slot of inode, or the free one where it would go.
std::size_t CopyRegister::place(const Table& t, std::uint32_t inode) {
  static_assert(sizeof(Entry) == 12, "a copy's record stays at 12 bytes");
  // The upper half of the hash scaled to the table's size: any size will do.
  const std::size_t size = t.entries.size();
  std::size_t i = static_cast<std::size_t>(((mix(inode) >> 32) * size) >> 32);
  while (t.used[i] && t.entries[i].inode != inode) i = i + 1 == size ? 0 : i + 1;
  return i;
}

void CopyRegister::grow(Table& t, std::size_t target) {
  Table bigger;
  bigger.count = t.count;
  std::size_t size = t.entries.empty() ? 64 : t.entries.size() + t.entries.size() / 2;
  // The last step before the target goes to it, so the table ends just as
  // large as the copies announced need; the steps before stay small while
  // the walk's list is still large.
  if (target > size && target < size + size / 2) size = target;
  bigger.entries.resize(size);
  bigger.used.resize(bigger.entries.size());
  for (std::size_t i = 0; i < t.entries.size(); ++i) {
    if (!t.used[i]) continue;
    const std::size_t to = place(bigger, t.entries[i].inode);
    bigger.entries[to] = t.entries[i];
    bigger.used[to] = true;
  }
  t = std::move(bigger);
}

void CopyRegister::expect(std::size_t count) {
  // A sixteenth each, with room for an uneven spread, nine tenths full.
  const std::size_t perTable = (total_ + count) / 16 + (total_ + count) / 128 + 1;
  tableTarget_ = perTable * 10 / 9 + 1;
}

const CopyRegister::Group* CopyRegister::groupOf(std::uint64_t device, std::uint64_t inode) const {
  const auto high = static_cast<std::uint32_t>(inode >> 32);
  for (const Group& g : groups_)
    if (g.device == device && g.inodeHigh == high) return &g;
  return nullptr;
}

std::optional<std::size_t> CopyRegister::find(std::uint64_t device, std::uint64_t inode) const {
  const Group* g = groupOf(device, inode);
  if (!g) return std::nullopt;
  const auto low = static_cast<std::uint32_t>(inode);
  const Table& t = g->tables[mix(low) & 15];
  if (t.entries.empty()) return std::nullopt;
  const std::size_t i = place(t, low);
  if (!t.used[i]) return std::nullopt;
  const Entry& e = t.entries[i];
  return static_cast<std::size_t>((std::uint64_t{e.sourceHigh} << 32) | e.sourceLow);
}

void CopyRegister::set(std::uint64_t device, std::uint64_t inode, std::size_t sourceHash) {
  auto* found = const_cast<Group*>(groupOf(device, inode));
  if (!found) {
    found = &groups_.emplace_back();
    found->device = device;
    found->inodeHigh = static_cast<std::uint32_t>(inode >> 32);
  }
  const auto low = static_cast<std::uint32_t>(inode);
  Table& table = found->tables[mix(low) & 15];
  // Filled up to nine tenths: probing 12-byte entries side by side stays
  // cheap, and the table stays small.
  if ((table.count + 1) * 10 > table.entries.size() * 9) grow(table, found == &groups_.front() ? tableTarget_ : 0);
  const std::size_t i = place(table, low);
  if (!table.used[i]) {
    ++table.count;
    ++total_;
  }
  const auto source = static_cast<std::uint64_t>(sourceHash);
  table.entries[i] = Entry{low, static_cast<std::uint32_t>(source), static_cast<std::uint32_t>(source >> 32)};
  table.used[i] = true;
}

}  // namespace kalvero
