#include "backup/BackupRun.h"

#include <fmt/printf.h>

#include <algorithm>
#include <future>
#include <limits>

#include "backup/BackupRunImpl.h"
#include "backup/CopyVerify.h"
#include "backup/MountGuard.h"
#include "backup/Thinning.h"
#include "platform/CopyAttributes.h"
#include "platform/FileTime.h"
#include "platform/LevelOpen.h"
#include "platform/TreeCopy.h"
#include "platform/PathUtil.h"
#include "run/Walk.h"
#include "run/WorkerPool.h"

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

BackupRun::Impl::Impl(BackupRunSetup s) : setup(std::move(s)), settings(setup.settingsPath, setup.options) {
  if (!setup.cancel) setup.cancel = &ownCancel;
  checkFile = setup.checkFile;
  if (!checkFile) {
    ownCheckFile = std::make_unique<CheckFile>();
    checkFile = ownCheckFile.get();
  }
}

void BackupRun::Impl::run() {
  const JobList jobs = NormaliseJobList(setup.jobs);
  if (!holdDestinations(jobs)) return;
  openRun();
  std::size_t last = jobs.size();
  for (std::size_t row = 0; row < jobs.size(); ++row)
    if (jobs[row].active) last = row;
  for (std::size_t row = 0; row < jobs.size(); ++row) {
    lastPair = row == last;
    if (jobs[row].active) runPairCounted(row, jobs[row]);
  }
  closeRun();
  runLock.release();  // the page may keep this run: the next one must find its destinations free
}

// Before anything is written: another run in one of the destinations (or
// writing the check file) means nothing starts. Without a private runtime
// directory the run goes on unlocked, and sweeps nothing.
bool BackupRun::Impl::holdDestinations(const JobList& jobs) {
  std::vector<std::string> held;
  for (const DirPair& pair : jobs)
    if (pair.active) held.push_back(pair.destination);
  if (setup.options.MitPrueffile && !setup.options.Prueffile.empty()) held.push_back(setup.options.Prueffile);
  bool locked = true;
  for (const std::string& path : held) {
    const platform::RunLock::Result r = runLock.add(path);
    locked = locked && r == platform::RunLock::Result::Held;
    if (r != platform::RunLock::Result::Busy) continue;
    runLock.release();
    totals.busyLine = fmt::sprintf(texts::DESTINATION_BUSY, path);
    if (setup.reporter) setup.reporter->clearLog();
    ReportToLogPage(setup.reporter, totals.busyLine);
    return false;
  }
  leftovers = platform::LeftoverSweep();
  leftovers.enable(locked);
  return true;
}

// Settings, lists and the check file (read beside the first pair's walk when
// there are workers).
void BackupRun::Impl::openRun() {
  info.runErrors = 0;
  info.runSkipped = 0;
  results.clear();
  platform::takeMetadataLosses();  // what earlier work on this thread lost is not this run's
  if (setup.reporter) setup.reporter->clearLog();
  const platform::LocalTime today = platform::localNow();
  destinations.beginRun(fmt::sprintf(texts::KEPT_DATE, today.year, today.month, today.day));

  lists.OpenLists(setup.listFiles, start().withCheckFile, start().checkFilePath, platform::localNow());
  for (int i = 0; i < 4; ++i) totals.listOpenFailed[i] = lists.openFailed(i);
  if (!start().withCheckFile) return;
  info.currentSource = start().checkFilePath;
  info.currentDestination.clear();
  notify(NOTIFY_CHECKFILE_READ);
  if (RunThreadCount() > 1) {
    checkFileLoaded = false;
    checkFileLoading = std::async(std::launch::async, [this, path = start().checkFilePath] {
      checkFile->Load(path);
      checkFileLoaded.store(true, std::memory_order_release);
    });
  } else {
    checkFile->Load(start().checkFilePath);
  }
}

// One active pair and its result for the final summary.
void BackupRun::Impl::runPairCounted(std::size_t row, const DirPair& pair) {
  const ExclusionLists exclusions = SplitExclusions(pair);
  if (GetPathKind(pair.source) != PathKind::Directory) totals.missingSources.push_back(pair.source);
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
    pageLine(fmt::sprintf(texts::GENERAL_ERROR, std::string(e.what()).substr(0, 2048), pair.source, pair.destination));
  }
  result.filesHandled = info.filesDone;
  result.errors = info.pairErrors;
  result.skipped = info.pairSkipped;
  results.push_back(std::move(result));
}

// The check file saved (after the copies are flushed), the lists closed, the
// final summary written, the totals taken.
void BackupRun::Impl::closeRun() {
  std::string checkFileError;
  if (start().withCheckFile) {
    info.currentSource = start().checkFilePath;
    info.currentDestination.clear();
    notify(NOTIFY_CHECKFILE_WRITE);
    checkFileReady(true);
    const CheckFileSaved saved = checkFileSave.valid() ? checkFileSave.get() : saveCheckFile(writtenRoots, start().checkFilePath);
    if (!saved.ok) {
      checkFileError =
          fmt::sprintf(texts::CHECKFILE_SAVE_FAILED, start().checkFilePath, SystemErrorText(saved.err).substr(0, 1024));
      ++info.pairErrors;
      ++info.runErrors;
    }
  }
  lists.CloseLists();
  notify(NOTIFY_FINISHED);
  const bool forSleep = setup.cancel && setup.cancel->load() == platform::kCancelForSleep;
  if (forSleep && log.isOpen()) log.writeLine(texts::LOG_STOPPED_FOR_SLEEP);
  WriteFinalSummary(log, results, checkFileError);
  if (setup.reporter) setup.reporter->endOfRunSound();

  totals.runErrors = info.runErrors;
  totals.runSkipped = info.runSkipped;
  totals.copied = lists.copiedNumber();
  totals.notCopied = lists.notCopiedNumber();
  totals.pairsRun = static_cast<int>(results.size());
  totals.cancelled = cancelled();
  totals.sleep = forSleep;
}

BackupRun::Impl::CheckFileSaved BackupRun::Impl::saveCheckFile(const std::set<std::string>& roots,
                                                              const std::string& path) {
  // Flush every destination file system first (each once), so that the
  // check file never names a copy a crash could still take away. A check
  // file that stays as it is names nothing new: what it names was flushed
  // by the run that copied it.
  if (checkFile->NeedsSave()) platform::syncFileSystemsOnce(roots);
  CheckFileSaved saved;
  saved.ok = SaveCheckFileWithBackup(*checkFile, path, &saved.err);
  return saved;
}

void BackupRun::Impl::beginCheckFileSave() {
  if (!lastPair || !start().withCheckFile || checkFileSave.valid() || RunThreadCount() <= 1) return;
  checkFileReady(true);
  checkFileSave = std::async(std::launch::async, [this, roots = writtenRoots, path = start().checkFilePath] {
    return saveCheckFile(roots, path);
  });
}

void BackupRun::Impl::runPair(const DirPair& pair) {
  PairState state;
  if (!beginPair(pair, state)) return;
  if (!destinationInsideSource(state)) selectFiles(state);
  prepareCopying(state);
  rememberUnchangedLinks(state);
  for (std::size_t i = 0; i < state.found.size(); ++i) {
    if (cancelled()) break;
    if (handleEntry(state, i) == LoopStep::Stop) break;
  }
  finishPair(state);
}

// The pair's options reloaded, its run log opened and its header written.
// False when the run was cancelled before the pair began.
bool BackupRun::Impl::beginPair(const DirPair& pair, PairState& state) {
  pageLine(fmt::sprintf(texts::PAIR_LOG_PAGE_HEADER, pair.source, pair.destination));
  options = settings.pairSnapshot();
  state.plan = PlanPair(pair, options, setup.dateFilter, start().withCheckFile ? checkFile : nullptr,
                        &start().noCompress);
  info.pairErrors = info.filesDone = info.pairSkipped = info.filesInPair = 0;
  info.currentSource.clear();
  info.currentDestination.clear();
  info.fileSize = info.fileDone = 0;
  if (cancelled()) return false;
  notify(NOTIFY_RESET);
  log.close();

  state.pair = &pair;
  state.destinationRoot = state.plan.destinationRoot;
  if (log.open(options.Protokolldatei)) notify(NOTIFY_LOG_OPENED);
  PairHeader header{pair.source, state.destinationRoot, options, setup.captions, setup.versionText};
  state.pairStart = WritePairHeader(log, header);
  return true;
}

// Every run would copy the previous backup again, one level deeper: a
// destination that resolves into its source (through a link or "..") is an
// error of the pair, which then copies nothing.
bool BackupRun::Impl::destinationInsideSource(PairState& state) {
  if (!platform::isSameOrBelow(state.pair->destination, state.pair->source)) return false;
  pairError(fmt::sprintf(texts::DESTINATION_IN_SOURCE, state.pair->destination, state.pair->source));
  return true;
}

// The walk with the pair's filters and the check file's decisions, into state.found.
void BackupRun::Impl::selectFiles(PairState& state) {
  notify(NOTIFY_SEARCHING);
  PairSelectionInput& selection = state.plan.selection;
  selection.copiesPutInPlace = &writtenCopies;
  selection.mayTouchCopies = true;
  selection.checkFileReady = [this](bool wait) { return checkFileReady(wait); };
  selection.onDirectoryError = [this](const std::string& dir, int err) {
    pairError(fmt::sprintf(texts::DIRECTORY_UNREADABLE, dir, SystemErrorText(err)));
  };
  selection.linkBase = FreshStateBase(options, state.pair->destination, selection.destinationRoot);
  // The workers copy and link while the walk still finds the rest: the
  // destination is begun before it.
  if (!IsOnUnmountedDrive(selection.destinationRoot)) {
    beginTree(state);
    if (const int threads = RunThreadCount(); threads > 1)
      ahead = std::make_unique<CompressAhead>(threads, setup.cancel, options.Compare != 0);
  }
  selection.onEntry = [this, &state](FoundFile& entry) {
    state.found.add(entry);
    if (entry.kind == EntryKind::File || entry.kind == EntryKind::Symlink) {
      ++state.toCopy;
      if (entry.skip != 1) ++state.toPutInPlace;
    }
    if (entry.skip >= 3) offerLinks(state, state.nextLinkOffer, false);
    if (entry.kind == EntryKind::File && !entry.skip) offerAhead(state, state.nextOffer);
  };
  state.selected = SelectPair(selection);
  if (start().withCheckFile) checkFileReady(true);  // also when the pair was left out
  // Sized once for what the loop will record, not grown by halves while it does.
  writtenCopies.expect(state.toPutInPlace);
  if (start().withCheckFile) checkFile->ExpectNewKeys(state.toPutInPlace);
  if (state.selected.unmounted) pairError(UnmountedDriveLine(selection.destinationRoot));

  info.filesInPair = static_cast<int>(std::min<std::size_t>(state.toCopy, std::numeric_limits<int>::max()));
  info.pairBytes = state.selected.totalBytes;
  info.pairBytesDone = 0;
  notify(NOTIFY_FILES_FOUND);
  if (log.isOpen()) {
    try {
      log.writeLine(fmt::sprintf(texts::LOG_FILE_COUNT, info.filesInPair));
    } catch (const std::exception&) {
    }
  }
}

// The copy context and the pair's progress after the walk; with more than
// one thread the workers that compress or copy the files ahead report to it.
void BackupRun::Impl::prepareCopying(PairState& state) {
  if (!state.treeBegun) beginTree(state);
  state.ctx.progress = &info;
  state.ctx.runLog = log.writer();
  state.ctx.cancel = setup.cancel;
  state.ctx.displayThreshold = start().minSize;

  const std::int64_t remaining =
      static_cast<std::int64_t>(info.pairBytes) - static_cast<std::int64_t>(state.selected.skippedBytes);
  // Moves the pair bar and the estimate with the copy, also inside a large file.
  state.progress = std::make_unique<PairProgress>(setup.reporter, info);
  state.ctx.reporter = state.progress.get();
  state.progress->Start(remaining);

  // The workers compress or copy while this thread reports, commits and
  // counts every file in the walk's order.
  const int threads = RunThreadCount();
  if (threads <= 1) return;
  if (!ahead) ahead = std::make_unique<CompressAhead>(threads, setup.cancel, options.Compare != 0);
  ahead->setWaiting(state.progress.get());
  // What the workers compressed counts for the pair at once, not when this thread reaches the file.
  state.progress->SetAheadSource([this] { return ahead ? ahead->doneAfter(aheadIndex) : 0; });
}

// The pair's roots, its destination tree, checksum list and complete state
// begun; with a complete state to link to, the workers that link ahead.
void BackupRun::Impl::beginTree(PairState& state) {
  state.treeBegun = true;
  state.sourceRoot = WithTrailingSlash(state.pair->source);
  state.destRoot = WithTrailingSlash(state.destinationRoot);
  pairDestRoot = state.destRoot;
  pairSourceRoot = state.sourceRoot;
  sourceBelow.reset(state.sourceRoot);
  aheadSources.reset(state.sourceRoot);
  aheadCopies.reset(state.destRoot);
  pairRoot.begin(state.destRoot);
  beginDestinations(state);
  // A killed run's temporary of the list sits here even when this run copies nothing.
  leftovers.visit(state.destRoot);
  // Records reach the journal at once where a reset archive marker would let
  // the next run skip a file whose record a killed run lost.
  checksums.begin(state.destRoot, options.ArchivbitReset != 0);
  beginCompleteState(state);
  const std::string& linkBase = state.plan.selection.linkBase;
  if (!linkBase.empty() && complete.linking() && complete.fresh() && complete.base() == linkBase)
    linksAhead = std::make_unique<LinkAhead>(RunThreadCount(), linkBase, state.destRoot, start().withCheckFile);
  state.summary.smallestKbyte = std::numeric_limits<std::uint64_t>::max();
}

// Hands the workers the next files that handleFile would compress, as far
// as they have room.
void BackupRun::Impl::offerAhead(PairState& state, std::size_t current) {
  if (!ahead) return;
  std::size_t& next = state.nextOffer;
  for (next = std::max(next, current); next < state.found.size() && ahead->hasRoom(); ++next) {
    const FoundList::Entry& f = state.found[next];
    if (f.kind != EntryKind::File || f.skip) continue;
    state.found.path(next, state.offerPath);
    const std::string& path = state.offerPath;
    // Only what handleFile would compress or copy plainly; it decides again when it takes the result.
    const bool compress = CompressDecision(path, f.size, options.Compress, start().noCompress);
    if (!compress && !mayCopyAhead(f, path)) continue;
    if (compress && GetPathKind(path + ".zip") != PathKind::Nothing) continue;
    const std::string destination = DestinationPathOf(path, state.sourceRoot, state.destRoot);
    if (compress && !ArchiveNameFits(destination)) continue;
    const std::string destinationDir = ParentDirectory(destination);
    if (!destinations.makeDirectories(destinationDir, nullptr, true)) continue;
    if (compress && mayLinkFromBase(path, destination)) continue;
    leftovers.visit(destinationDir);  // before a worker puts a temporary there
    CopyJob job;
    // The worker opens, creates and renames by name in the two directories;
    // one that cannot be held is the file's turn to see.
    job.sourceDirectory = aheadSources.hold(ParentDirectory(path));
    job.destinationDirectory = aheadCopies.hold(destinationDir);
    if (!job.sourceDirectory || !job.destinationDirectory) continue;
    job.sourceRoot = state.sourceRoot;
    job.source = path;
    job.destination = destination;
    job.size = f.size;
    job.displayThreshold = start().minSize;
    job.compress = compress;
    job.deferCommit = true;
    job.timeSource = path;
    // A name that came since the walk is the run thread's to see before it takes the copy.
    job.destinationSeenAbsent = f.copyAbsent;
    // Put in place on the worker where the run thread takes the walk's look too.
    job.commitAhead = !compress && walkSawNoCopy(f, path) && !options.Compare;
    ahead->offer(next, std::move(job));
  }
}

// A plain copy is made on a worker unless handleFile may do more than copy:
// link it (hard links, complete states), or refuse its name.
bool BackupRun::Impl::mayCopyAhead(const FoundList::Entry& f, const std::string& path) const {
  if (f.manyLinks || complete.active()) return false;
  return !IsProgramFileName(std::string_view(path).substr(path.rfind('/') + 1));
}

// The walk's look that nothing has the file's copy name stands until the
// commit: for a plain copy that handleFile only copies.
bool BackupRun::Impl::walkSawNoCopy(const FoundList::Entry& f, const std::string& path) const {
  return f.copyAbsent && !options.Compress && mayCopyAhead(f, path);
}

// Entry i of the walk: skipped, a link, directory or special file, a file
// gone since the walk, or a file to copy.
BackupRun::Impl::LoopStep BackupRun::Impl::handleEntry(PairState& state, std::size_t i) {
  offerAhead(state, i);
  offerLinks(state, i);
  aheadIndex = i;
  state.found.releaseBefore(i);
  state.found.path(i, state.source);
  const FoundList::Entry& entry = state.found[i];
  state.progress->FileStarted(entry.size);
  DestinationPathInto(state.destination, state.source, state.sourceRoot, state.destRoot);
  state.finalName = state.destination;
  try {
    info.currentSource = state.source;
    info.currentDestination = state.destination;
    if (entry.skip == 1) {
      handleSkipped(state);
      return LoopStep::Next;
    }
    if (entry.kind == EntryKind::Directory && entry.copyMatches) {
      const CopyLook look = state.loopWrote ? CopyLook::Matched : CopyLook::MatchedNothingWritten;
      if (copyDirectoryEntry(state.source, state.destination, state.ctx, look)) state.loopWrote = true;
      state.progress->FileFinished(false);
      return LoopStep::Next;
    }
    state.loopWrote = true;
    if (entry.skip == 2) {
      carryAttributesOnly(state);
      return LoopStep::Next;
    }
    if (entry.skip >= 3 && linkFromBase(state, i)) return LoopStep::Next;
    if (entry.kind != EntryKind::File) {
      handleTreeEntry(entry.kind, state.source, state.destination, state.ctx);
      state.progress->FileFinished(false);
      return LoopStep::Next;
    }
    state.sourceLookErr = 0;
    lookAfterWorker = ahead && ahead->finished(i);
    copyAbsentByWalk = walkSawNoCopy(entry, state.source);
    state.sourceLook = sourceBelow.status(state.source, &state.sourceLookErr);
    // A link on its way since the walk is said by the copy's path check.
    if (!state.sourceLook && !platform::LeftItsPath(state.sourceLookErr)) {
      handleVanished(state);
      return LoopStep::Next;
    }
    if (copyFoundFile(state, i) == LoopStep::Stop) return LoopStep::Stop;
  } catch (const std::exception& e) {
    ++info.pairErrors;
    ++info.runErrors;
    const std::string text =
        fmt::sprintf(texts::GENERAL_ERROR, std::string(e.what()).substr(0, 2048), state.source, state.finalName);
    try {
      ReportLine(state.ctx, text);
    } catch (const std::exception&) {
    }
  }
  state.progress->FileFinished(false);
  return LoopStep::Next;
}

void BackupRun::Impl::handleSkipped(PairState& state) {
  lists.addSkipped(state.source, state.destination);
  ++info.runSkipped;
  ++info.filesDone;
  ++info.pairSkipped;
  state.progress->FileFinished(true);
  notify(NOTIFY_SKIPPING);
}

// Gone since the walk: said as such, in every mode.
void BackupRun::Impl::handleVanished(PairState& state) {
  ReportError(state.ctx, fmt::sprintf(texts::FILE_VANISHED, state.source));
  lists.addNotCopied(state.source);
  if (start().withCheckFile) checkFile->MarkCopied(state.destination, false);
  ++info.filesDone;
  state.progress->FileFinished(false);
}

// Only the mode, owner or xattrs of an unchanged file differ from its plain
// copy: they are carried over, the content is not copied again. Listed as
// copied (the destination changed), without bytes, and counted for the
// pair's note.
void BackupRun::Impl::carryAttributesOnly(PairState& state) {
  int err = 0;
  writtenRoots.insert(state.destRoot);
  if (platform::carryAttributes(state.source, pairDestRoot, state.destination, &err)) {
    lists.addCopied(state.source, state.destination);
    ++state.attributesOnly;
  } else {
    ReportError(state.ctx, fmt::sprintf(texts::ATTRIBUTES_CARRY_FAILED, state.source, state.destination,
                                        SystemErrorText(err)));
    lists.addNotCopied(state.source);
    if (start().withCheckFile) checkFile->MarkCopied(state.destination, false);
  }
  ++info.filesDone;
  state.progress->FileFinished(true);
}

// A file copied or compressed, then recorded in the lists and the check file.
BackupRun::Impl::LoopStep BackupRun::Impl::copyFoundFile(PairState& state, std::size_t i) {
  const std::string& source = state.source;
  const std::string& destination = state.destination;
  const std::uint64_t size = state.found[i].size;
  if (HasLineBreak(destination))
    ReportLine(state.ctx, fmt::sprintf(texts::NAME_WITH_LINE_BREAK, VisibleLineBreaks(source)));
  std::uint64_t compressedSize = 0;
  writtenRoots.insert(state.destRoot);
  markerMaySayUnchanged = state.found[i].changed == 0;
  const FileResult r =
      handleFile(source, destination, size, state.pair->source, state.ctx, state.finalName, compressedSize,
                 state.sourceLook, state.sourceLookErr);
  // The source's marker was just written, after the copy: the copy is made
  // the newer of the two again, so its status time tells the next run
  // whether the source's mode, owner or xattrs changed since.
  if (r.markerWritten) platform::touchChangeTime(state.finalName);
  if (r.outcome == Outcome::Failed) rememberMissingDirectory(ParentDirectory(destination));
  state.compressedBytes += compressedSize;
  if (r.outcome == Outcome::Cancelled) {
    // Broken off by "Abbrechen": neither copied nor an error, and not summed.
    lists.addNotCopied(source);
    if (start().withCheckFile) checkFile->MarkCopied(destination, false);
    state.progress->FileAbandoned();
    return LoopStep::Stop;
  }
  if (r.linked)
    ++state.linked;  // nothing was copied
  else
    addToSizeSummary(state, size);
  if (r.outcome == Outcome::Copied) {
    lists.addCopied(source, state.finalName);
    // Confirmed only with the state the copy was read in, and only when
    // the source kept it: a file changed meanwhile is copied again.
    if (start().withCheckFile && r.unchanged && !HasLineBreak(destination)) {
      checkFile->CheckAndRecord(destination, static_cast<std::int64_t>(r.before.size),
                                static_cast<std::uint32_t>(r.before.lastWrite & 0xFFFFFFFFu),
                                static_cast<std::uint32_t>(r.before.lastWrite >> 32));
      checkFile->MarkCopied(destination, true);
    } else if (start().withCheckFile) {
      checkFile->MarkCopied(destination, false);
    }
  } else {
    lists.addNotCopied(source);
    if (start().withCheckFile) checkFile->MarkCopied(destination, false);
  }
  ++info.filesDone;
  return LoopStep::Next;
}

void BackupRun::Impl::addToSizeSummary(PairState& state, std::uint64_t size) {
  const std::uint64_t kb = size / 1024;
  PairSummary& summary = state.summary;
  state.kbyteTotal += kb;
  if (kb > summary.largestKbyte) {
    summary.largestKbyte = kb;
    summary.largestName = state.source;
  }
  if (kb < summary.smallestKbyte) {
    summary.smallestKbyte = kb;
    summary.smallestName = state.source;
  }
}

// The workers' results for files not reached thrown away, the notes of the
// pair given, its summary written.
void BackupRun::Impl::finishPair(PairState& state) {
  ahead.reset();
  linksAhead.reset();
  hardLinks.clear();
  state.found.clear();
  beginCheckFileSave();  // every copy of the run is written
  noteMetadataLosses(state.ctx, state.destinationRoot);
  finishChecksums(state);  // before the folder gets its times: the list is written into it
  finishCompleteState(state);
  // The pair's own folder after everything in it (never one inside the source).
  int err = 0;
  const bool rootOk = platform::isSameOrBelow(state.pair->destination, state.pair->source) ||
                      pairRoot.finish(state.sourceRoot, &err);
  try {
    if (state.attributesOnly > 0)
      ReportLine(state.ctx, fmt::sprintf(texts::ATTRIBUTES_ONLY, state.attributesOnly));
    if (const int removed = leftovers.takeRemoved())
      ReportLine(state.ctx, fmt::sprintf(texts::LEFTOVERS_REMOVED, removed));
    if (!rootOk)
      ReportLine(state.ctx, fmt::sprintf(texts::DIRECTORY_ATTRIBUTES_FAILED, state.sourceRoot, state.destRoot,
                                         SystemErrorText(err)));
  } catch (const std::exception&) {
  }
  if (!cancelled()) ThinAfterPair(state.pair->destination, options, leftovers.enabled(), state.ctx);
  info.remainingTimeText = fmt::sprintf(texts::REMAINING_TIME, "00:00:00");
  notify(NOTIFY_REMAINING_TIME);
  notify(NOTIFY_FINISHED);

  PairSummary& summary = state.summary;
  summary.filesDone = info.filesDone;
  summary.pairSkipped = info.pairSkipped;
  summary.pairErrors = info.pairErrors;
  summary.kbyte = state.kbyteTotal;
  summary.compressedKbyte = state.compressedBytes / 1024;
  summary.cancelled = cancelled();
  summary.startSeconds = state.pairStart;
  summary.linked = complete.active() ? state.linked : -1;
  totals.linked += state.linked;
  if (summary.smallestName.empty()) summary.smallestKbyte = 0;
  WritePairSummary(log, summary);
}

}  // namespace kalvero

namespace kalvero {

BackupRun::BackupRun(BackupRunSetup setup) : impl_(std::make_unique<Impl>(std::move(setup))) {}
BackupRun::~BackupRun() = default;
void BackupRun::run() {
  impl_->run();
  impl_->setup.sleepLock.reset();  // sleep may come now: nothing is half-written
}
RunTotals BackupRun::totals() const { return impl_->totals; }

}  // namespace kalvero
