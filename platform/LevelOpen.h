#pragma once
// Paths below a root opened one level at a time, never through a symbolic
// link below the root: a tree that changes while a run works in it (a folder
// replaced by a link) cannot lead the run's reads or writes elsewhere. The
// root itself and what lies above it are the user's and are followed.
#include <sys/types.h>

#include <cerrno>
#include <memory>
#include <optional>
#include <string>

#include "platform/FileSystem.h"

struct stat;

namespace kalvero::platform {

// Opens the directory dir (root itself or below it) as an O_PATH descriptor:
// root with its links followed, every level below with O_NOFOLLOW. -1 with
// *err: ELOOP or ENOTDIR when a level below root is not a real directory,
// EXDEV when dir is not below root.
int openDirectoryBelow(const std::string& root, const std::string& dir, int* err = nullptr);

// The same below an open directory rootFd: relative ("" for rootFd itself)
// names a directory below it, opened without following a link at any level.
int openDirectoryBeneath(int rootFd, const std::string& relative, const std::string& pathForFaults,
                         int* err = nullptr);

// The status of path (below root) without following a link at any level
// below root, the last one included; of root itself with its links followed.
// False with *err as above.
bool statBelow(const std::string& root, const std::string& path, struct stat& st, int* err = nullptr);
// statBelow as lstatPath gives it (a link's kind is Other); nullopt with *err.
std::optional<FileStatus> statusBelow(const std::string& root, const std::string& path, int* err = nullptr);

// The errors of a look below a root that say a link or a file stands on the
// path below it (not: the entry is gone or unreadable).
inline bool LeftItsPath(int err) { return err == ELOOP || err == ENOTDIR || err == EXDEV; }

// The entry name in the open directory dir, as lstatPath gives it; nullopt with *err.
std::optional<FileStatus> statusAt(int dir, const char* name, const std::string& pathForFaults, int* err = nullptr);

// statusBelow for many paths below one root, kept open meanwhile: each look
// opens only the path's directory below it (a run's looks at its source),
// and the looks into one directory in a row share its descriptor (what
// becomes of the path meanwhile cannot lead them elsewhere: the directory
// opened without a link is the one they look into).
class RootBelow {
 public:
  RootBelow() = default;
  ~RootBelow();
  RootBelow(const RootBelow&) = delete;
  RootBelow& operator=(const RootBelow&) = delete;
  // The root of the following looks; its descriptor is opened by the first.
  void reset(const std::string& root);
  std::optional<FileStatus> status(const std::string& path, int* err = nullptr);

 private:
  void closeDirectory();
  std::string root_;
  int fd_ = -1;
  std::string dirRelative_;  // of dirFd_, below the root
  int dirFd_ = -1;
};

// A directory held open for the files in it that worker threads open, create
// and rename by their names: closed when the last of them lets it go.
class HeldDirectory {
 public:
  explicit HeldDirectory(int fd) : fd_(fd) {}
  ~HeldDirectory();
  HeldDirectory(const HeldDirectory&) = delete;
  HeldDirectory& operator=(const HeldDirectory&) = delete;
  int fd() const { return fd_; }

 private:
  int fd_;
};
using SharedDirectory = std::shared_ptr<const HeldDirectory>;

// Directories below one root held in turn, opened as RootBelow opens them
// (never through a link below the root): the files of one directory, held
// in a row, share one descriptor.
class DirectoriesBelow {
 public:
  // The root of the following holds; its descriptor is opened by the first.
  void reset(const std::string& root);
  // dir (the root or below it), open; null with *err.
  SharedDirectory hold(const std::string& dir, int* err = nullptr);

 private:
  std::string root_;
  SharedDirectory rootHeld_;
  std::string dir_;
  SharedDirectory held_;
};

// Opens path (below root) with flags plus O_NOFOLLOW | O_CLOEXEC, every
// directory on the way as openDirectoryBelow does. -1 with *err.
int openBelow(const std::string& root, const std::string& path, int flags, int* err = nullptr);

// True when path, resolved (links and ".." followed as the system does), is
// dir itself or lies below it: the existing directories on its way are
// compared by device and inode, so neither a link nor ".." hides it. The
// part of path that does not exist yet is taken by its text.
bool isSameOrBelow(const std::string& path, const std::string& dir);

// Writes the file's data and then its directory's entry to the disk, so a
// name put in place by a rename survives a crash. False with *err.
bool flushFileAndDirectory(const std::string& path, int* err = nullptr);

}  // namespace kalvero::platform
