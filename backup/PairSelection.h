#pragma once
// What a backup takes of one pair and which of it the check file skips: the
// walk with the pair's exclusions and the options' filters (archive bit, name
// patterns, date interval), then the decision per file. The run and
// kalvero-cli list select by this one piece, so the dry run shows what the
// run copies.
//
// A file or link is taken when the archive marker or the check file says it
// changed, and also when the pair's destination holds no copy of it under
// its current name in the form this run stores (plain, NAME.zip, a link):
// a rename, a new hard link, a deleted copy, a new destination. The marker
// and the check file only know the source. A file whose content is unchanged
// but whose mode, owner or xattrs differ from its plain copy is handed on
// with skip 2 (its attributes are carried, its content is not copied again);
// an archive that no longer fits its source's mode or owner is made again.
// With the date subdirectory the destination is today's folder: the marker
// decides alone, except that a pair with no dated folder yet takes every file.
// A complete state ("DatumVollstaendig") takes every file, whatever the marker
// and the check file say; only a copy that an earlier run of the day left in
// today's folder and that holds the file as it is now is skipped.
#include <cstdint>
#include <functional>
#include <string>

#include "app/Records.h"
#include "run/Filters.h"
#include "run/Walk.h"

namespace kalvero {

class CheckFile;
class CopyRegister;

struct PairSelectionInput {
  const DirPair* pair = nullptr;
  const BackupOptions* options = nullptr;  // as reloaded for this pair
  const DateFilter* dateFilter = nullptr;  // bounds as the front end holds them
  std::string destinationRoot;             // PairDestinationRoot of this run
  CheckFile* checkFile = nullptr;          // null: every file is copied
  // The extensions never compressed (null: from options->NotCompress).
  const NoCompressSet* noCompress = nullptr;
  // The copies this run has put in place so far: a copy that came from
  // another source (two pairs onto one name) is never taken as this file's.
  const CopyRegister* copiesPutInPlace = nullptr;
  // The run (not a dry run) may give a copy whose attributes turn out the
  // same as its source's a new status change time.
  bool mayTouchCopies = false;
  // Set while the check file may still be loading: with false it says whether
  // it is ready, with true it waits until it is. The entries found before are
  // held back and handed on in order once it is.
  std::function<bool(bool wait)> checkFileReady;
  // A complete state's base (FreshStateBase, with "/"), set by the run only:
  // the walk reads its copies beside the source, and a file whose copy there
  // holds it unchanged is handed on with skip 3 (as NAME) or 4 (as NAME.zip)
  // for the run to link, unless it needs more than a link (a marker to reset,
  // more names, the check file's record of an archive, a line break, a
  // program file's name). Empty: no such verdicts.
  std::string linkBase;
  // A directory of the walk that could not be read to its end, with its errno.
  std::function<void(const std::string& dir, int err)> onDirectoryError;
  // Every entry of the walk that the run handles, in its order, with
  // FoundFile::skip decided (a file whose marker says unchanged and whose
  // copy is as it should be is not handed on).
  std::function<void(FoundFile& entry)> onEntry;
};

struct PairSelectionResult {
  // The destination lies on a drive that is not plugged in; the pair is left
  // out (nothing walked, no entry handed on).
  bool unmounted = false;
  std::uint64_t totalBytes = 0;    // files and links taken
  std::uint64_t skippedBytes = 0;  // of those, what is not copied (skip 1 or 2; a link to the base counts as copied)
};

PairSelectionResult SelectPair(const PairSelectionInput& input);

// What a backup run and kalvero-cli list do alike for a pair before its
// walk, with the pair's options (RunSettings::pairSnapshot, which must
// outlive the plan): the pair's destination root of now and the selection's
// input (filters, check file, no-compress set). The run adds its own
// callbacks and the copies it put in place.
struct PairPlan {
  std::string destinationRoot;
  PairSelectionInput selection;
};
PairPlan PlanPair(const DirPair& pair, const BackupOptions& options, const DateFilter& dateFilter,
                  CheckFile* checkFile, const NoCompressSet* noCompress);

}  // namespace kalvero
