#include "run/WalkListing.h"

#include <algorithm>
#include <functional>

#include "platform/FileSystem.h"
#include "platform/PathUtil.h"
#include "platform/TreeCopy.h"

namespace kalvero::walk {

namespace {

// A directory's entries come in a few dozen, read ahead: enough room that
// most listings never move their entries while they are read.
constexpr std::size_t kEntriesReserved = 64;

std::size_t slotOf(std::string_view name, std::size_t mask) { return std::hash<std::string_view>{}(name) & mask; }

// The destination directory of a listing: only names and their lstat; what
// cannot be read counts as holding nothing (the copies are made again).
void readCopies(const CopySide& side, Listing& out) {
  out.copiesRead = true;
  platform::DirectoryReader reader(side.dir);
  platform::DirEntry entry;
  if (reader.isOpen()) out.copies.reserve(std::max(kEntriesReserved, out.entries.size()));
  while (reader.isOpen() && reader.next(entry)) out.copies.push_back(std::move(entry));
  if (reader.error()) out.copies.clear();
  out.copyNames.build(out.copies);
  if (side.suffix && !side.suffix->empty()) out.entryNames.build(out.entries);
}

}  // namespace

void NameIndex::build(const std::vector<platform::DirEntry>& entries) {
  std::size_t size = 16;
  while (size < 2 * entries.size()) size *= 2;
  slots_.assign(size, 0);
  const std::size_t mask = size - 1;
  for (std::uint32_t i = 0; i < entries.size(); ++i) {
    std::size_t at = slotOf(entries[i].name, mask);
    while (slots_[at] != 0) at = (at + 1) & mask;
    slots_[at] = i + 1;
  }
}

std::int64_t NameIndex::find(const std::vector<platform::DirEntry>& entries, std::string_view name) const {
  if (slots_.empty()) return -1;
  const std::size_t mask = slots_.size() - 1;
  for (std::size_t at = slotOf(name, mask); slots_[at] != 0; at = (at + 1) & mask)
    if (entries[slots_[at] - 1].name == name) return slots_[at] - 1;
  return -1;
}

bool listed(const std::vector<std::string>* list, const std::string& dir) {
  return list && std::find(list->begin(), list->end(), dir) != list->end();
}

EntryKind kindOf(const platform::DirEntry& entry) {
  if (entry.status.isSymlink) return EntryKind::Symlink;
  switch (entry.kind) {
    case platform::EntryKind::File: return EntryKind::File;
    case platform::EntryKind::Directory: return EntryKind::Directory;
    default: return EntryKind::Special;
  }
}

const platform::DirEntry* findCopy(const Listing& l, std::string_view name) {
  const std::int64_t at = l.copyNames.find(l.copies, name);
  return at < 0 ? nullptr : &l.copies[static_cast<std::size_t>(at)];
}

bool sourceHas(const Listing& l, std::string_view name) { return l.entryNames.find(l.entries, name) >= 0; }

std::string prefixOf(const std::string& dir) {
  return WithTrailingSlash(WithoutTrailingSlash(dir));
}

void readListing(const std::string& dir, bool withMarkers, const CopySide& copies, Listing& out) {
  platform::DirectoryReader reader(dir);
  out.opened = reader.isOpen();
  if (out.opened) {
    out.entries.reserve(kEntriesReserved);
    platform::DirEntry entry;
    while (reader.next(entry)) out.entries.push_back(std::move(entry));
  }
  out.error = reader.error();
  if (out.opened && !copies.dir.empty()) {
    readCopies(copies, out);
    out.xattrsToCarry = platform::directoryXattrsToCarry(dir);
  }
  if (!withMarkers) return;
  // The status calls and marker reads are what a no-change run waits for:
  // done here, they run beside the search on another core.
  out.marked.resize(out.entries.size());
  for (std::size_t i = 0; i < out.entries.size(); ++i)
    if (kindOf(out.entries[i]) == EntryKind::File) out.marked[i] = reader.archiveBitSet(out.entries[i]) ? 1 : 0;
}

bool readsMarkers(const WalkOptions& o, const std::string& dir) {
  return (o.archiveOnly || o.readMarkers) && !listed(o.excludedDirectories, dir);
}

CopySide copySideOf(const WalkOptions& o, const std::string& dir, int depth) {
  CopySide side;
  if (o.copiesRoot.empty()) return side;
  side.suffix = &o.copySuffix;
  if (depth == 0)
    side.dir = o.copiesRoot;
  else
    DestinationPathInto(side.dir, dir, o.sourceRoot, o.copiesRoot);
  return side;
}

}  // namespace kalvero::walk
