#pragma once
// One directory as the walk reads it, with the destination's directory
// beside it (what the walk compares each entry with), and the small helpers
// the walk and its read-ahead share.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/DirectoryReader.h"
#include "run/Walk.h"

namespace kalvero::walk {

bool listed(const std::vector<std::string>* list, const std::string& dir);
EntryKind kindOf(const platform::DirEntry& entry);

// Where the copies of a directory are looked up, and the suffix looked up too.
struct CopySide {
  std::string dir;  // empty: none
  const std::string* suffix = nullptr;
};

// Names of a list of directory entries, found by hashing: a listing's names
// are looked up once each, so building a table beats sorting them.
class NameIndex {
 public:
  void build(const std::vector<platform::DirEntry>& entries);
  // The index of name in the entries the index was built from, or -1.
  std::int64_t find(const std::vector<platform::DirEntry>& entries, std::string_view name) const;

 private:
  std::vector<std::uint32_t> slots_;  // entry index + 1; 0: free
};

// One directory as a search reads it: its entries with their status, and
// (read ahead only) for each regular file whether its archive marker says changed.
struct Listing {
  bool opened = false;
  int error = 0;  // of the open, or of the read that ended the search early
  std::vector<platform::DirEntry> entries;
  std::vector<unsigned char> marked;
  // With a copy side: the destination directory's entries (none when it is
  // missing or unreadable: then every copy is missing) with their index, and
  // with a suffix an index of the source entries' names.
  bool copiesRead = false;
  bool xattrsToCarry = true;  // of the directory itself, read with its copies
  std::vector<platform::DirEntry> copies;
  NameIndex copyNames;
  NameIndex entryNames;
};

// The copy of name in the listing's destination directory, or null.
const platform::DirEntry* findCopy(const Listing& l, std::string_view name);
// The source directory itself holds name (only with a suffix: see Listing::entryNames).
bool sourceHas(const Listing& l, std::string_view name);
// Entry paths start from the directory without trailing "/" ("/" for the root).
std::string prefixOf(const std::string& dir);
// Reads dir (and with a copy side its destination directory) into out; with
// withMarkers each regular file's archive marker too.
void readListing(const std::string& dir, bool withMarkers, const CopySide& copies, Listing& out);
// Whether a listing of dir reads its files' archive markers.
bool readsMarkers(const WalkOptions& o, const std::string& dir);
// The destination directory of a searched directory (none without a copy side).
CopySide copySideOf(const WalkOptions& o, const std::string& dir, int depth);

}  // namespace kalvero::walk
