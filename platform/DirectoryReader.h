#pragma once
// One directory search: opendir/readdir + fstatat. A symlink to a directory
// is reported as Other (never entered), a symlink to a file as the file it
// points to, dangling links, FIFOs, sockets and devices as Other.
#include <memory>
#include <string>

#include "platform/FileSystem.h"

namespace kalvero::platform {

struct DirEntry {
  std::string name;
  EntryKind kind = EntryKind::None;
  FileStatus status;  // size, times and mode of what the entry stands for
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

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace kalvero::platform
