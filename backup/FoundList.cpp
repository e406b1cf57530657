#include "backup/FoundList.h"

#include <cstring>

namespace kalvero {

static_assert(sizeof(FoundList::Entry) == 16, "a found file's record stays at 16 bytes");

void FoundList::add(const FoundFile& file) {
  const std::string_view path = file.path;
  const std::size_t slash = path.rfind('/');
  const std::size_t nameStart = slash == std::string_view::npos ? 0 : slash + 1;
  const std::string_view dir = path.substr(0, nameStart);
  const std::string_view name = path.substr(nameStart);
  const bool longName = name.size() >= LONG_NAME;
  const std::uint64_t sizeBefore = longName ? name.size() : 0;
  const std::size_t stored = name.size() + (longName ? sizeof sizeBefore : 0);
  // Entries come directory by directory: a directory is stored again only
  // when it differs from the one before or its names need a new block.
  std::uint64_t at = names_.reserve(stored);
  if (dirs_.empty() || (dirs_.back().at >> 32) != (at >> 32) || dirOf(dirs_.back()) != dir) {
    dirs_.push_back(Dir{names_.reserve(dir.size() + stored), dir.size(), entries_.size()});
    names_.appendLast(dir);
    at = names_.reserve(stored);
  }
  if (longName) {
    names_.appendLast(std::string_view(reinterpret_cast<const char*>(&sizeBefore), sizeof sizeBefore));
    at += sizeof sizeBefore;
  }
  Entry e;
  e.size = file.size;
  e.nameAt = static_cast<std::uint32_t>(at & 0xFFFFFFFFu);
  e.nameSize = longName ? LONG_NAME : static_cast<std::uint16_t>(name.size());
  e.skip = file.skip & 7;
  e.kind = file.kind;
  e.changed = file.changed ? 1 : 0;
  e.manyLinks = file.status.links > 1 ? 1 : 0;
  e.copyMatches = file.copyMatches ? 1 : 0;
  e.copyAbsent = file.copies.looked && !file.copies.plain ? 1 : 0;
  names_.appendLast(name);
  entries_.push_back(e);
  if (file.skip >= 3) {
    const auto& copy = file.skip == 4 ? file.copies.suffixed : file.copies.plain;
    baseInodes_.push_back(copy ? copy->inode : 0);
  }
}

const FoundList::Dir& FoundList::dirOfEntry(std::size_t i) const {
  // Entries are asked for in order: mostly the record of the last answer.
  const std::size_t hint = lastDir_.load(std::memory_order_relaxed);
  if (hint < dirs_.size() && dirs_[hint].firstEntry <= i &&
      (hint + 1 == dirs_.size() || i < dirs_[hint + 1].firstEntry))
    return dirs_[hint];
  // The last record that begins at or before entry i.
  std::size_t low = 0, high = dirs_.size();
  while (high - low > 1) {
    const std::size_t mid = low + (high - low) / 2;
    if (dirs_[mid].firstEntry <= i)
      low = mid;
    else
      high = mid;
  }
  lastDir_.store(low, std::memory_order_relaxed);
  return dirs_[low];
}

void FoundList::path(std::size_t i, std::string& out) const {
  const Entry& e = entries_[i];
  const Dir& d = dirOfEntry(i);
  const std::uint64_t at = (d.at & ~std::uint64_t{0xFFFFFFFFu}) | e.nameAt;
  std::uint64_t size = e.nameSize;
  if (e.nameSize == LONG_NAME) std::memcpy(&size, names_.view(at - sizeof size, sizeof size).data(), sizeof size);
  out.assign(dirOf(d)).append(names_.view(at, static_cast<std::size_t>(size)));
}

void FoundList::releaseBefore(std::size_t i) {
  if (i == 0 || i >= entries_.size()) return;
  entries_.releaseBefore(i);
  if (dirs_.empty()) return;
  // The name blocks before that of entry i's directory hold nothing later entries use.
  names_.releaseBefore(dirOfEntry(i).at);
}

void FoundList::clear() {
  lastDir_.store(0, std::memory_order_relaxed);
  entries_.clear();
  dirs_.clear();
  baseInodes_.clear();
  names_.clear();
}

}  // namespace kalvero
