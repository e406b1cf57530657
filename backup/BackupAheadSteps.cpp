// The run thread's use of a worker's archive: taken as it is, or the file is
// compressed again here when the worker's result no longer holds.
#include <cerrno>

#include "backup/BackupRunImpl.h"
#include "platform/FileCopy.h"

namespace kalvero {

namespace {

// The destination ran out of space (or of the user's quota).
bool IsNoSpace(const CompressionError& error) { return error.osError == ENOSPC || error.osError == EDQUOT; }

// Size, times and inode as the worker read them, and no status change since:
// the archive holds what the source holds now.
bool UnchangedSince(const platform::FileStatus& before, const platform::FileStatus& now) {
  return SameState(before, now) && before.ctimeSeconds == now.ctimeSeconds &&
         before.ctimeNanoseconds == now.ctimeNanoseconds;
}

}  // namespace

const PreparedCompression* BackupRun::Impl::usablePrepared(PreparedCompression* prepared, const CopyJob& job) {
  if (!prepared || !job.compress) return nullptr;
  if (cancelled()) return prepared;  // taken as a cancel, without a new attempt
  if (!prepared->ok && IsNoSpace(prepared->job.error)) {
    // The archives the workers hold for the files ahead took the space: they
    // are given back, and the rest of the pair runs on this thread, as with one.
    ahead.reset();
    return nullptr;
  }
  // A file changed or replaced after the worker read it is stored as it is now.
  const auto now = platform::lstatPath(job.source);
  if (now && prepared->before && UnchangedSince(*prepared->before, *now)) return prepared;
  // Its old archive goes before this thread writes the new one.
  if (!prepared->job.pending.empty()) platform::discardTemporary(prepared->job.pending);
  prepared->job.pending.clear();
  return nullptr;
}

}  // namespace kalvero
