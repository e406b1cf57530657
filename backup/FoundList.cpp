#include "backup/FoundList.h"

namespace kalvero {

void FoundList::add(const FoundFile& file) {
  const std::string_view path = file.path;
  const std::size_t slash = path.rfind('/');
  const std::size_t nameStart = slash == std::string_view::npos ? 0 : slash + 1;
  const std::string_view dir = path.substr(0, nameStart);
  // Entries come directory by directory: a directory is stored again only
  // when it differs from the one before.
  if (dirs_.empty() || dirOf(dirs_.back()) != dir) {
    dirs_.push_back(Dir{names_.size(), dir.size()});
    names_.append(dir);
  }
  Entry e;
  e.size = file.size;
  e.nameAt = names_.size();
  e.dir = static_cast<std::uint32_t>(dirs_.size() - 1);
  e.nameSize = static_cast<std::uint32_t>(path.size() - nameStart);
  e.skip = file.skip;
  e.kind = file.kind;
  e.changed = file.changed;
  e.manyLinks = file.status.links > 1 ? 1 : 0;
  names_.append(path.substr(nameStart));
  entries_.push_back(e);
}

void FoundList::path(std::size_t i, std::string& out) const {
  const Entry& e = entries_[i];
  out.assign(dirOf(dirs_[e.dir])).append(names_, e.nameAt, e.nameSize);
}

void FoundList::clear() {
  std::deque<Entry>().swap(entries_);
  std::deque<Dir>().swap(dirs_);
  std::string().swap(names_);
}

}  // namespace kalvero
