// The steps of one found entry of a backup: a file copied or compressed,
// compared, put in place and its source checked again; a link, a directory
// or a special file of the walk.
#include <fmt/printf.h>

#include "backup/BackupRunImpl.h"
#include <sys/stat.h>

#include <cerrno>

#include "backup/CopyVerify.h"
#include "platform/FileCopy.h"
#include "platform/LevelOpen.h"
#include "platform/PathUtil.h"
#include "platform/TreeCopy.h"
#include "run/ChecksumList.h"
#include "run/RunReport.h"
#include "run/Walk.h"

namespace kalvero {

void BackupRun::Impl::pageLine(const std::string& text) { ReportToLogPage(setup.reporter, text); }

void BackupRun::Impl::rememberMissingDirectory(const std::string& dir) {
  if (GetPathKind(dir) != PathKind::Directory) missingDirectories.insert(dir);
}

bool BackupRun::Impl::takenByAnotherSource(const std::string& target, const std::string& source) const {
  const auto st = platform::lstatPath(target);
  if (!st) return false;
  const auto recorded = writtenCopies.find(st->device, st->inode);
  return recorded && *recorded != std::hash<std::string>{}(source);
}

void BackupRun::Impl::noteWrittenInto(const std::string& directory) {
  const auto st = platform::statPath(directory);
  if (st && writtenDevices.insert(st->device).second) writtenRoots.insert(directory);
}

void BackupRun::Impl::rememberCopy(const std::string& target, const std::string& source, const CopyJob* job) {
  const std::size_t key = std::hash<std::string>{}(source);
  if (job && job->committedAhead)
    writtenCopies.set(job->committedDevice, job->committedInode, key);  // seen in place in the file's turn
  else if (const auto st = destinations.look(target))
    writtenCopies.set(st->device, st->inode, key);
}

BackupRun::Impl::FileResult BackupRun::Impl::handleFile(const std::string& source, const std::string& destination,
                                                        std::uint64_t size, const std::string& pairSource,
                                                        CopyContext& ctx, std::string& finalName,
                                                        std::uint64_t& compressedSize,
                                                        const std::optional<platform::FileStatus>& look,
                                                        int lookErr) {
  FileResult result;
  int err = 0;
  const std::string directory = ParentDirectory(destination);
  if (!destinations.makeDirectories(directory, &err)) {
    ReportError(ctx, fmt::sprintf(texts::DEST_DIR_FAILED, directory, SystemErrorText(err)));
    return result;
  }
  leftovers.visit(directory);
  // Into a complete state's new folder a file unchanged against the previous
  // state is linked on one look at it: nothing of it is read, so the copy's
  // path check and the look at the (empty) name are not needed.
  std::optional<CopyJob> early;
  if (complete.linking() && complete.fresh() &&
      !IsProgramFileName(std::string_view(destination).substr(destination.rfind('/') + 1))) {
    early = makeCopyJob(source, destination, size, pairSource, ctx);
    // (An archive a worker made of it all the same goes with the next file's take.)
    if (linkUnchanged(*early, look, result, finalName, ctx)) return result;
  }
  // The loop's look along the source's path is the one the copy starts from (no second look).
  const std::optional<platform::FileStatus>& found = look;
  if (!sourceOnItsPath(source, look, lookErr, true, ctx)) return result;

  // A copy of a complete state may be a name of an older state's file too: never changed in place.
  // One look at the copy's name: nothing there needs no clearing, no read-only
  // check and cannot have become another source's copy before the commit.
  // Where the walk found nothing, its look stands until the commit.
  const bool absentByWalk = copyAbsentByWalk;
  const bool destinationAbsent = absentByWalk || !destinations.look(destination);
  if (!destinationAbsent && !complete.active()) ClearFileAttributes(destination, platform::ATTR_READONLY, ctx);
  // A worker's archive of this file; removed at the end unless taken.
  const std::unique_ptr<PreparedCompression> prepared = ahead ? ahead->take(aheadIndex) : nullptr;
  if (prepared) platform::addMetadataLosses(prepared->losses);  // noted for the pair as this thread's
  CopyJob job = early ? std::move(*early) : makeCopyJob(source, destination, size, pairSource, ctx);
  job.destinationSeenAbsent = destinationAbsent;
  job.absentByWalk = absentByWalk && !job.compress;
  if (!job.compress && IsProgramFileName(std::string_view(destination).substr(destination.rfind('/') + 1))) {
    // Its plain name is the program's list: a copy there would be overwritten.
    ReportError(ctx, fmt::sprintf(texts::CHECKSUM_LIST_NAME_NOT_STORED, source, destination + ".zip"));
    return result;
  }
  if (job.compress && !zip) zip = std::make_unique<ZipArchiveLayer>();
  if (!early && linkUnchanged(job, found, result, finalName, ctx)) return result;
  if (!clearDestinationFor(job, ctx)) return result;
  std::optional<platform::FileStatus> seen;  // the source after the copy, from the look before the commit
  const PreparedCompression* usable = usablePrepared(prepared.get(), job, found, seen);
  // The source as the copy reads it: the archive marker and the check file
  // record this state, and only when the file still has it afterwards.
  const auto before = usable ? usable->before : found;
  if (before) result.before = *before;
  job.sourceSeenRegular = !usable && before && before->kind == platform::EntryKind::File && !before->isSymlink;

  bool ok = !usable             ? copyOrLink(job, before, ctx)
            : usable->job.compress ? TakeCompressedCopy(job, *prepared, ctx)
                                   : TakeCopiedFile(job, *prepared, ctx);
  if (usable) {  // job owns it now
    prepared->job.pending.clear();
    prepared->job.committedAhead = false;
  }
  if (job.cancelled) {
    if (!job.pending.empty() || job.committedAhead) DiscardCopy(job);
    result.outcome = Outcome::Cancelled;
    return result;
  }
  if (ok && job.wasCompressed) compressedSize = job.compressedSize;
  bool compareFailed = false;
  if (ok && options.Compare) {
    ok = compareCopy(job, usable, before, size, ctx);
    compareFailed = !ok;
  }
  ok = commitOrDiscard(job, ok, compareFailed, ctx, &seen);
  finalName = job.finalName.empty() ? job.destination : job.finalName;

  bool changeNoted = false;
  checkSourceAfter(source, before, ok, compareFailed, result, changeNoted, ctx, seen ? &seen : nullptr);
  if (ok && result.unchanged && !job.wasCompressed) rememberLinkedCopy(result.before, finalName);
  if (ok && options.ArchivbitReset && result.unchanged) ok = resetArchiveMarker(source, pairSource, result, changeNoted, ctx);
  result.outcome = ok ? Outcome::Copied : Outcome::Failed;
  return result;
}

// The copy's record: compressed or not, and under which name.
CopyJob BackupRun::Impl::makeCopyJob(const std::string& source, const std::string& destination, std::uint64_t size,
                                     const std::string& pairSource, const CopyContext& ctx) {
  CopyJob job;
  job.sourceRoot = WithTrailingSlash(pairSource);
  job.source = source;
  job.destination = destination;
  job.size = size;
  job.displayThreshold = start().minSize;
  job.compress = CompressDecision(source, size, options.Compress, start().noCompress);
  if (job.compress && !options.Compress)
    ReportLine(ctx, fmt::sprintf(texts::CHECKSUM_LIST_NAME_ARCHIVED, source, destination));
  if (job.compress && GetPathKind(source + ".zip") != PathKind::Nothing) {
    // The archive's name belongs to another file of this directory: this one
    // keeps its own name, uncompressed, and nothing is overwritten.
    job.compress = false;
    ReportLine(ctx, fmt::sprintf(texts::STORED_UNCOMPRESSED, source, source + ".zip"));
  }
  if (job.compress && !ArchiveNameFits(destination)) {
    // ".zip" would make the name longer than a file system allows.
    job.compress = false;
    ReportLine(ctx, fmt::sprintf(texts::NAME_TOO_LONG_FOR_ARCHIVE, source));
  }
  job.deferCommit = true;
  job.timeSource = source;
  return job;
}

// Compared while still the hidden pending file: the previous copy stays
// untouched until this one has passed.
bool BackupRun::Impl::compareCopy(CopyJob& job, const PreparedCompression* prepared,
                                  const std::optional<platform::FileStatus>& before, std::uint64_t size,
                                  const CopyContext& ctx) {
  notify(NOTIFY_COMPARING);
  CopyContext verify = ctx;
  verify.source = job.source;
  verify.destination = job.pending;
  verify.destinationName = job.wasCompressed ? job.finalName : job.destination;
  // The worker's comparison stands only while the source is as it read it;
  // otherwise the archive is compared with the source as it is now.
  const auto now = prepared && prepared->compared ? platform::lstatPath(job.source) : std::nullopt;
  if (now && before && SameState(*now, *before))
    return TakeComparison(verify, prepared->compareKind, prepared->compareErr, size);
  return job.wasCompressed ? CompareArchive(*zip, verify) : CompareFiles(verify);
}

// A copy that failed its comparison replaces the previous one only with
// "DeleteZieldatei" off; with it on, the previous copy keeps its name.
bool BackupRun::Impl::commitOrDiscard(CopyJob& job, bool ok, bool& compareFailed, const CopyContext& ctx,
                                      std::optional<platform::FileStatus>* seen) {
  if (job.pending.empty() && !job.committedAhead) return ok;
  const std::string target = job.finalName.empty() ? job.destination : job.finalName;
  if (ok || !options.DeleteZieldatei) {
    if (!placeCopy(job, target, ctx, seen)) {
      DiscardCopy(job);
      compareFailed = false;
      return false;
    }
  } else {
    DiscardCopy(job);
    return ok;
  }
  if (!job.pending.empty() && !CommitCopy(job, ctx, destinations.directoryOf(target))) return false;
  rememberCopy(target, job.source, &job);
  job.committedAhead = false;  // kept
  // In place now: before the source's marker says it is backed up.
  if (job.hashed)
    checksums.stored(target, job.digest);
  else
    checksums.stored(target);
  // The other form goes only for a copy that passed its comparison.
  if (ok) destinations.removeOtherForm(target, job.wasCompressed);
  return ok;
}

// Whether the copy may take its name (false: refused, said): never over
// another source's copy of this run, never what a link on the source's way
// led to. A name the walk saw free is taken here while it still is (pending
// is then empty); one that came since is looked at as in the file's turn.
bool BackupRun::Impl::placeCopy(CopyJob& job, const std::string& target, const CopyContext& ctx,
                                std::optional<platform::FileStatus>* seen) {
  auto takenBefore = [&] {
    if (!takenByAnotherSource(target, job.source)) return false;
    ReportError(ctx, fmt::sprintf(texts::DESTINATION_TAKEN, job.source, target));
    return true;
  };
  const bool stillAbsent = job.destinationSeenAbsent && job.finalName.empty();  // no copy of this run put there
  if (!stillAbsent && takenBefore()) return false;
  // (A worker's copy was looked at after its read already.)
  if (!(seen && *seen) && !sourceOnItsPath(job.source, false, ctx, seen)) return false;
  if (job.committedAhead || !job.absentByWalk || !job.finalName.empty()) return true;
  if (platform::commitTemporaryIfFree(job.pending, target, destinations.directoryOf(target))) {
    job.pending.clear();
    return true;
  }
  // Something came to the name since the walk (or its file system cannot say).
  job.destinationSeenAbsent = false;
  if (destinations.look(target) && !complete.active()) ClearFileAttributes(target, platform::ATTR_READONLY, ctx);
  return clearDestinationFor(job, ctx) && !takenBefore();
}

// Whether the source kept the state the copy was read in; a change is said.
void BackupRun::Impl::checkSourceAfter(const std::string& source, const std::optional<platform::FileStatus>& before,
                                       bool ok, bool compareFailed, FileResult& result, bool& changeNoted,
                                       const CopyContext& ctx,
                                       const std::optional<platform::FileStatus>* seen) {
  // The look before the commit came after the copy's last read: it serves as the status after it.
  const auto after = seen ? *seen : platform::lstatPath(source);
  result.unchanged = before && after && SameState(*before, *after);
  if (before && after && !result.unchanged && (ok || compareFailed)) {
    ReportLine(ctx, fmt::sprintf(texts::CHANGED_DURING_COPY, source));
    changeNoted = true;
  }
}

// The archive marker reset on a source that kept its state. False when it
// could not be stored: the copy itself is good and stays, the file is tried
// again next time.
bool BackupRun::Impl::resetArchiveMarker(const std::string& source, const std::string& pairSource,
                                         FileResult& result, bool changeNoted, const CopyContext& ctx) {
  info.currentSource = source;
  info.currentDestination.clear();
  notify(NOTIFY_ARCHIVE_RESET);
  bool unsupported = false;
  bool changed = false;
  bool ok = true;
  // A marker that already holds this state is not written again: that would
  // make the source newer than its other copies.
  if (markerMaySayUnchanged && !platform::archiveBitSet(source, result.before)) return true;
  if (!ResetArchiveBit(source, result.before, ctx, &changed, &unsupported)) {
    ++info.pairErrors;
    ++info.runErrors;
    ok = false;
  }
  result.markerWritten = ok && !changed && !unsupported;
  if (changed) {
    result.unchanged = false;
    if (!changeNoted) ReportLine(ctx, fmt::sprintf(texts::CHANGED_DURING_COPY, source));
  }
  if (unsupported && !archiveNoteGiven) {
    archiveNoteGiven = true;
    ReportLine(ctx, fmt::sprintf(texts::ARCHIVE_BIT_UNSUPPORTED, pairSource));
  }
  return ok;
}

void BackupRun::Impl::pairError(const std::string& text) {
  ++info.pairErrors;
  ++info.runErrors;
  try {
    if (log.isOpen()) log.writeLine(text);
  } catch (const std::exception&) {
  }
  pageLine(text);
}

void BackupRun::Impl::handleTreeEntry(EntryKind kind, const std::string& source, const std::string& destination,
                                      const CopyContext& ctx) {
  if (kind == EntryKind::Special) {
    // A FIFO, socket or device has no content to keep; it is named, never opened.
    lists.addSkipped(source, destination);
    ReportLine(ctx, fmt::sprintf(texts::SPECIAL_FILE, source));
    return;
  }
  if (kind == EntryKind::Directory)
    copyDirectoryEntry(source, destination, ctx, CopyLook::None);
  else
    copyLinkEntry(source, destination, ctx);
}

// Its content is done: an empty one is created here, and its mode and time
// are set last, so no copy into it changes them again.
bool BackupRun::Impl::copyDirectoryEntry(const std::string& source, const std::string& destination,
                                         const CopyContext& ctx, CopyLook look) {
  int err = 0;
  // Unchanged since its copy was made, and nothing written into the copy
  // since (that would have changed its time): nothing to make, check or set.
  if (look == CopyLook::MatchedNothingWritten ||
      (look == CopyLook::Matched && platform::directoryAttributesMatch(source, destination))) {
    destinations.modeSet(destination);
    return false;
  }
  noteWrittenInto(WithTrailingSlash(destination));
  if (!destinations.makeDirectories(destination, &err)) {
    if (missingDirectories.insert(WithTrailingSlash(destination)).second)
      ReportError(ctx, fmt::sprintf(texts::DEST_DIR_FAILED, WithTrailingSlash(destination), SystemErrorText(err)));
  } else if (!sourceOnItsPath(source, false, ctx)) {
    // reported: a directory replaced by a link is not followed
  } else if (!platform::copyDirectoryAttributes(source, destination, &err)) {
    ReportLine(ctx,
               fmt::sprintf(texts::DIRECTORY_ATTRIBUTES_FAILED, source, destination, SystemErrorText(err)));
  }
  destinations.modeSet(destination);
  return true;
}

// A link is kept as a link (also when compressing), never followed.
void BackupRun::Impl::copyLinkEntry(const std::string& source, const std::string& destination, const CopyContext& ctx) {
  int err = 0;
  const std::string directory = ParentDirectory(destination);
  bool ok = destinations.makeDirectories(directory, &err);
  if (ok) leftovers.visit(directory);  // before the link's temporary goes there
  if (!ok) {
    ReportError(ctx, fmt::sprintf(texts::DEST_DIR_FAILED, directory, SystemErrorText(err)));
    missingDirectories.insert(directory);
  } else if (!sourceOnItsPath(source, true, ctx)) {
    ok = false;
  } else if (!destinations.clearFor(destination, DestinationTree::Kind::Link, &err) ||
             !platform::copySymlink(source, destination, &err)) {
    ok = false;
    ReportError(ctx, fmt::sprintf(texts::LINK_FAILED, source, destination, SystemErrorText(err)));
  }
  if (ok) {
    rememberCopy(destination, source);
    noteWrittenInto(directory);
    lists.addCopied(source, destination);
  } else {
    lists.addNotCopied(source);
  }
  if (start().withCheckFile) checkFile->MarkCopied(destination, ok);
  ++info.filesDone;
}

bool BackupRun::Impl::sourceOnItsPath(const std::string& source, bool lastMayBeLink, const CopyContext& ctx,
                                      std::optional<platform::FileStatus>* status) {
  int err = 0;
  const auto seen = sourceBelow.status(source, &err);
  if (status) *status = seen;
  return sourceOnItsPath(source, seen, err, lastMayBeLink, ctx);
}

bool BackupRun::Impl::sourceOnItsPath(const std::string& source, const std::optional<platform::FileStatus>& seen,
                                      int err, bool lastMayBeLink, const CopyContext& ctx) {
  if (seen ? lastMayBeLink || !seen->isSymlink : !platform::LeftItsPath(err))
    return true;  // gone or unreadable: the step itself says so
  ReportError(ctx, fmt::sprintf(texts::SOURCE_PATH_CHANGED, source));
  return false;
}

// Entries of another kind at the copy's name are kept aside first (the copy
// replaces only a file); the other form of the file goes after the commit.
bool BackupRun::Impl::clearDestinationFor(const CopyJob& job, const CopyContext& ctx) {
  int err = 0;
  std::string name = job.destination;
  // A name seen empty just before has nothing to clear.
  bool ok = job.destinationSeenAbsent || destinations.clearFor(name, DestinationTree::Kind::File, &err);
  if (ok && job.compress) ok = destinations.clearFor(name += ".zip", DestinationTree::Kind::File, &err);
  if (ok) return true;
  if (err == EEXIST)
    ReportError(ctx, fmt::sprintf(texts::DESTINATION_TAKEN, job.source, name));
  else
    ReportError(ctx, fmt::sprintf(texts::KIND_CHANGE_FAILED, name, SystemErrorText(err)));
  return false;
}

void BackupRun::Impl::beginDestinations(PairState& state) {
  DestinationTree::Hooks hooks;
  hooks.takenThisRun = [this](const std::string& path) {
    const auto st = platform::lstatPath(path);
    return st && writtenCopies.find(st->device, st->inode).has_value();
  };
  const CopyContext* ctx = &state.ctx;
  // A log that cannot be written has the line on the page already; the step goes on.
  hooks.keeping = [this](const std::string& path) { checksums.keeping(path); };
  hooks.kept = [this, ctx](const std::string& path, const std::string& keptAs) {
    checksums.kept(path, keptAs);
    try {
      ReportLine(*ctx, fmt::sprintf(texts::KIND_CHANGE_KEPT, path, keptAs));
    } catch (const std::exception&) {
    }
  };
  hooks.keepFailed = [ctx](const std::string& path, int err) {
    try {
      ReportError(*ctx, fmt::sprintf(texts::KIND_CHANGE_FAILED, path, SystemErrorText(err)));
    } catch (const std::exception&) {
    }
  };
  hooks.removed = [this](const std::string& path) { checksums.removed(path); };
  destinations.beginPair(state.sourceRoot, state.destRoot, std::move(hooks));
}

void BackupRun::Impl::noteMetadataLosses(const CopyContext& ctx, const std::string& destinationRoot) {
  const platform::MetadataLosses losses = platform::takeMetadataLosses();
  try {
    if (losses.extendedAttributes && !xattrNoteGiven) {
      xattrNoteGiven = true;
      ReportLine(ctx, fmt::sprintf(texts::XATTRS_NOT_KEPT, destinationRoot));
    }
    if (losses.owner && !ownerNoteGiven) {
      ownerNoteGiven = true;
      ReportLine(ctx, fmt::sprintf(texts::OWNER_NOT_KEPT, destinationRoot));
    }
  } catch (const std::exception&) {
  }
}

}  // namespace kalvero
