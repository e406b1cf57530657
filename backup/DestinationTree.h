#pragma once
// The directories of a pair's destination as the run makes and checks them.
// Every level from the destination root to a copy must be a real directory:
// the run never writes through a link inside its destination (a stored link
// is only our copy of one). What the source no longer has in the same kind
// (a folder that became a file, a file that became a link) is kept beside
// the new entry under a name that says what it was and until when.
#include <functional>
#include <map>
#include <optional>
#include <string>

#include "platform/FileSystem.h"

namespace kalvero {

class DestinationTree {
 public:
  enum class Kind { Directory, File, Link };
  struct Hooks {
    // Whether this run already put the entry at path there for another source
    // (two pairs meeting in one destination): it is never moved aside.
    std::function<bool(const std::string& path)> takenThisRun;
    // The entry at path is about to be kept aside (or, for our archive, unpacked
    // beside and removed): called before anything is moved.
    std::function<void(const std::string& path)> keeping;
    // The previous entry at path now has the name keptAs (a note line).
    std::function<void(const std::string& path, const std::string& keptAs)> kept;
    // Our archive at path could not be unpacked beside the new entry (an error line).
    std::function<void(const std::string& path, int err)> keepFailed;
    // The other form of a file at path was removed (its new form is on the disk).
    std::function<void(const std::string& path)> removed;
  };

  DestinationTree() = default;
  ~DestinationTree();
  DestinationTree(const DestinationTree&) = delete;
  DestinationTree& operator=(const DestinationTree&) = delete;

  // A new run: the cache is emptied; date is the run's day (e.g. "2026-12-09").
  void beginRun(std::string date);
  // The pair being run: both roots (with or without "/"), the hooks it reports through.
  void beginPair(const std::string& sourceRoot, const std::string& destRoot, Hooks hooks);

  // dir and every directory between the pair's destination root and it exist
  // as real directories the run can write into. The root and what lies above
  // it are made as the user's path says (links followed). A level that is a
  // link or a file is kept aside and replaced, unless this run made it for
  // another source (then false with EEXIST). Levels verified once in this
  // run cost nothing again. quiet (for files handled ahead of their turn):
  // nothing is kept aside and nothing said; false with EEXIST instead.
  bool makeDirectories(const std::string& dir, int* err = nullptr, bool quiet = false);
  // The run set dir's own mode: the next copy into it checks it again.
  void modeSet(const std::string& dir);

  // path (below the destination root, its parent made) is free for an entry
  // of kind: an entry of another kind there is kept aside (never one this
  // run made for another source: false with EEXIST); for a link our archive
  // of the former file (path + ".zip") too. A regular file stays for a file.
  bool clearFor(const std::string& path, Kind kind, int* err = nullptr);

  // After the copy of a file is in place under committed: the other form of
  // the same file (our single-file archive beside a plain copy, or the plain
  // copy beside the archive) is flushed away once committed is on the disk.
  // A source file that itself has the archive's name keeps its copy.
  void removeOtherForm(const std::string& committed, bool compressed);

  // The entry at path itself (a link not followed), nullopt with *err. In a
  // directory this run made or checked, it is looked up in that directory
  // kept open, without walking the whole path again.
  std::optional<platform::FileStatus> look(const std::string& path, int* err = nullptr);
  // That open directory of path's parent for a rename in it, or -1.
  int directoryOf(const std::string& path);

 private:
  std::string sourceOf(const std::string& destination) const;
  bool makeLevels(const std::string& dir, std::size_t skip, int* err, bool quiet);
  bool verifyLevel(const std::string& path, int* err, bool quiet);
  // dir (verified) opened below the root as the open directory, or -1.
  int openVerified(const std::string& dir);
  // dir and the levels above it are checked again by the next makeDirectories.
  void forgetLevelsOf(const std::string& dir);
  bool keepAside(const std::string& path, Kind kind, int* err);
  void keepArchiveAside(const std::string& plainName);
  void unpackArchivesIn(const std::string& dir);
  bool unpackArchive(const std::string& archive, const std::string& target, int& e);
  bool isOurArchive(const std::string& archive, const std::string& plainName) const;
  std::string keptName(const std::string& path, Kind kind) const;
  void forgetBelow(const std::string& path);
  void closeOpenDirectory();

  std::string date_;
  std::string sourceRoot_, destRoot_;  // without trailing "/"
  Hooks hooks_;
  // Directories of this run known to be real ones: whether their owner may
  // write into them (not again after the run set their mode), and whether
  // this run made them (then all they hold is this run's).
  struct Level {
    bool writable = true;
    bool made = false;
  };
  std::map<std::string, Level> verified_;
  // The directory of the last look, opened below the root (never through a link).
  std::string openDir_;
  int openDirFd_ = -1;
  std::string turnDir_;  // the directory of the last file in its own turn
};

}  // namespace kalvero
