#include "backup/FoundList.h"

namespace kalvero {

void FoundList::add(const FoundFile& file) {
  const std::string_view path = file.path;
  const std::size_t slash = path.rfind('/');
  const std::size_t nameStart = slash == std::string_view::npos ? 0 : slash + 1;
  const std::string_view dir = path.substr(0, nameStart);
  const std::string_view name = path.substr(nameStart);
  // Entries come directory by directory: a directory is stored again only
  // when it differs from the one before or its names need a new block.
  std::uint64_t at = names_.reserve(name.size());
  if (dirs_.empty() || (dirs_.back().at >> 32) != (at >> 32) || dirOf(dirs_.back()) != dir) {
    dirs_.push_back(Dir{names_.reserve(dir.size() + name.size()), dir.size()});
    names_.appendLast(dir);
    at = names_.reserve(name.size());
  }
  Entry e;
  e.size = file.size;
  e.nameAt = static_cast<std::uint32_t>(at & 0xFFFFFFFFu);
  e.dir = static_cast<std::uint32_t>(dirs_.size() - 1);
  e.nameSize = static_cast<std::uint32_t>(name.size());
  e.skip = file.skip;
  e.kind = file.kind;
  e.changed = file.changed;
  e.manyLinks = file.status.links > 1 ? 1 : 0;
  names_.appendLast(name);
  entries_.push_back(e);
  if (e.skip >= 3) {
    const auto& copy = e.skip == 4 ? file.copies.suffixed : file.copies.plain;
    baseInodes_.push_back(copy ? copy->inode : 0);
  }
}

void FoundList::path(std::size_t i, std::string& out) const {
  const Entry& e = entries_[i];
  const Dir& d = dirs_[e.dir];
  out.assign(dirOf(d)).append(names_.view((d.at & ~std::uint64_t{0xFFFFFFFFu}) | e.nameAt, e.nameSize));
}

void FoundList::releaseBefore(std::size_t i) {
  if (i == 0 || i >= entries_.size()) return;
  entries_.releaseBefore(i);
  if (dirs_.empty()) return;
  // The name blocks before that of entry i's directory hold nothing later entries use.
  names_.releaseBefore(dirs_[entries_[i].dir].at);
}

void FoundList::clear() {
  entries_.clear();
  dirs_.clear();
  baseInodes_.clear();
  names_.clear();
}

}  // namespace kalvero
