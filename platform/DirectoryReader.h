#pragma once
// One directory search: opendir/readdir + fstatat(AT_SYMLINK_NOFOLLOW). Every
// entry is reported as what it is itself: a symbolic link is never followed
// (kind Other with status.isSymlink set and the link's own size and times),
// FIFOs, sockets and devices are Other without isSymlink.
#include <memory>
#include <string>

#include "platform/FileSystem.h"

namespace kalvero::platform {

struct DirEntry {
  std::string name;
  EntryKind kind = EntryKind::None;
  FileStatus status;  // lstat of the entry
};

class DirectoryReader {
 public:
  explicit DirectoryReader(const std::string& directory);
  ~DirectoryReader();
  DirectoryReader(const DirectoryReader&) = delete;
  DirectoryReader& operator=(const DirectoryReader&) = delete;

  bool isOpen() const;
  // Next entry except "." and ".."; false at the end or on a read error.
  bool next(DirEntry& entry);
  // errno of a failed open or of the read error that ended the search; 0 after a clean end.
  int error() const;
  // Archive bit of an entry this reader returned, read relative to the open directory.
  bool archiveBitSet(const DirEntry& entry);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace kalvero::platform
