// The pair's end for its destination folder's checksum list: the journal
// folded in, and what that did said in the run log.
#include <fmt/printf.h>

#include "backup/BackupRunImpl.h"
#include "backup/CopyVerify.h"
#include "run/ChecksumList.h"
#include "run/RunReport.h"

namespace kalvero {

void BackupRun::Impl::finishChecksums(PairState& state) {
  const ChecksumJournal::Result r = checksums.finish(setup.cancel);
  const std::string list = state.destRoot + std::string(kChecksumListName);
  try {
    if (r.updated && r.firstListing)
      ReportLine(state.ctx, fmt::sprintf(texts::CHECKSUM_LIST_FIRST, state.destinationRoot,
                                         static_cast<int>(r.update.hashed), list));
    if (r.update.unreadable > 0)
      ReportError(state.ctx, fmt::sprintf(texts::CHECKSUM_LIST_UNREADABLE, static_cast<int>(r.update.unreadable),
                                          state.destinationRoot));
    if (r.failed) ReportError(state.ctx, fmt::sprintf(texts::CHECKSUM_LIST_FAILED, list, SystemErrorText(r.err)));
  } catch (const std::exception&) {
  }
}

}  // namespace kalvero
