#pragma once
// File kinds, attributes, times, directories and renames. Every call takes
// an optional errno out-parameter; interrupted calls are retried inside.
#include <cstdint>
#include <optional>
#include <set>
#include <string>

#include "platform/FileTime.h"

namespace kalvero::platform {

enum class EntryKind { None, File, Directory, Other };

struct FileStatus {
  EntryKind kind = EntryKind::None;  // after following symlinks
  bool isSymlink = false;            // the name itself is a symbolic link
  std::uint64_t size = 0;
  FileTime lastWrite = 0;
  FileTime lastAccess = 0;
  std::int64_t mtimeSeconds = 0;
  std::int64_t mtimeNanoseconds = 0;
  std::uint32_t mode = 0;  // permission bits
  std::uint32_t uid = 0;
  std::uint32_t gid = 0;
  // Last status change: tells whether mode, owner or xattrs changed since a copy was made.
  std::int64_t ctimeSeconds = 0;
  std::int64_t ctimeNanoseconds = 0;
  std::uint64_t links = 1;  // names of the file (hard links)
  std::uint64_t inode = 0;
  std::uint64_t device = 0;
};

// stat() (following symlinks); nullopt when the path does not exist or is too long.
std::optional<FileStatus> statPath(const std::string& path, int* err = nullptr);
// lstat(): the name itself.
std::optional<FileStatus> lstatPath(const std::string& path, int* err = nullptr);

bool makeDirectory(const std::string& path, int* err = nullptr);  // one level, mode 0777 & ~umask
bool removeFile(const std::string& path, int* err = nullptr);
bool removeDirectory(const std::string& path, int* err = nullptr);
bool renamePath(const std::string& from, const std::string& to, int* err = nullptr);
// A second name for an existing file (hard link); false where the file system has none.
bool linkPath(const std::string& existing, const std::string& newName, int* err = nullptr);
// The same between two open directories (no path is looked up again), never
// following a link at either name; status (when set): the file's, read
// through the new name. pathForFaults: the new name's full path (fault injection only).
bool linkAt(int fromDir, const char* fromName, int toDir, const char* toName, const std::string& pathForFaults,
            FileStatus* status, int* err = nullptr);
bool setFileTimes(const std::string& path, FileTime lastWrite, FileTime lastAccess, int* err = nullptr);
// Absolute, lexically normalised form ("." and ".." folded, no trailing "/").
std::string absolutePath(const std::string& path);
// True when the directory dir is where a file system is mounted (its device
// differs from its parent's, or it is "/").
bool isMountPoint(const std::string& dir);
// Flushes the file system holding path (syncfs); false on failure.
bool syncFileSystemOf(const std::string& path, int* err = nullptr);
// Flushes the file system of every existing directory of paths, each file
// system once however many of them lie on it.
void syncFileSystemsOnce(const std::set<std::string>& paths);

// The attribute word built from POSIX (see the constants).
constexpr std::uint32_t ATTR_READONLY = 0x01;   // owner write bit clear
constexpr std::uint32_t ATTR_HIDDEN = 0x02;     // name starts with "."
constexpr std::uint32_t ATTR_DIRECTORY = 0x10;
constexpr std::uint32_t ATTR_ARCHIVE = 0x20;    // changed since the last reset
constexpr std::uint32_t ATTR_NORMAL = 0x80;     // nothing else set

// The archive bit lives in the xattr user.kalvero.archived = "<mtime ns>:<size>:<inode>".
bool getFileAttributes(const std::string& path, std::uint32_t& attributes, int* err = nullptr);
// Applies READONLY and ARCHIVE of attributes. When the file system cannot keep
// the archive bit (no user xattrs, read-only mount) the reset is a no-op that
// succeeds and *archiveUnsupported is set.
bool setFileAttributes(const std::string& path, std::uint32_t attributes, int* err = nullptr,
                       bool* archiveUnsupported = nullptr);
// Resets the archive bit of a file to the state it had before its copy: the
// stamp is that of before, and only when the file still has that size, time
// and inode (else *changed is set and nothing is written). Never follows a
// link, never leaves the permission bits changed (a read-only file is made
// writable for the moment the stamp needs and given its mode back).
// Unsupported file systems: no-op, *archiveUnsupported set.
bool resetArchiveBit(const std::string& path, const FileStatus& before, bool* changed, int* err = nullptr,
                     bool* archiveUnsupported = nullptr);
// Archive bit of a file whose status is already known (one getxattr, no stat).
bool archiveBitSet(const std::string& path, const FileStatus& status);
// The same for the entry name of the open directory dirFd (path names it for
// fault rules and for kernels that cannot read it relative to the directory).
bool archiveBitSetAt(int dirFd, const char* name, const std::string& path, const FileStatus& status);

}  // namespace kalvero::platform
