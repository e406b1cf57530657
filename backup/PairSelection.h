#pragma once
// What a backup takes of one pair and which of it the check file skips: the
// walk with the pair's exclusions and the options' filters (archive bit, name
// patterns, date interval), then the check-file decision per file. The run
// and kalvero-cli list select by this one piece, so the dry run shows what
// the run copies.
#include <cstdint>
#include <functional>
#include <string>

#include "app/Records.h"
#include "run/Walk.h"

namespace kalvero {

class CheckFile;

// "Allg" as a run reads it before each pair: a settings file that cannot be
// read now leaves options as they are (its defaults would change what the
// pair copies, without a word). An empty path leaves them too.
void ReloadPairOptions(const std::string& settingsPath, BackupOptions& options);

struct PairSelectionInput {
  const DirPair* pair = nullptr;
  const BackupOptions* options = nullptr;  // as reloaded for this pair
  const DateFilter* dateFilter = nullptr;  // bounds as the front end holds them
  std::string destinationRoot;             // PairDestinationRoot of this run
  CheckFile* checkFile = nullptr;          // null: every file is copied
  // Set while the check file may still be loading: with false it says whether
  // it is ready, with true it waits until it is. The entries found before are
  // held back and handed on in order once it is.
  std::function<bool(bool wait)> checkFileReady;
  // A directory of the walk that could not be read to its end, with its errno.
  std::function<void(const std::string& dir, int err)> onDirectoryError;
  // Every entry of the walk, in its order, with FoundFile::skip decided.
  std::function<void(FoundFile& entry)> onEntry;
};

struct PairSelectionResult {
  // Not empty: the destination lies on a drive that is not plugged in; the
  // pair is left out (nothing walked, no entry handed on).
  std::string unmountedText;
  std::uint64_t totalBytes = 0;    // files and links taken
  std::uint64_t skippedBytes = 0;  // of those, what the check file skips
};

PairSelectionResult SelectPair(const PairSelectionInput& input);

}  // namespace kalvero
