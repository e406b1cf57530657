#pragma once
// The source walk of a backup (also used by the restore): which files of a
// directory tree are taken, with size and last-write time from the search,
// and the destination names of the files of a pair.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/Records.h"
#include "platform/FileTime.h"

namespace kalvero {

struct FoundFile {
  std::string path;                 // full path of the source file
  std::uint64_t size = 0;           // as the directory search reports it
  platform::FileTime lastWrite = 0;  // 100 ns since 1601, UTC
  unsigned char skip = 0;           // 1: the check file says it is already copied unchanged
};

// The parameters of one search. Pointers may be null ("absent").
struct WalkOptions {
  int withSubdirs = 1;
  std::vector<std::string>* pathList = nullptr;  // receives the path of every file taken
  int archiveOnly = 0;                           // only files whose archive bit is set
  const std::vector<std::string>* allowedPatterns = nullptr;
  const std::vector<std::string>* excludedPatterns = nullptr;
  std::optional<std::int64_t> from;  // seconds since 1970, inclusive
  std::optional<std::int64_t> to;    // seconds since 1970, inclusive
  const std::vector<std::string>* excludedDirectories = nullptr;  // files lying directly in them are not taken
  const std::vector<std::string>* excludedTrees = nullptr;        // not searched at all
  std::vector<FoundFile>* foundFiles = nullptr;
  std::uint64_t totalBytes = 0;  // out: sum of the sizes put into foundFiles (or handed to onFile)
  // When set, called for every file taken, after pathList and foundFiles;
  // a caller that handles files as they come needs no foundFiles list.
  std::function<void(const FoundFile&)> onFile;
};

// Searches dir (depth first, entries in the order the directory returns
// them). A symlinked directory is never entered; a symlink to a file is
// taken as that file; dangling links, FIFOs, sockets and devices are not
// taken. Unreadable or missing directories silently contribute nothing.
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

// A path as a run uses it: a relative path, or one with "." or ".."
// components or doubled "/", becomes absolute (against the current
// directory) and lexically normalised; any other path stays as it is.
std::string NormaliseJobPath(const std::string& path);
// The job list with every source, destination and exclusion normalised as
// above; a run calls this once when it starts.
JobList NormaliseJobList(const JobList& jobs);

}  // namespace kalvero
