#include "run/WalkListing.h"

#include <algorithm>

#include "platform/FileSystem.h"
#include "platform/PathUtil.h"
#include "platform/TreeCopy.h"

namespace kalvero::walk {

namespace {

bool nameLess(const platform::DirEntry& e, std::string_view name) { return e.name < name; }

// The destination directory of a listing: only names and their lstat; what
// cannot be read counts as holding nothing (the copies are made again).
void readCopies(const CopySide& side, Listing& out) {
  out.copiesRead = true;
  platform::DirectoryReader reader(side.dir);
  platform::DirEntry entry;
  while (reader.isOpen() && reader.next(entry)) out.copies.push_back(std::move(entry));
  if (reader.error()) out.copies.clear();
  std::sort(out.copies.begin(), out.copies.end(),
            [](const platform::DirEntry& a, const platform::DirEntry& b) { return a.name < b.name; });
  if (!side.suffix || side.suffix->empty()) return;
  out.byName.resize(out.entries.size());
  for (std::uint32_t i = 0; i < out.byName.size(); ++i) out.byName[i] = i;
  std::sort(out.byName.begin(), out.byName.end(),
            [&](std::uint32_t a, std::uint32_t b) { return out.entries[a].name < out.entries[b].name; });
}

}  // namespace

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
  const auto it = std::lower_bound(l.copies.begin(), l.copies.end(), name, nameLess);
  return it != l.copies.end() && it->name == name ? &*it : nullptr;
}

bool sourceHas(const Listing& l, std::string_view name) {
  const auto it = std::lower_bound(l.byName.begin(), l.byName.end(), name,
                                   [&](std::uint32_t i, std::string_view n) { return l.entries[i].name < n; });
  return it != l.byName.end() && l.entries[*it].name == name;
}

std::string prefixOf(const std::string& dir) {
  return WithTrailingSlash(WithoutTrailingSlash(dir));
}

void readListing(const std::string& dir, bool withMarkers, const CopySide& copies, Listing& out) {
  {
    platform::DirectoryReader reader(dir);
    out.opened = reader.isOpen();
    if (out.opened) {
      platform::DirEntry entry;
      while (reader.next(entry)) out.entries.push_back(std::move(entry));
    }
    out.error = reader.error();
  }
  if (out.opened && !copies.dir.empty()) {
    readCopies(copies, out);
    out.xattrsToCarry = platform::directoryXattrsToCarry(dir);
  }
  if (!withMarkers) return;
  // The status calls and marker reads are what a no-change run waits for:
  // done here, they run beside the search on another core.
  const std::string prefix = prefixOf(dir);
  out.marked.resize(out.entries.size());
  for (std::size_t i = 0; i < out.entries.size(); ++i)
    if (kindOf(out.entries[i]) == EntryKind::File)
      out.marked[i] = platform::archiveBitSet(prefix + out.entries[i].name, out.entries[i].status) ? 1 : 0;
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
