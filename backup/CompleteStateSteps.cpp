// The run's steps for complete dated states: today's folder unmarked while
// it is filled and marked at an uncancelled end, unchanged files linked to
// the previous complete state instead of copied.
#include <fmt/printf.h>

#include "backup/BackupRunImpl.h"
#include "backup/CopyVerify.h"
#include "platform/LevelOpen.h"
#include "platform/PathUtil.h"
#include "run/DatedFolders.h"
#include "run/RunReport.h"

namespace kalvero {

void BackupRun::Impl::beginCompleteState(PairState& state) {
  complete.begin(options, state.pair->destination, state.destRoot);
  checksums.setBase(complete.base());
  if (!options.SubVerzDatum) return;
  // Whatever this run changes in today's folder, it is no complete state
  // until the run has ended.
  int err = 0;
  if (!UnmarkStateComplete(state.destRoot, &err))
    ReportError(state.ctx, fmt::sprintf(texts::COMPLETE_UNMARK_FAILED, state.destinationRoot, SystemErrorText(err)));
}

void BackupRun::Impl::finishCompleteState(PairState& state) {
  if (!complete.active() || cancelled() ||
      platform::isSameOrBelow(state.pair->destination, state.pair->source) ||
      GetPathKind(state.destRoot) != PathKind::Directory)
    return;
  const platform::LocalTime t = platform::localNow();
  const std::string text =
      fmt::sprintf(texts::COMPLETE_MARK_TEXT, state.pair->source, t.day, t.month, t.year, t.hour, t.minute, t.second);
  int err = 0;
  if (MarkStateComplete(state.destRoot, text, &err)) return;
  try {
    ReportError(state.ctx, fmt::sprintf(texts::COMPLETE_MARK_FAILED, state.destinationRoot, SystemErrorText(err)));
  } catch (const std::exception&) {
  }
}

// The previous state's copy holds the file as it is now: today's name
// becomes a second name of it. False: the file is copied as any other.
bool BackupRun::Impl::linkUnchanged(CopyJob& job, const std::optional<platform::FileStatus>& before,
                                    FileResult& result, std::string& finalName, const CopyContext& ctx) {
  if (!complete.linking() || job.destination.compare(0, pairDestRoot.size(), pairDestRoot) != 0) return false;
  if (!before || before->kind != platform::EntryKind::File || before->isSymlink) return false;
  const std::string target = job.compress ? job.destination + ".zip" : job.destination;
  platform::FileStatus copy;
  const std::string baseCopy =
      complete.unchangedCopy(target.substr(pairDestRoot.size()), *before, job.source, job.compress, &copy);
  if (baseCopy.empty()) return false;
  // In a folder this run began empty a taken name shows as EEXIST (the copy
  // path then says whose it is); elsewhere the name is cleared first.
  if (!complete.fresh()) {
    if (takenByAnotherSource(target, job.source)) return false;
    if (!clearDestinationFor(job, ctx)) return true;  // said; result stays Failed
  }
  int err = 0;
  if (complete.link(baseCopy, target, !complete.fresh(), &err) != CompleteState::Link::Done) {
    if (complete.takeRefusalNote()) ReportLine(ctx, fmt::sprintf(texts::HARD_LINKS_UNSUPPORTED, pairDestRoot));
    return false;
  }
  writtenCopies.set(copy.device, copy.inode, std::hash<std::string>{}(job.source));
  checksums.linked(target);
  if (!complete.fresh()) destinations.removeOtherForm(target, job.compress);
  finalName = target;
  result.before = *before;
  result.unchanged = true;
  result.linked = true;
  if (!job.compress) rememberLinkedCopy(*before, target);
  bool ok = true;
  if (options.ArchivbitReset) {
    markerMaySayUnchanged = true;  // written only where it does not say so already
    ok = resetArchiveMarker(job.source, WithoutTrailingSlash(pairSourceRoot), result, false, ctx);
  }
  result.outcome = ok ? Outcome::Copied : Outcome::Failed;
  return true;
}

// Hands the workers the links of the next entries the walk found unchanged
// in the base state, their directories made first. While the walk goes on,
// the last directory's group waits for its further files.
void BackupRun::Impl::offerLinks(PairState& state, std::size_t current, bool walkEnded) {
  if (!linksAhead) return;
  std::size_t& next = state.nextLinkOffer;
  for (next = std::max(next, current); next < state.found.size() && linksAhead->hasRoom(); ++next) {
    const unsigned char skip = state.found[next].skip;
    if (skip < 3) continue;
    state.found.path(next, state.offerPath);
    DestinationPathInto(state.offerDestination, state.offerPath, state.sourceRoot, state.destRoot);
    const std::string directory = ParentDirectory(state.offerDestination);
    if (!destinations.makeDirectories(directory, nullptr, true)) {
      ++state.linkOffers;
      continue;  // the general way says why
    }
    leftovers.visit(directory);
    std::string relative = state.offerDestination.substr(pairDestRoot.size());
    if (skip == 4) relative += ".zip";
    linksAhead->offer(next, std::move(relative), state.found.baseCopyInode(state.linkOffers));
    state.found.releaseBaseCopiesBefore(state.linkOffers++);
  }
  if (walkEnded && next == state.found.size()) linksAhead->flush();  // else its directory may get more
}

bool BackupRun::Impl::linkFromBase(PairState& state, std::size_t i) {
  LinkAhead::Result link;
  if (!linksAhead || !linksAhead->take(i, link)) return false;
  // After a refusal every file is copied, also over a name a worker linked meanwhile.
  if (!complete.linking()) return false;
  if (!link.linked) {
    if (complete.refusedBy(link.err) && complete.takeRefusalNote())
      ReportLine(state.ctx, fmt::sprintf(texts::HARD_LINKS_UNSUPPORTED, pairDestRoot));
    return false;  // copied, or linked the general way
  }
  const std::string& destination = state.destination;
  const std::string target = state.found[i].skip == 4 ? destination + ".zip" : destination;
  writtenRoots.insert(state.destRoot);
  writtenCopies.set(link.device, link.inode, std::hash<std::string>{}(state.source));
  checksums.linked(target);
  state.finalName = target;
  ++state.linked;
  lists.addCopied(state.source, target);
  if (start().withCheckFile) {
    // Only a plain copy comes this way with the check file: it has the source's size and time.
    checkFile->CheckAndRecord(destination, static_cast<std::int64_t>(link.size),
                              static_cast<std::uint32_t>(link.lastWrite & 0xFFFFFFFFu),
                              static_cast<std::uint32_t>(link.lastWrite >> 32));
    checkFile->MarkCopied(destination, true);
  }
  ++info.filesDone;
  state.progress->FileFinished(false);
  return true;
}

bool BackupRun::Impl::mayLinkFromBase(const std::string& source, const std::string& destination) const {
  if (!complete.linking() || destination.compare(0, pairDestRoot.size(), pairDestRoot) != 0) return false;
  const auto before = platform::lstatPath(source);
  return before && !complete.unchangedCopy(destination.substr(pairDestRoot.size()) + ".zip", *before, source, true).empty();
}

}  // namespace kalvero
