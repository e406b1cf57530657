#include "backup/BackupRun.h"

#include <fmt/printf.h>

#include <algorithm>
#include <future>
#include <limits>
#include <set>
#include <vector>

#include "app/SettingsFile.h"
#include "backup/BackupTexts.h"
#include "backup/CheckFile.h"
#include "backup/CopyJob.h"
#include "backup/CopyRegister.h"
#include "backup/CopyVerify.h"
#include "backup/FoundList.h"
#include "run/Estimator.h"
#include "run/Filters.h"
#include "backup/ListFiles.h"
#include "backup/PairSelection.h"
#include "run/Walk.h"
#include "run/WorkerPool.h"
#include "platform/PathUtil.h"
#include "backup/RunLog.h"
#include "platform/FileSystem.h"
#include "platform/FileTime.h"
#include "platform/TreeCopy.h"

#include "backup/CompressAhead.h"
#include "backup/CompressZip.h"

namespace kalvero {

OptionCaptions DefaultOptionCaptions(const std::string& dateLabel) {
  OptionCaptions c;
  c.archivbit = texts::CAPTION_ARCHIVBIT;
  c.archivbitReset = texts::CAPTION_ARCHIVBIT_RESET;
  c.compare = texts::CAPTION_COMPARE;
  c.exit = texts::CAPTION_EXIT;
  c.reboot = texts::CAPTION_REBOOT;
  c.subVerzDatum = texts::CAPTION_SUBVERZDATUM;
  c.compress = texts::CAPTION_COMPRESS;
  c.close = texts::CAPTION_CLOSE;
  c.datum = dateLabel;
  c.deleteZieldatei = texts::CAPTION_DELETE_ZIELDATEI;
  c.musterErlaubt = texts::CAPTION_MUSTER_ERLAUBT;
  c.musterNichtErlaubt = texts::CAPTION_MUSTER_NICHT_ERLAUBT;
  return c;
}

namespace {

std::string withSlash(std::string path) {
  if (path.empty() || path.back() != '/') path += '/';
  return path;
}

// Size, modification time (ns) and inode: what tells that a file changed.
bool SameState(const platform::FileStatus& a, const platform::FileStatus& b) {
  return a.size == b.size && a.mtimeSeconds == b.mtimeSeconds && a.mtimeNanoseconds == b.mtimeNanoseconds &&
         a.inode == b.inode;
}

// The name for a log line, its line breaks written as "\n" and "\r".
std::string VisibleLineBreaks(const std::string& name) {
  std::string out;
  for (char c : name) {
    if (c == '\n')
      out += "\\n";
    else if (c == '\r')
      out += "\\r";
    else
      out += c;
  }
  return out;
}

}  // namespace

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
  BackupOptions options;       // reloaded before every pair
  BackupOptions startOptions;  // as the run started: decides about the check file and the no-compress set
  int minSize = 1000;
  NoCompressSet noCompress;
  std::unique_ptr<ZipArchiveLayer> zip;
  // The workers compressing the files ahead of the pair's loop (none with one thread).
  std::unique_ptr<CompressAhead> ahead;
  std::size_t aheadIndex = 0;  // walk position of the file handleFile works on
  bool archiveNoteGiven = false;
  std::set<std::string> writtenRoots;  // destination roots this run copied into
  std::string pairDestRoot;            // destination root (with "/") of the pair being run
  std::atomic<int> ownCancel{0};

  explicit Impl(BackupRunSetup s) : setup(std::move(s)) {
    if (!setup.cancel) setup.cancel = &ownCancel;
    checkFile = setup.checkFile;
    if (!checkFile) {
      ownCheckFile = std::make_unique<CheckFile>();
      checkFile = ownCheckFile.get();
    }
  }

  bool cancelled() const { return setup.cancel->load(std::memory_order_relaxed) != 0; }
  void notify(int code) {
    if (setup.reporter) setup.reporter->progress(code, info);
  }
  void pageLine(const std::string& text) { ReportToLogPage(setup.reporter, text); }
  // One counted error of the pair before its copy context exists, to the run log and the log page.
  void pairError(const std::string& text);
  // A link, a directory (after its content) or a special file of the walk.
  void handleTreeEntry(EntryKind kind, const std::string& source, const std::string& destination,
                       const CopyContext& ctx, bool withCheckFile);
  // The notes on xattrs and owners the copies of this run could not keep, once per run.
  void noteMetadataLosses(const CopyContext& ctx, const std::string& destinationRoot);
  bool xattrNoteGiven = false;
  bool ownerNoteGiven = false;
  // Destination directories (with "/") a failed copy could not create: said once, not again for the directory.
  std::set<std::string> missingDirectories;
  void rememberMissingDirectory(const std::string& dir) {
    if (GetPathKind(dir) != -1) missingDirectories.insert(dir);
  }

  void run();
  void runPair(const DirPair& pair);
  // (device, inode) of every copy this run put in place, with a hash of its
  // source: two sources never end in one destination file, whatever makes
  // their names meet (two pairs into one directory, a destination file
  // system that ignores letter case).
  CopyRegister writtenCopies;
  bool takenByAnotherSource(const std::string& target, const std::string& source) const {
    const auto st = platform::lstatPath(target);
    if (!st) return false;
    const auto recorded = writtenCopies.find(st->device, st->inode);
    return recorded && *recorded != std::hash<std::string>{}(source);
  }
  void rememberCopy(const std::string& target, const std::string& source) {
    if (const auto st = platform::lstatPath(target))
      writtenCopies.set(st->device, st->inode, std::hash<std::string>{}(source));
  }
  enum class Outcome { Copied, Failed, Cancelled };
  struct FileResult {
    Outcome outcome = Outcome::Failed;
    bool unchanged = false;  // the source kept the state "before" through copy and comparison
    platform::FileStatus before;
  };
  // Handles one file that is not skipped.
  FileResult handleFile(const std::string& source, const std::string& destination, std::uint64_t size,
                        const std::string& pairSource, CopyContext& ctx, std::string& finalName,
                        std::uint64_t& compressedSize);
};

void BackupRun::Impl::run() {
  SettingsFile settings(setup.settingsPath);
  minSize = setup.settingsPath.empty() ? 1000 : settings.loadInfoOptions().MinSize;
  info.runErrors = 0;
  info.runSkipped = 0;
  results.clear();
  platform::takeMetadataLosses();  // what earlier work on this thread lost is not this run's
  if (setup.reporter) setup.reporter->clearLog();

  startOptions = setup.options;
  options = setup.options;
  const bool withCheckFile = startOptions.MitPrueffile != 0;
  lists.OpenLists(setup.listFiles, withCheckFile, startOptions.Prueffile, platform::localNow());
  for (int i = 0; i < 4; ++i) totals.listOpenFailed[i] = lists.openFailed(i);
  if (startOptions.Compress) noCompress = BuildNoCompressSet(startOptions.NotCompress);
  if (withCheckFile) {
    info.currentSource = startOptions.Prueffile;
    info.currentDestination.clear();
    notify(NOTIFY_CHECKFILE_READ);
    if (RunThreadCount() > 1) {
      checkFileLoaded = false;
      checkFileLoading = std::async(std::launch::async, [this, path = startOptions.Prueffile] {
        checkFile->Load(path);
        checkFileLoaded.store(true, std::memory_order_release);
      });
    } else {
      checkFile->Load(startOptions.Prueffile);
    }
  }

  const JobList jobs = NormaliseJobList(setup.jobs);
  for (std::size_t row = 0; row < jobs.size(); ++row) {
    const DirPair& pair = jobs[row];
    if (!pair.active) continue;
    const ExclusionLists exclusions = SplitExclusions(pair);
    if (GetPathKind(pair.source) != -1) totals.missingSources.push_back(pair.source);
    if (setup.reporter) setup.reporter->selectPair(static_cast<int>(row));
    PairResult result;
    result.withSubdirs = pair.withSubdirs;
    result.source = pair.source;
    result.destination = pair.destination;
    result.excludedTrees = exclusions.trees;
    result.excludedDirectories = exclusions.directories;
    try {
      runPair(pair);
    } catch (const std::exception& e) {
      // Nothing outside a file's handling should throw; if it does, the pair
      // ends and is counted, and the run goes on.
      ++info.pairErrors;
      ++info.runErrors;
      pageLine(fmt::sprintf(texts::GENERAL_ERROR, std::string(e.what()).substr(0, 2048), pair.source, pair.destination) +
               "\r\n");
    }
    result.filesHandled = info.filesDone;
    result.errors = info.pairErrors;
    result.skipped = info.pairSkipped;
    results.push_back(std::move(result));
  }

  std::string checkFileError;
  if (withCheckFile) {
    info.currentSource = startOptions.Prueffile;
    info.currentDestination.clear();
    notify(NOTIFY_CHECKFILE_WRITE);
    checkFileReady(true);
    // Flush every destination file system first (each once), so that the
    // check file never names a copy a crash could still take away. A check
    // file that stays as it is names nothing new: what it names was flushed
    // by the run that copied it.
    if (checkFile->NeedsSave()) platform::syncFileSystemsOnce(writtenRoots);
    if (!SaveCheckFileWithBackup(*checkFile, startOptions.Prueffile, checkFileError)) {
      ++info.pairErrors;
      ++info.runErrors;
    }
  }
  lists.CloseLists();
  notify(NOTIFY_FINISHED);
  WriteFinalSummary(log, results, checkFileError);
  if (setup.reporter) setup.reporter->endOfRunSound();

  totals.runErrors = info.runErrors;
  totals.runSkipped = info.runSkipped;
  totals.copied = lists.copiedNumber();
  totals.notCopied = lists.notCopiedNumber();
  totals.pairsRun = static_cast<int>(results.size());
  totals.cancelled = cancelled();
}

void BackupRun::Impl::runPair(const DirPair& pair) {
  pageLine(fmt::sprintf(texts::PAIR_LOG_PAGE_HEADER, pair.source, pair.destination));
  ReloadPairOptions(setup.settingsPath, options);
  info.pairErrors = info.filesDone = info.pairSkipped = info.filesInPair = 0;
  info.currentSource.clear();
  info.currentDestination.clear();
  info.fileSize = info.fileDone = 0;
  if (cancelled()) return;
  notify(NOTIFY_RESET);
  log.close();

  const std::string destinationRoot = PairDestinationRoot(pair, options, platform::localNow());
  if (log.open(options.Protokolldatei)) notify(NOTIFY_LOG_OPENED);
  PairHeader header{pair.source, destinationRoot, options, setup.captions, setup.versionText};
  const std::int64_t pairStart = WritePairHeader(log, header);

  FoundList found;
  notify(NOTIFY_SEARCHING);
  const bool withCheckFile = startOptions.MitPrueffile != 0;
  PairSelectionInput selection;
  selection.pair = &pair;
  selection.options = &options;
  selection.dateFilter = &setup.dateFilter;
  selection.destinationRoot = destinationRoot;
  selection.checkFile = withCheckFile ? checkFile : nullptr;
  selection.checkFileReady = [this](bool wait) { return checkFileReady(wait); };
  selection.onDirectoryError = [this](const std::string& dir, int err) {
    pairError(fmt::sprintf(texts::DIRECTORY_UNREADABLE, dir, SystemErrorText(err)) + "\r\n");
  };
  std::size_t toCopy = 0;
  selection.onEntry = [&found, &toCopy](FoundFile& entry) {
    found.add(entry);
    if (entry.kind == EntryKind::File || entry.kind == EntryKind::Symlink) ++toCopy;
  };
  const PairSelectionResult selected = SelectPair(selection);
  if (withCheckFile) checkFileReady(true);  // also when the pair was left out
  if (!selected.unmountedText.empty()) pairError(selected.unmountedText + "\r\n");

  info.filesInPair = static_cast<int>(std::min<std::size_t>(toCopy, std::numeric_limits<int>::max()));
  info.pairBytes = selected.totalBytes;
  info.pairBytesDone = 0;
  notify(NOTIFY_FILES_FOUND);
  if (log.isOpen()) {
    try {
      log.write(fmt::sprintf(texts::LOG_FILE_COUNT, info.filesInPair) + "\r\n");
    } catch (const std::exception&) {
    }
  }

  const std::string sourceRoot = withSlash(pair.source);
  const std::string destRoot = withSlash(destinationRoot);
  pairDestRoot = destRoot;
  std::uint64_t kbyteTotal = 0;
  std::uint64_t compressedBytes = 0;
  PairSummary summary;
  summary.smallestKbyte = std::numeric_limits<std::uint64_t>::max();

  CopyContext ctx;
  ctx.progress = &info;
  ctx.reporter = setup.reporter;
  ctx.runLog = log.writer();
  ctx.cancel = setup.cancel;
  ctx.displayThreshold = minSize;

  const std::int64_t remaining =
      static_cast<std::int64_t>(info.pairBytes) - static_cast<std::int64_t>(selected.skippedBytes);
  // Moves the pair bar and the estimate with the copy, also inside a large file.
  PairProgress progress(setup.reporter, info);
  ctx.reporter = &progress;
  progress.Start(remaining);

  // With "Compress" the workers compress the files ahead while this thread
  // reports, commits and counts every file in the walk's order.
  const int threads = options.Compress ? RunThreadCount() : 1;
  if (threads > 1) ahead = std::make_unique<CompressAhead>(threads, setup.cancel, options.Compare != 0);
  std::size_t nextOffer = 0;
  std::string offerPath;
  const auto offerAhead = [&](std::size_t current) {
    if (!ahead) return;
    for (nextOffer = std::max(nextOffer, current); nextOffer < found.size() && ahead->hasRoom();
         ++nextOffer) {
      const FoundList::Entry& f = found[nextOffer];
      if (f.kind != EntryKind::File || f.skip) continue;
      found.path(nextOffer, offerPath);
      // Only what handleFile would compress; it decides again when it takes the result.
      if (!CompressDecision(offerPath, f.size, options.Compress, noCompress) || GetPathKind(offerPath + ".zip") != 0)
        continue;
      const std::string destination = DestinationPathOf(offerPath, sourceRoot, destRoot);
      if (!MakeDestinationDirectories(pairDestRoot, ParentDirectory(destination))) continue;
      CopyJob job;
      job.sourceRoot = withSlash(pair.source);
      job.source = offerPath;
      job.destination = destination;
      job.size = f.size;
      job.displayThreshold = minSize;
      job.compress = true;
      job.deferCommit = true;
      job.timeSource = offerPath;
      ahead->offer(nextOffer, std::move(job));
    }
  };

  // Both names are built in buffers kept for the whole pair: a skipped file
  // costs no allocation.
  std::string source, destination, finalName;
  for (std::size_t i = 0; i < found.size(); ++i) {
    if (cancelled()) break;
    offerAhead(i);
    aheadIndex = i;
    found.path(i, source);
    const std::uint64_t size = found[i].size;
    const bool skip = found[i].skip != 0;
    progress.FileStarted(size);
    DestinationPathInto(destination, source, sourceRoot, destRoot);
    finalName = destination;
    try {
      info.currentSource = source;
      info.currentDestination = destination;
      if (skip) {
        lists.addSkipped(source, destination);
        ++info.runSkipped;
        ++info.filesDone;
        ++info.pairSkipped;
        progress.FileFinished(true);
        notify(NOTIFY_SKIPPING);
        continue;
      }
      if (found[i].kind != EntryKind::File) {
        handleTreeEntry(found[i].kind, source, destination, ctx, withCheckFile);
        progress.FileFinished(false);
        continue;
      }
      if (!platform::lstatPath(source)) {
        // Gone since the walk: said as such, in every mode.
        ReportError(ctx, fmt::sprintf(texts::FILE_VANISHED, source) + "\r\n");
        lists.addNotCopied(source);
        if (withCheckFile) checkFile->MarkCopied(destination, false);
        ++info.filesDone;
        progress.FileFinished(false);
        continue;
      }
      if (HasLineBreak(destination))
        ReportLine(ctx, fmt::sprintf(texts::NAME_WITH_LINE_BREAK, VisibleLineBreaks(source)) + "\r\n");
      std::uint64_t compressedSize = 0;
      writtenRoots.insert(destRoot);
      const FileResult r = handleFile(source, destination, size, pair.source, ctx, finalName, compressedSize);
      if (r.outcome == Outcome::Failed) rememberMissingDirectory(ParentDirectory(destination));
      compressedBytes += compressedSize;
      if (r.outcome == Outcome::Cancelled) {
        // Broken off by "Abbrechen": neither copied nor an error, and not summed.
        lists.addNotCopied(source);
        if (withCheckFile) checkFile->MarkCopied(destination, false);
        progress.FileAbandoned();
        break;
      }
      const std::uint64_t kb = size / 1024;
      kbyteTotal += kb;
      if (kb > summary.largestKbyte) {
        summary.largestKbyte = kb;
        summary.largestName = source;
      }
      if (kb < summary.smallestKbyte) {
        summary.smallestKbyte = kb;
        summary.smallestName = source;
      }
      if (r.outcome == Outcome::Copied) {
        lists.addCopied(source, finalName);
        // Confirmed only with the state the copy was read in, and only when
        // the source kept it: a file changed meanwhile is copied again.
        if (withCheckFile && r.unchanged && !HasLineBreak(destination)) {
          checkFile->CheckAndRecord(destination, static_cast<std::int64_t>(r.before.size),
                                    static_cast<std::uint32_t>(r.before.lastWrite & 0xFFFFFFFFu),
                                    static_cast<std::uint32_t>(r.before.lastWrite >> 32));
          checkFile->MarkCopied(destination, true);
        } else if (withCheckFile) {
          checkFile->MarkCopied(destination, false);
        }
      } else {
        lists.addNotCopied(source);
        if (withCheckFile) checkFile->MarkCopied(destination, false);
      }
      ++info.filesDone;
    } catch (const std::exception& e) {
      ++info.pairErrors;
      ++info.runErrors;
      const std::string text =
          fmt::sprintf(texts::GENERAL_ERROR, std::string(e.what()).substr(0, 2048), source, finalName) + "\r\n";
      try {
        ReportLine(ctx, text);
      } catch (const std::exception&) {
      }
    }
    progress.FileFinished(false);
  }
  ahead.reset();  // what the workers made for files not reached is thrown away
  found.clear();
  noteMetadataLosses(ctx, destinationRoot);
  info.remainingTimeText = fmt::sprintf(texts::REMAINING_TIME, "00:00:00");
  notify(NOTIFY_REMAINING_TIME);
  notify(NOTIFY_FINISHED);

  summary.filesDone = info.filesDone;
  summary.pairSkipped = info.pairSkipped;
  summary.pairErrors = info.pairErrors;
  summary.kbyte = kbyteTotal;
  summary.compressedKbyte = compressedBytes / 1024;
  summary.cancelled = cancelled();
  summary.startSeconds = pairStart;
  if (summary.smallestName.empty()) summary.smallestKbyte = 0;
  WritePairSummary(log, summary);
}

BackupRun::Impl::FileResult BackupRun::Impl::handleFile(const std::string& source, const std::string& destination,
                                                        std::uint64_t size, const std::string& pairSource,
                                                        CopyContext& ctx, std::string& finalName,
                                                        std::uint64_t& compressedSize) {
  FileResult result;
  int err = 0;
  const std::string directory = ParentDirectory(destination);
  if (!MakeDestinationDirectories(pairDestRoot, directory, &err)) {
    ReportError(ctx, fmt::sprintf(texts::DEST_DIR_FAILED, directory, SystemErrorText(err)) + "\r\n");
    return result;
  }

  ClearFileAttributes(destination, platform::ATTR_READONLY, ctx);
  // A worker's archive of this file; removed at the end unless taken.
  const std::unique_ptr<PreparedCompression> prepared = ahead ? ahead->take(aheadIndex) : nullptr;
  CopyJob job;
  job.sourceRoot = withSlash(pairSource);
  job.source = source;
  job.destination = destination;
  job.size = size;
  job.displayThreshold = minSize;
  job.compress = CompressDecision(source, size, options.Compress, noCompress);
  if (job.compress && GetPathKind(source + ".zip") != 0) {
    // The archive's name belongs to another file of this directory: this one
    // keeps its own name, uncompressed, and nothing is overwritten.
    job.compress = false;
    ReportLine(ctx, fmt::sprintf(texts::STORED_UNCOMPRESSED, source, source + ".zip") + "\r\n");
  }
  job.deferCommit = true;
  job.timeSource = source;
  if (job.compress && !zip) zip = std::make_unique<ZipArchiveLayer>();
  const bool usePrepared = prepared && job.compress;
  // The source as the copy reads it: the archive marker and the check file
  // record this state, and only when the file still has it afterwards.
  const auto before = usePrepared ? prepared->before : platform::lstatPath(source);
  if (before) result.before = *before;

  bool ok = usePrepared ? TakeCompressedCopy(job, prepared->job, prepared->ok, ctx) : CopyOneFile(job, ctx, zip.get());
  if (usePrepared) prepared->job.pending.clear();  // job owns it now
  if (job.cancelled) {
    result.outcome = Outcome::Cancelled;
    return result;
  }
  if (ok && job.wasCompressed) compressedSize = job.compressedSize;
  bool compareFailed = false;
  if (ok && options.Compare) {
    // Compared while still the hidden pending file: the previous copy stays
    // untouched until this one has passed.
    notify(NOTIFY_COMPARING);
    CopyContext verify = ctx;
    verify.source = source;
    verify.destination = job.pending;
    verify.destinationName = job.wasCompressed ? job.finalName : destination;
    // The worker's comparison stands only while the source is as it read it;
    // otherwise the archive is compared with the source as it is now.
    const auto now = usePrepared && prepared->compared ? platform::lstatPath(source) : std::nullopt;
    if (now && before && SameState(*now, *before))
      ok = TakeComparison(verify, prepared->compareKind, prepared->compareErr, size);
    else
      ok = job.wasCompressed ? CompareArchive(*zip, verify) : CompareFiles(verify);
    compareFailed = !ok;
  }
  if (!job.pending.empty()) {
    // A copy that failed its comparison replaces the previous one only with
    // "DeleteZieldatei" off; with it on, the previous copy keeps its name.
    const std::string target = job.finalName.empty() ? destination : job.finalName;
    const bool keep = ok || !options.DeleteZieldatei;
    if (keep && takenByAnotherSource(target, source)) {
      DiscardCopy(job);
      ReportError(ctx, fmt::sprintf(texts::DESTINATION_TAKEN, source, target) + "\r\n");
      ok = compareFailed = false;
    } else if (keep) {
      if (CommitCopy(job, ctx))
        rememberCopy(target, source);
      else
        ok = false;
    } else {
      DiscardCopy(job);
    }
  }
  finalName = job.finalName.empty() ? job.destination : job.finalName;

  const auto after = platform::lstatPath(source);
  result.unchanged = before && after && SameState(*before, *after);
  bool changeNoted = false;
  if (before && after && !result.unchanged && (ok || compareFailed)) {
    ReportLine(ctx, fmt::sprintf(texts::CHANGED_DURING_COPY, source) + "\r\n");
    changeNoted = true;
  }

  if (ok && options.ArchivbitReset && result.unchanged) {
    info.currentSource = source;
    info.currentDestination.clear();
    notify(NOTIFY_ARCHIVE_RESET);
    bool unsupported = false;
    bool changed = false;
    if (!ResetArchiveBit(source, result.before, ctx, &changed, &unsupported)) {
      // The copy itself is good and stays; the file is tried again next time.
      ++info.pairErrors;
      ++info.runErrors;
      ok = false;
    }
    if (changed) {
      result.unchanged = false;
      if (!changeNoted) ReportLine(ctx, fmt::sprintf(texts::CHANGED_DURING_COPY, source) + "\r\n");
    }
    if (unsupported && !archiveNoteGiven) {
      archiveNoteGiven = true;
      ReportLine(ctx, fmt::sprintf(texts::ARCHIVE_BIT_UNSUPPORTED, pairSource) + "\r\n");
    }
  }
  result.outcome = ok ? Outcome::Copied : Outcome::Failed;
  return result;
}

void BackupRun::Impl::pairError(const std::string& text) {
  ++info.pairErrors;
  ++info.runErrors;
  try {
    if (log.isOpen()) log.write(text);
  } catch (const std::exception&) {
  }
  pageLine(text);
}

void BackupRun::Impl::handleTreeEntry(EntryKind kind, const std::string& source, const std::string& destination,
                                      const CopyContext& ctx, bool withCheckFile) {
  int err = 0;
  if (kind == EntryKind::Special) {
    // A FIFO, socket or device has no content to keep; it is named, never opened.
    lists.addSkipped(source, destination);
    ReportLine(ctx, fmt::sprintf(texts::SPECIAL_FILE, source) + "\r\n");
    return;
  }
  if (kind == EntryKind::Directory) {
    // Its content is done: an empty one is created here, and its mode and
    // time are set last, so no copy into it changes them again.
    writtenRoots.insert(withSlash(destination));
    if (!MakeDestinationDirectories(pairDestRoot, destination, &err)) {
      if (missingDirectories.insert(withSlash(destination)).second)
        ReportError(ctx, fmt::sprintf(texts::DEST_DIR_FAILED, withSlash(destination), SystemErrorText(err)) + "\r\n");
    } else if (!platform::copyDirectoryAttributes(source, destination, &err)) {
      ReportLine(ctx,
                 fmt::sprintf(texts::DIRECTORY_ATTRIBUTES_FAILED, source, destination, SystemErrorText(err)) + "\r\n");
    }
    return;
  }
  // A link is kept as a link (also when compressing), never followed.
  const std::string directory = ParentDirectory(destination);
  bool ok = MakeDestinationDirectories(pairDestRoot, directory, &err);
  if (!ok) {
    ReportError(ctx, fmt::sprintf(texts::DEST_DIR_FAILED, directory, SystemErrorText(err)) + "\r\n");
    missingDirectories.insert(directory);
  } else if (!platform::copySymlink(source, destination, &err)) {
    ok = false;
    ReportError(ctx, fmt::sprintf(texts::LINK_FAILED, source, destination, SystemErrorText(err)) + "\r\n");
  }
  if (ok) {
    writtenRoots.insert(directory);
    lists.addCopied(source, destination);
  } else {
    lists.addNotCopied(source);
  }
  if (withCheckFile) checkFile->MarkCopied(destination, ok);
  ++info.filesDone;
}

void BackupRun::Impl::noteMetadataLosses(const CopyContext& ctx, const std::string& destinationRoot) {
  const platform::MetadataLosses losses = platform::takeMetadataLosses();
  try {
    if (losses.extendedAttributes && !xattrNoteGiven) {
      xattrNoteGiven = true;
      ReportLine(ctx, fmt::sprintf(texts::XATTRS_NOT_KEPT, destinationRoot) + "\r\n");
    }
    if (losses.owner && !ownerNoteGiven) {
      ownerNoteGiven = true;
      ReportLine(ctx, fmt::sprintf(texts::OWNER_NOT_KEPT, destinationRoot) + "\r\n");
    }
  } catch (const std::exception&) {
  }
}

}  // namespace kalvero

namespace kalvero {

BackupRun::BackupRun(BackupRunSetup setup) : impl_(std::make_unique<Impl>(std::move(setup))) {}
BackupRun::~BackupRun() = default;
void BackupRun::run() { impl_->run(); }
RunTotals BackupRun::totals() const { return impl_->totals; }

}  // namespace kalvero
