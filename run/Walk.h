#pragma once
// The source walk of a backup (also used by the restore): which files of a
// directory tree are taken, with size and last-write time from the search,
// and the destination names of the files of a pair.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/Records.h"
#include "platform/FileSystem.h"
#include "platform/FileTime.h"

namespace kalvero {

// What a found entry is. Without WalkOptions::allKinds only File occurs.
enum class EntryKind { File, Symlink, Directory, Special };

// What the destination directory holds under a found file's or link's name
// (see WalkOptions::copiesRoot): the status of each name, not followed.
struct CopiesFound {
  bool looked = false;             // the destination directory was read (a missing one holds nothing)
  bool sourceHasSuffixed = false;  // the source directory itself holds NAME + copySuffix
  std::optional<platform::FileStatus> plain;     // NAME
  std::optional<platform::FileStatus> suffixed;  // NAME + copySuffix
};

struct FoundFile {
  std::string path;                 // full path of the source file
  std::uint64_t size = 0;           // as the directory search reports it (a link: its target text's length)
  platform::FileTime lastWrite = 0;  // 100 ns since 1601, UTC (a link: its own time, lstat)
  // 1: the check file says it is already copied unchanged; 2: only its mode,
  // owner or xattrs are to be carried to its copy; 3 and 4: a complete
  // state's base holds it unchanged, to be linked (see backup/PairSelection.h).
  unsigned char skip = 0;
  EntryKind kind = EntryKind::File;
  // 0: archiveOnly or readMarkers and the archive marker says unchanged
  // (with archiveOnly handed on only with copiesRoot); 1: changed, or not asked.
  unsigned char changed = 1;
  platform::FileStatus status;  // the entry's own status as the search read it
  CopiesFound copies;           // with copiesRoot, files and links only
  // A directory (with copiesRoot): its copy was, when the walk looked, a real
  // directory with the source's mode, owner, group and time, no archive of a
  // former file of its name beside it, and the source has no xattrs to carry.
  bool copyMatches = false;
};

// The parameters of one search. Pointers may be null ("absent").
struct WalkOptions {
  int withSubdirs = 1;
  std::vector<std::string>* pathList = nullptr;  // receives the path of every file taken
  int archiveOnly = 0;                           // only files whose archive bit is set
  // Read each file's archive bit into FoundFile::changed without choosing by
  // it (a complete state takes every file; the marker says whether a link
  // needs the marker written too).
  bool readMarkers = false;
  const std::vector<std::string>* allowedPatterns = nullptr;
  const std::vector<std::string>* excludedPatterns = nullptr;
  std::optional<std::int64_t> from;  // seconds since 1970, inclusive
  std::optional<std::int64_t> to;    // seconds since 1970, inclusive
  const std::vector<std::string>* excludedDirectories = nullptr;  // files lying directly in them are not taken
  const std::vector<std::string>* excludedTrees = nullptr;        // not searched at all
  std::vector<FoundFile>* foundFiles = nullptr;
  std::uint64_t totalBytes = 0;  // out: sum of the sizes put into foundFiles (or handed to onFile)
  // When set, called for every file taken, after pathList and foundFiles;
  // a caller that handles files as they come needs no foundFiles list. The
  // entry is the walk's own: the callee may move its path away.
  std::function<void(FoundFile&)> onFile;
  // Report links, special files and directories too (see WalkDirectory).
  bool allKinds = false;
  // Called for a directory that cannot be opened or read to its end, with the
  // errno; without it such a directory silently contributes what was read.
  std::function<void(const std::string& dir, int err)> onDirectoryError;
  // Threads reading directories ahead of the search (0: RunThreadCount()).
  // The callbacks above are always called on the caller's thread, in order.
  int threads = 0;
  // The copy side. When copiesRoot is set, the counterpart of every searched
  // directory below it (copiesRoot + the part below sourceRoot, both with
  // "/") is read beside it, on the workers like the source, and every file
  // and link is handed on with FoundFile::copies; with archiveOnly a file
  // whose marker says unchanged is handed on too (changed 0), so the caller
  // can take it when its copy is missing. copySuffix: a second name looked
  // up for each entry (an archive's ".zip"), on both sides.
  std::string copiesRoot;
  std::string sourceRoot;
  std::string copySuffix;
};

// Searches dir (depth first, entries in the order the directory returns
// them; with more than one thread, subdirectories are read ahead). A link
// below dir is never followed: no linked directory is entered and nothing a
// link points to is read (dir itself may be a link: the user chose it). The
// program's own hidden temporaries (half-written copies, the staging
// directory of a restore) are never taken, nor searched.
//
// Without allKinds only regular files are reported. With allKinds:
// - Symlink: every symbolic link (to a file, to a directory, dangling, loops)
//   with the size and time of the link itself. Excluded directories, name
//   patterns and the date interval apply as to files; a link cannot carry
//   the archive marker, so "archive bit only" always takes it (the check file
//   still skips an unchanged one).
// - Special: FIFOs, sockets and devices, size 0, so the caller can name them;
//   excluded directories and name patterns apply, dates and the marker not.
//   Nothing opens them.
// - Directory: every directory below dir that was searched, AFTER its
//   content (post-order), size 0, no filter, so the caller can create empty
//   ones and set a directory's mode and time last. Excluded trees and
//   directories that cannot be opened are not reported.
// pathList receives regular files only; foundFiles and onFile get every kind,
// and totalBytes counts files and links.
void WalkDirectory(const std::string& dir, WalkOptions& options);

// The excluded trees and excluded directories of a pair, in list order.
struct ExclusionLists {
  std::vector<std::string> trees;
  std::vector<std::string> directories;
};
ExclusionLists SplitExclusions(const DirPair& pair);

// The destination of a pair for this run: with "SubVerzDatum" on, the local
// date "%04d_%02d_%02d" of now is appended as a subdirectory.
std::string PairDestinationRoot(const DirPair& pair, const BackupOptions& options, const platform::LocalTime& now);

// The destination path of a found file: destinationRoot followed by the part
// of file below sourceRoot (each root taken with a trailing "/").
std::string DestinationPathOf(const std::string& file, const std::string& sourceRoot,
                              const std::string& destinationRoot);
// The same into out, whose buffer is reused (a run's loop over many files).
void DestinationPathInto(std::string& out, std::string_view file, std::string_view sourceRoot,
                         std::string_view destinationRoot);
// The part of file that DestinationPathOf puts below the destination root.
std::string_view PathBelowRoot(std::string_view file, std::string_view sourceRoot);

// A path as a run uses it: a relative path, or one with "." or ".."
// components or doubled "/", becomes absolute (against the current
// directory) and lexically normalised; any other path stays as it is.
std::string NormaliseJobPath(const std::string& path);
// The job list with every source, destination and exclusion normalised as
// above; a run calls this once when it starts.
JobList NormaliseJobList(const JobList& jobs);

}  // namespace kalvero
