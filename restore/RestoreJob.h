#pragma once
// One source file of a restore, the context the per-file steps work in, and
// those steps.
#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "backup/RunProgress.h"

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

struct RestoreContext {
  ZipArchiveLayer* zip = nullptr;
  ProgressInfo* progress = nullptr;
  RunReporter* reporter = nullptr;
  platform::TextFileWriter* runLog = nullptr;  // null when no run log is open

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
// ours, or when the file is no zip archive at all.
std::uint64_t DecompressArchive(const std::string& archive, const std::string& destinationRoot,
                                std::vector<std::string>& errors, bool& ownArchivesOnly, RestoreContext& ctx);

// True when the name ends in ".zip" in any letter case.
bool HasZipExtension(const std::string& path);

}  // namespace kalvero
