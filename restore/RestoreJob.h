#pragma once
// One source file of a restore, the context the per-file steps work in, and
// those steps.
#include <atomic>
#include <cstdint>
#include <string>
#include <unordered_set>
#include <vector>

#include "platform/FileTime.h"
#include "restore/HardLinks.h"
#include "run/RunProgress.h"

namespace kalvero {

class ZipArchiveLayer;
namespace platform {
class TextFileWriter;
}

struct RestoreJob {
  std::string sourceRoot;       // restore source with trailing "/"
  std::string source;           // full path of the file below sourceRoot
  std::string destinationRoot;  // working destination with trailing "/"
  std::string destination;      // full destination path of a plain copy (set by RestoreOneFile)
  bool isArchive = false;       // extension ".zip", any case
  std::uint64_t unpackedSize = 0;
  std::uint64_t fileSize = 0;
  bool ownArchivesOnly = true;  // in: "OnlyByKalvero"; cleared when the archive is not unpacked as ours
};

// The single entry of an archive that a worker already unpacked under a
// hidden name, with what the run needs to know of the archive: the run puts
// it in place by a rename without opening the archive again.
struct PreparedUnpack {
  std::string name;     // the entry's name below the destination (SingleEntryName)
  std::string staging;  // "" once taken or thrown away
  std::uint64_t size = 0;  // uncompressed

  PreparedUnpack() = default;
  PreparedUnpack(const PreparedUnpack&) = delete;
  PreparedUnpack& operator=(const PreparedUnpack&) = delete;
  ~PreparedUnpack();  // removes the staging file when it was not taken
};

struct RestoreContext {
  ZipArchiveLayer* zip = nullptr;
  ProgressInfo* progress = nullptr;
  RunReporter* reporter = nullptr;
  platform::TextFileWriter* runLog = nullptr;  // null when no run log is open
  // Links this run makes (or replaces by a link of the backup): never followed.
  const std::unordered_set<std::string>* runLinks = nullptr;
  PreparedUnpack* prepared = nullptr;  // for the archive being unpacked, if a worker did it
  RestoredHardLinks hardLinks{};       // plain files with several names, for the whole run

  platform::LocalTime day;          // the run's start: the date in the names of kept versions
  int* keptVersions = nullptr;      // target files kept beside their restored copy
  int* unchangedTargets = nullptr;  // target files equal to the backup's copy, left as they were

  // A note to the log page and, when open, the run log (which may throw platform::FileError).
  void note(const std::string& line) const;
  void notify(int code) const {
    if (reporter && progress) reporter->progress(code, *progress);
  }
};

// Copies or unpacks one file; true when no error text was produced. The
// texts go to the run log (when open) and to the log page. A failure to
// write the run log throws platform::FileError.
bool RestoreOneFile(RestoreJob& job, RestoreContext& ctx);

// Unpacks every entry of archive below destinationRoot; returns the sum of
// the uncompressed sizes of the entries gone through. ownArchivesOnly is
// cleared (nothing unpacked) when the comment does not mark the archive as
// ours, or when the file is no zip archive at all. archiveRelative is the
// archive's path below the restore source: the single entry of our own
// archive goes beside the plain files of its folder (SingleEntryName).
std::uint64_t DecompressArchive(const std::string& archive, const std::string& destinationRoot,
                                std::vector<std::string>& errors, bool& ownArchivesOnly, RestoreContext& ctx,
                                const std::string& archiveRelative = {});

// The links and directories of the backup (RestoreTree.cpp). Each returns
// "" or the error line (without line end).
// Creates the directory target (below destinationRoot) with its parents.
std::string CreateRestoredDirectory(const std::string& destinationRoot, const std::string& target);
// Makes target a link like source, replacing a file or link there; target is
// added to runLinks. Call after every file and directory of the run.
std::string RestoreLink(const std::string& source, const std::string& destinationRoot, const std::string& target,
                        std::unordered_set<std::string>& runLinks);
// Gives the directory target the attributes of source; call after its
// content. A target that is the user's own link to a directory is left as it is.
std::string FinishDirectory(const std::string& source, const std::string& destinationRoot, const std::string& target,
                            const std::unordered_set<std::string>& runLinks);

// True when the name ends in ".zip" in any letter case.
bool HasZipExtension(const std::string& path);

}  // namespace kalvero
