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

// Walks folder; onDirectoryError gets each directory that could not be read
// (to its end) with its errno. The files come in the order found.
std::vector<WalkedFile> WalkBackupFolder(const std::string& folder,
                                         const std::function<void(const std::string&, int)>& onDirectoryError);

}  // namespace kalvero
