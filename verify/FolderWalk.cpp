#include "verify/FolderWalk.h"

#include <algorithm>

#include "platform/DirectoryReader.h"
#include "platform/OwnTemporary.h"
#include "platform/PathUtil.h"
#include "run/ChecksumList.h"

namespace kalvero {

bool HoldsChecksumList(const std::string& dir) {
  const auto st = platform::lstatPath(WithTrailingSlash(dir) + std::string(kChecksumListName));
  return st && st->kind == platform::EntryKind::File && !st->isSymlink;
}

namespace {

enum class Take { No, File, Directory };

// What the check does with an entry of directory dir ("" = the folder).
Take TakeEntry(const std::string& root, const std::string& dir, const platform::DirEntry& entry) {
  if (platform::isProgramTemporaryName(entry.name) || entry.status.isSymlink) return Take::No;
  const bool top = dir.empty();
  if (entry.kind == platform::EntryKind::Directory) {
    if (top && IsDatedFolderName(entry.name) && HoldsChecksumList(root + entry.name)) return Take::No;
    return Take::Directory;
  }
  if (entry.kind != platform::EntryKind::File) return Take::No;
  return top && IsProgramFileName(entry.name) ? Take::No : Take::File;  // the list and its journal
}

}  // namespace

FolderCount CountBackupFolder(const std::string& folder,
                              const std::function<void(const std::string&, int)>& onDirectoryError) {
  FolderCount count;
  std::vector<std::string> pending{""};  // relative directories still to read ("" = the folder)
  const std::string root = WithTrailingSlash(folder);
  while (!pending.empty()) {
    const std::string dir = std::move(pending.back());
    pending.pop_back();
    platform::DirectoryReader reader(root + dir);
    platform::DirEntry entry;
    while (reader.next(entry)) {
      const Take take = TakeEntry(root, dir, entry);
      if (take == Take::Directory) pending.push_back(dir + entry.name + "/");
      if (take != Take::File) continue;
      ++count.files;
      count.bytes += entry.status.size;
    }
    if (reader.error() != 0 && onDirectoryError) onDirectoryError(root + dir, reader.error());
  }
  return count;
}

SortedFolderWalk::SortedFolderWalk(std::string folder) : root_(WithTrailingSlash(folder)) { enter(""); }

// One directory's entries, sorted; a directory that cannot be read (to its
// end) gives what it gave (the count said so already).
void SortedFolderWalk::enter(const std::string& prefix) {
  Level level;
  level.prefix = prefix;
  platform::DirectoryReader reader(root_ + prefix);
  platform::DirEntry entry;
  while (reader.next(entry)) {
    const Take take = TakeEntry(root_, prefix, entry);
    if (take == Take::Directory) level.items.push_back({entry.name + "/", true, {}});
    if (take == Take::File) level.items.push_back({entry.name, false, entry.status});
  }
  std::sort(level.items.begin(), level.items.end());
  stack_.push_back(std::move(level));
}

bool SortedFolderWalk::next(WalkedFile& file) {
  while (!stack_.empty()) {
    Level& top = stack_.back();
    if (top.index == top.items.size()) {
      stack_.pop_back();
      continue;
    }
    Item& item = top.items[top.index++];
    if (item.directory) {
      enter(top.prefix + item.key);  // top may move: nothing of it is used afterwards
      continue;
    }
    file.relative.assign(top.prefix).append(item.key);
    file.status = item.status;
    return true;
  }
  return false;
}

}  // namespace kalvero
