#pragma once
// The state of one backup run and its steps, shared by the pair loop
// (BackupRun.cpp) and the steps of one file (BackupFileSteps.cpp). Private to
// backup/: nothing outside includes it.
#include <fmt/printf.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <future>
#include <limits>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "backup/BackupRun.h"
#include "backup/BackupTexts.h"
#include "backup/ChecksumJournal.h"
#include "backup/CheckFile.h"
#include "backup/CompressAhead.h"
#include "backup/CompleteState.h"
#include "backup/CompressZip.h"
#include "backup/CopyJob.h"
#include "backup/CopyRegister.h"
#include "backup/DestinationTree.h"
#include "backup/FoundList.h"
#include "backup/HardLinkCopies.h"
#include "backup/LinkAhead.h"
#include "backup/ListFiles.h"
#include "backup/PairSelection.h"
#include "backup/RunLog.h"
#include "platform/DestinationRoot.h"
#include "platform/FileSystem.h"
#include "platform/Leftovers.h"
#include "platform/LevelOpen.h"
#include "platform/RunLock.h"
#include "run/Estimator.h"
#include "run/Filters.h"
#include "run/RunSettings.h"

namespace kalvero {

// Size, modification time (ns) and inode: what tells that a file changed.
inline bool SameState(const platform::FileStatus& a, const platform::FileStatus& b) {
  return a.size == b.size && a.mtimeSeconds == b.mtimeSeconds && a.mtimeNanoseconds == b.mtimeNanoseconds &&
         a.inode == b.inode;
}

struct BackupRun::Impl {
  BackupRunSetup setup;
  RunTotals totals;
  ProgressInfo info;
  RunLog log;
  ListFiles lists;
  std::unique_ptr<CheckFile> ownCheckFile;
  CheckFile* checkFile = nullptr;
  // With more than one thread the check file is read beside the first pair's
  // walk; nothing but SelectPair touches it before checkFileReady(true).
  std::future<void> checkFileLoading;
  std::atomic<bool> checkFileLoaded{true};
  bool checkFileReady(bool wait) {
    if (!checkFileLoading.valid()) return true;
    if (!wait && !checkFileLoaded.load(std::memory_order_acquire)) return false;
    checkFileLoading.get();
    return true;
  }
  std::vector<PairResult> results;
  // The one reader of the settings file: what the run decided at its start
  // (check file, no-compress set, minimum size) and each pair's options.
  RunSettings settings;
  const RunStart& start() { return settings.startSnapshot(); }
  BackupOptions options;  // the pair's snapshot, "Allg" as read before it
  std::unique_ptr<ZipArchiveLayer> zip;
  // The workers compressing the files ahead of the pair's loop (none with one thread).
  std::unique_ptr<CompressAhead> ahead;
  std::size_t aheadIndex = 0;  // walk position of the file handleFile works on
  // The loop's look at that file came after a worker had finished reading it.
  bool lookAfterWorker = false;
  // walkSawNoCopy of that file.
  bool copyAbsentByWalk = false;
  bool archiveNoteGiven = false;
  std::set<std::string> writtenRoots;  // destination roots this run copied into
  // A directory this run wrote into lies on the file system of a root noted
  // before, or its own path is noted: one path for each file system.
  void noteWrittenInto(const std::string& directory);
  std::set<std::uint64_t> writtenDevices;
  // With more than one thread the check file is saved on a thread of its
  // own once the last pair's copies are all written, while the run folds
  // that pair's checksum list; closeRun waits for it. Until then nothing
  // else touches the check file.
  struct CheckFileSaved {
    bool ok = true;
    int err = 0;
  };
  bool lastPair = false;
  std::future<CheckFileSaved> checkFileSave;
  void beginCheckFileSave();
  // The copies' file systems flushed, then the file saved with its ".bak" safeguard.
  CheckFileSaved saveCheckFile(const std::set<std::string>& roots, const std::string& path);
  std::string pairDestRoot;            // destination root (with "/") of the pair being run
  std::string pairSourceRoot;          // source root (with "/") of the pair being run
  // The pair's destination directories, made and checked level by level (never through a link).
  DestinationTree destinations;
  // The checksum list of the pair's destination folder: what the pair stores,
  // removes or keeps aside, folded into the list at the pair's end.
  ChecksumJournal checksums;
  std::atomic<int> ownCancel{0};

  explicit Impl(BackupRunSetup s);

  bool cancelled() const { return setup.cancel->load(std::memory_order_relaxed) != 0; }
  void notify(int code) {
    if (setup.reporter) setup.reporter->progress(code, info);
  }
  void pageLine(const std::string& text);
  // One counted error of the pair before its copy context exists, to the run log and the log page.
  void pairError(const std::string& text);
  // The notes on xattrs and owners the copies of this run could not keep, once per run.
  void noteMetadataLosses(const CopyContext& ctx, const std::string& destinationRoot);
  bool xattrNoteGiven = false;
  bool ownerNoteGiven = false;
  // Destination directories (with "/") a failed copy could not create: said once, not again for the directory.
  std::set<std::string> missingDirectories;
  void rememberMissingDirectory(const std::string& dir);

  // (device, inode) of every copy this run put in place, with a hash of its
  // source: two sources never end in one destination file, whatever makes
  // their names meet (two pairs into one directory, a destination file
  // system that ignores letter case).
  CopyRegister writtenCopies;
  bool takenByAnotherSource(const std::string& target, const std::string& source) const;
  // job: a worker's copy, seen in place, names its identity itself.
  void rememberCopy(const std::string& target, const std::string& source, const CopyJob* job = nullptr);

  // One run per destination: every destination (and the check file) held for
  // the whole run; what a killed run left is swept where this one writes.
  platform::RunLock runLock;
  platform::LeftoverSweep leftovers;
  platform::DestinationRoot pairRoot;  // the pair's own folder: the source root's times at the end
  bool holdDestinations(const JobList& jobs);

  // --- The run: its start, every active pair, its end.
  void run();
  void openRun();
  void runPairCounted(std::size_t row, const DirPair& pair);
  void closeRun();

  // --- One pair, in the order runPair takes the steps.
  struct PairState {
    const DirPair* pair = nullptr;
    PairPlan plan;                // options reloaded, destination root, selection input
    std::string destinationRoot;  // as PairDestinationRoot gives it
    std::string sourceRoot;       // with "/"
    std::string destRoot;         // with "/"
    std::int64_t pairStart = 0;
    FoundList found;
    PairSelectionResult selected;
    std::size_t toCopy = 0;
    std::size_t toPutInPlace = 0;  // files and links the walk did not skip
    bool loopWrote = false;        // an entry of the loop (other than a skip) may have written
    std::uint64_t kbyteTotal = 0;
    std::uint64_t compressedBytes = 0;
    int attributesOnly = 0;  // files whose attributes alone were carried to their copy
    int linked = 0;          // files that became hard links to the previous complete state
    PairSummary summary;
    CopyContext ctx;
    std::unique_ptr<PairProgress> progress;
    std::size_t nextOffer = 0;  // walk position of the next file offered to the workers
    std::size_t nextLinkOffer = 0;  // the same for the links ahead
    std::size_t linkOffers = 0;     // entries with skip 3 or 4 come to so far
    bool treeBegun = false;         // beginTree done (before the walk when it links ahead)
    // Both names are built in buffers kept for the whole pair: a skipped file
    // costs no allocation.
    std::string source, destination, finalName, offerPath, offerDestination;
    // The file's status from the look that found it still there.
    std::optional<platform::FileStatus> sourceLook;
    int sourceLookErr = 0;
  };
  void runPair(const DirPair& pair);
  bool destinationInsideSource(PairState& state);
  void beginDestinations(PairState& state);
  bool beginPair(const DirPair& pair, PairState& state);
  void selectFiles(PairState& state);
  void prepareCopying(PairState& state);
  void beginTree(PairState& state);
  void offerAhead(PairState& state, std::size_t current);
  bool mayCopyAhead(const FoundList::Entry& f, const std::string& path) const;
  bool walkSawNoCopy(const FoundList::Entry& f, const std::string& path) const;
  enum class LoopStep { Next, Stop };
  LoopStep handleEntry(PairState& state, std::size_t i);
  void handleSkipped(PairState& state);
  void handleVanished(PairState& state);
  void carryAttributesOnly(PairState& state);
  // The file being copied had an archive marker that already said unchanged
  // (taken because its copy was missing): the marker is written only when
  // it no longer fits, so the source's status time stays as it was.
  bool markerMaySayUnchanged = false;
  LoopStep copyFoundFile(PairState& state, std::size_t i);
  void addToSizeSummary(PairState& state, std::uint64_t size);
  void finishPair(PairState& state);
  void finishChecksums(PairState& state);

  // --- One file that is not skipped, in the order handleFile takes the steps.
  enum class Outcome { Copied, Failed, Cancelled };
  struct FileResult {
    Outcome outcome = Outcome::Failed;
    bool unchanged = false;  // the source kept the state "before" through copy and comparison
    bool markerWritten = false;  // the source's archive marker was written after the copy
    platform::FileStatus before;
    bool linked = false;  // a hard link to the previous complete state's copy
  };
  FileResult handleFile(const std::string& source, const std::string& destination, std::uint64_t size,
                        const std::string& pairSource, CopyContext& ctx, std::string& finalName,
                        std::uint64_t& compressedSize, const std::optional<platform::FileStatus>& look,
                        int lookErr);
  // The worker's result for job, or null when this thread compresses it
  // (BackupAheadSteps.cpp). seen: the source's look that found it unchanged,
  // where it may stand for the look before the commit. look: the loop's
  // look along the source's path, used when it came after the worker's read.
  const PreparedCompression* usablePrepared(PreparedCompression* prepared, const CopyJob& job,
                                            const std::optional<platform::FileStatus>& look,
                                            std::optional<platform::FileStatus>& seen);
  bool stillInPlace(const CopyJob& job);
  bool copyHere(CopyJob& job, const CopyContext& ctx);
  // Hard links (BackupLinkSteps.cpp): a later name of a file with several
  // becomes a second name of the copy of its first one, within the pair.
  HardLinkCopies hardLinks;
  bool copyOrLink(CopyJob& job, const std::optional<platform::FileStatus>& before, const CopyContext& ctx);
  void rememberLinkedCopy(const platform::FileStatus& source, const std::string& copy);
  // Before the loop: the copies of skipped files with several names, so a
  // new name links to them wherever the walk found it.
  void rememberUnchangedLinks(PairState& state);
  CopyJob makeCopyJob(const std::string& source, const std::string& destination, std::uint64_t size,
                      const std::string& pairSource, const CopyContext& ctx);
  bool compareCopy(CopyJob& job, const PreparedCompression* prepared, const std::optional<platform::FileStatus>& before,
                   std::uint64_t size, const CopyContext& ctx);
  bool commitOrDiscard(CopyJob& job, bool ok, bool& compareFailed, const CopyContext& ctx,
                       std::optional<platform::FileStatus>* seen = nullptr);
  bool placeCopy(CopyJob& job, const std::string& target, const CopyContext& ctx,
                 std::optional<platform::FileStatus>* seen);
  void checkSourceAfter(const std::string& source, const std::optional<platform::FileStatus>& before, bool ok,
                        bool compareFailed, FileResult& result, bool& changeNoted, const CopyContext& ctx,
                        const std::optional<platform::FileStatus>* seen = nullptr);
  bool resetArchiveMarker(const std::string& source, const std::string& pairSource, FileResult& result,
                          bool changeNoted, const CopyContext& ctx);
  // What the walk's look at a directory's copy still says at its turn: it
  // matched (FoundFile::copyMatches), and the pair's loop has written nothing
  // since (anything written into the copy comes from the entries before it).
  enum class CopyLook { None, Matched, MatchedNothingWritten };
  // A link, a directory (after its content) or a special file of the walk.
  void handleTreeEntry(EntryKind kind, const std::string& source, const std::string& destination,
                       const CopyContext& ctx);
  // False when nothing was written to the destination.
  bool copyDirectoryEntry(const std::string& source, const std::string& destination, const CopyContext& ctx,
                          CopyLook look);
  void copyLinkEntry(const std::string& source, const std::string& destination, const CopyContext& ctx);
  // Whether source is still reached through real directories below the
  // pair's source root (no link appeared on its way since the walk), itself
  // a link only where lastMayBeLink; otherwise said as a counted error.
  bool sourceOnItsPath(const std::string& source, bool lastMayBeLink, const CopyContext& ctx,
                       std::optional<platform::FileStatus>* status = nullptr);
  // The same for a look already taken (seen, or err where there was none).
  bool sourceOnItsPath(const std::string& source, const std::optional<platform::FileStatus>& seen, int err,
                       bool lastMayBeLink, const CopyContext& ctx);
  platform::RootBelow sourceBelow;  // the pair's source root, for the looks along the source's path
  // The directories of the files offered to the workers, held below both roots.
  platform::DirectoriesBelow aheadSources;
  platform::DirectoriesBelow aheadCopies;
  // The other form of a file's copy and entries of another kind at its name.
  bool clearDestinationFor(const CopyJob& job, const CopyContext& ctx);

  // Complete dated states (CompleteStateSteps.cpp): today's folder loses its
  // mark at the pair's start and gets it at an uncancelled end; an unchanged
  // file becomes a hard link to the previous state's copy.
  CompleteState complete;
  void beginCompleteState(PairState& state);
  void finishCompleteState(PairState& state);
  // source: the file's status as sourceOnItsPath found it.
  bool linkUnchanged(CopyJob& job, const std::optional<platform::FileStatus>& source, FileResult& result,
                     std::string& finalName, const CopyContext& ctx);
  // The entries the walk found unchanged in the base state (skip 3 or 4) are
  // linked there on that look alone, ahead on the workers; the run records
  // them in order. linkFromBase false: not linked, the general way.
  std::unique_ptr<LinkAhead> linksAhead;
  void offerLinks(PairState& state, std::size_t current, bool walkEnded = true);
  bool linkFromBase(PairState& state, std::size_t i);
  // For the workers: whether the file will be linked rather than compressed.
  bool mayLinkFromBase(const std::string& source, const std::string& destination) const;
};

}  // namespace kalvero
