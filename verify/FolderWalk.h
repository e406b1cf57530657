#pragma once
// The files of one backup folder as its checksum list names them: regular
// files only (links, folders and special files are not listed), relative to
// the folder. Left out: the list itself and its journal, the program's own
// temporaries (a killed run's unfinished copy), and a dated folder at the top
// that holds a list of its own (checked as a backup of its own).
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/FileSystem.h"
#include "run/DatedFolders.h"

namespace kalvero {

struct WalkedFile {
  std::string relative;
  platform::FileStatus status;  // lstat
};

// True when dir holds a checksum list.
bool HoldsChecksumList(const std::string& dir);

struct FolderCount {
  std::size_t files = 0;
  std::uint64_t bytes = 0;
};

// Walks folder and counts its files; onDirectoryError gets each directory
// that could not be read (to its end) with its errno.
FolderCount CountBackupFolder(const std::string& folder,
                              const std::function<void(const std::string&, int)>& onDirectoryError);

// The same files one at a time in the byte order of their relative paths
// (the list's order), holding no more than the directories on the way down.
class SortedFolderWalk {
 public:
  explicit SortedFolderWalk(std::string folder);
  // The next file; false at the end.
  bool next(WalkedFile& file);

 private:
  struct Item {
    std::string key;  // the name, a directory's with "/": it sorts as its files' paths will
    bool directory = false;
    platform::FileStatus status;
    bool operator<(const Item& other) const { return key < other.key; }
  };
  struct Level {
    std::string prefix;
    std::vector<Item> items;
    std::size_t index = 0;
  };
  void enter(const std::string& prefix);
  std::string root_;
  std::vector<Level> stack_;
};

}  // namespace kalvero
