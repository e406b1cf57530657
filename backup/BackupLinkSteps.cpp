// Hard links within a pair's plain backup: the first name of a file with more
// than one is copied, a later one becomes a second name of that copy when the
// copy holds the file as it is now (copied in this run, or unchanged).
#include "backup/BackupRunImpl.h"
#include "backup/CopyVerify.h"
#include "run/Walk.h"

namespace kalvero {

bool BackupRun::Impl::copyOrLink(CopyJob& job, const std::optional<platform::FileStatus>& before,
                                 const CopyContext& ctx) {
  if (!job.compress && before && HardLinkCopies::HasOtherNames(*before)) {
    const std::string* earlier = hardLinks.copyOf(*before);
    if (earlier && LinkToCopy(*earlier, job)) return true;
  }
  return copyHere(job, ctx);
}

void BackupRun::Impl::rememberLinkedCopy(const platform::FileStatus& source, const std::string& copy) {
  if (HardLinkCopies::HasOtherNames(source) && !hardLinks.copyOf(source)) hardLinks.remember(source, copy);
}

// The names the check file skipped: their plain copies from an earlier run
// hold them. Only files with several names cost a status call.
void BackupRun::Impl::rememberUnchangedLinks(PairState& state) {
  if (options.Compress) return;
  for (std::size_t i = 0; i < state.found.size(); ++i) {
    const FoundList::Entry& entry = state.found[i];
    if (!entry.skip || !entry.manyLinks || entry.kind != EntryKind::File) continue;
    state.found.path(i, state.source);
    const auto status = platform::lstatPath(state.source);
    if (!status || status->isSymlink || hardLinks.copyOf(*status)) continue;
    DestinationPathInto(state.destination, state.source, state.sourceRoot, state.destRoot);
    const auto copy = platform::lstatPath(state.destination);
    if (copy && copy->kind == platform::EntryKind::File && !copy->isSymlink) hardLinks.remember(*status, state.destination);
  }
}

}  // namespace kalvero
