#include "verify/FolderWalk.h"

#include "platform/DirectoryReader.h"
#include "platform/OwnTemporary.h"
#include "platform/PathUtil.h"
#include "run/ChecksumList.h"

namespace kalvero {

bool HoldsChecksumList(const std::string& dir) {
  const auto st = platform::lstatPath(WithTrailingSlash(dir) + std::string(kChecksumListName));
  return st && st->kind == platform::EntryKind::File && !st->isSymlink;
}

std::vector<WalkedFile> WalkBackupFolder(const std::string& folder,
                                         const std::function<void(const std::string&, int)>& onDirectoryError) {
  std::vector<WalkedFile> files;
  std::vector<std::string> pending{""};  // relative directories still to read ("" = the folder)
  const std::string root = WithTrailingSlash(folder);
  while (!pending.empty()) {
    const std::string dir = std::move(pending.back());
    pending.pop_back();
    platform::DirectoryReader reader(root + dir);
    platform::DirEntry entry;
    while (reader.next(entry)) {
      if (platform::isProgramTemporaryName(entry.name)) continue;
      const bool top = dir.empty();
      std::string relative = dir + entry.name;
      if (entry.kind == platform::EntryKind::Directory && !entry.status.isSymlink) {
        if (top && IsDatedFolderName(entry.name) && HoldsChecksumList(root + relative)) continue;
        pending.push_back(relative + "/");
      } else if (entry.kind == platform::EntryKind::File && !entry.status.isSymlink) {
        if (top && IsProgramFileName(entry.name)) continue;  // the list and its journal
        files.push_back({std::move(relative), entry.status});
      }
    }
    if (reader.error() != 0 && onDirectoryError) onDirectoryError(root + dir, reader.error());
  }
  return files;
}

}  // namespace kalvero
