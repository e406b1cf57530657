#pragma once
// The check of one file of a backup folder, run on a worker: its SHA-256
// against the list, our archive's entries inflated against their CRC-32,
// and with a source the source file against its copy. Touches nothing but
// its own result; the counters it moves are atomic.
#include <atomic>
#include <cstdint>
#include <optional>
#include <string>

#include "platform/FileSystem.h"
#include "platform/Sha256.h"
#include "verify/VerifyResult.h"

namespace kalvero {

struct FileCheckInput {
  std::string path;                 // the copy in the backup
  platform::FileStatus status;      // as the walk found it
  std::optional<platform::Sha256Digest> listed;  // none: not in the list
  std::int64_t listSeconds = 0, listNanoseconds = 0;
  std::string sourcePath;           // not empty: also read the source (a plain copy's)
  std::string archiveSourcePath;    // the same for our archive NAME.zip (the source NAME)
};

struct FileCheckResult {
  std::optional<Finding> copy;    // the copy's worst state, if bad
  std::optional<Finding> source;  // the source, if it differs or cannot be read
  bool sourceRead = false;
};

struct FileCheckShared {
  const std::atomic<bool>* cancel = nullptr;
  std::atomic<std::uint64_t>* bytesDone = nullptr;  // read so far, for the progress
};

FileCheckResult CheckBackupFile(const FileCheckInput& in, const FileCheckShared& shared);

// Hashes the regular file at path (never a link or special file); false with *err.
bool HashFile(const std::string& path, platform::Sha256Digest* digest, int* err, const FileCheckShared& shared);

}  // namespace kalvero
