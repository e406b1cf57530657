// The run thread's use of a worker's archive or plain copy: taken as it is,
// or the file is stored again here when the worker's result no longer holds;
// and what this thread writes itself while the workers hold space.
#include "backup/BackupRunImpl.h"
#include "backup/CopyVerify.h"
#include "platform/FileCopy.h"

namespace kalvero {

namespace {

// Size, times and inode as the worker read them, and no status change since:
// the archive holds what the source holds now.
bool UnchangedSince(const platform::FileStatus& before, const platform::FileStatus& now) {
  return SameState(before, now) && before.ctimeSeconds == now.ctimeSeconds &&
         before.ctimeNanoseconds == now.ctimeNanoseconds;
}

}  // namespace

// A copy a worker put in place is taken while its name still holds it. What
// replaced it since (another source's copy where the file system ignores
// letter case, anything else) is this thread's to see, as with one thread.
// A hidden copy or archive is taken while the copy's folder still holds it:
// a folder replaced since (by a link the user put there) has it no more.
bool BackupRun::Impl::stillInPlace(const CopyJob& job) {
  if (!job.committedAhead) {
    if (job.pending.empty()) return true;
    const auto pending = destinations.look(job.pending);
    return pending && pending->kind == platform::EntryKind::File && !pending->isSymlink;
  }
  const auto now = destinations.look(job.destination);
  return now && now->device == job.committedDevice && now->inode == job.committedInode;
}

const PreparedCompression* BackupRun::Impl::usablePrepared(PreparedCompression* prepared, const CopyJob& job,
                                                           const std::optional<platform::FileStatus>& look,
                                                           std::optional<platform::FileStatus>& seen) {
  if (!prepared || prepared->job.compress != job.compress) return nullptr;
  if (cancelled()) return prepared;  // taken as a cancel, without a new attempt
  if (!prepared->ok && IsNoSpace(prepared->error.osError)) {
    // The archives the workers hold for the files ahead took the space: they
    // are given back, and the rest of the pair runs on this thread, as with one.
    ahead.reset();
    return nullptr;
  }
  // A plain copy that failed on a worker is made again here: what stood in
  // its way (an older copy of another kind) is put aside first on this thread.
  if (!prepared->ok && !job.compress) return nullptr;
  // A file changed or replaced after the worker read it is stored as it is now.
  // The look goes along the source's path: after the worker's read, it is
  // the commit's look too (with "Compare" the comparison reads it later).
  // The loop's own look serves when the worker had finished before it.
  const auto now = lookAfterWorker ? look : sourceBelow.status(job.source);
  if (now && prepared->before && UnchangedSince(*prepared->before, *now) && stillInPlace(prepared->job)) {
    if (!options.Compare) seen = now;
    return prepared;
  }
  // Its old archive (or the copy a worker put in place) goes before this thread writes the new one.
  DiscardCopy(prepared->job);
  return nullptr;
}

// This thread's own copy or compression while the workers may hold archives
// of the files ahead: a failure for lack of space is tried once more after
// they are given back, as with one thread.
bool BackupRun::Impl::copyHere(CopyJob& job, const CopyContext& ctx) {
  if (!ahead) return CopyOneFile(job, ctx, zip.get());
  int full = 0;
  const bool ok = CopyOneFile(job, ctx, zip.get(), &full);
  if (ok || full == 0) return ok;
  ahead.reset();
  return CopyOneFile(job, ctx, zip.get());
}

}  // namespace kalvero
