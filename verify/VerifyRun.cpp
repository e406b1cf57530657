#include "verify/VerifyRun.h"

#include <fmt/printf.h>

#include <memory>

#include "platform/FileSystem.h"
#include "platform/RunLock.h"
#include "run/WorkerPool.h"
#include "verify/VerifyFolder.h"
#include "verify/VerifyTexts.h"

namespace kalvero {

namespace vt = verify_text;

std::string GroupedNumber(long long n) {
  const std::string digits = std::to_string(n < 0 ? -n : n);
  std::string out = n < 0 ? "-" : "";
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out.push_back('.');
    out.push_back(digits[i]);
  }
  return out;
}

namespace {

// Only one run at a time in a destination: a backup writing while its
// files are read would make the check report what it is just replacing.
bool HoldTargets(const VerifyInput& input, platform::RunLock& lock, VerifyTotals& totals) {
  for (const VerifyTarget& target : input.targets) {
    if (lock.add(target.root) != platform::RunLock::Result::Busy) continue;
    lock.release();
    totals.busyLine = fmt::sprintf(vt::kBusy, target.root);
    return false;
  }
  return true;
}

void ReportNoList(const VerifyInput& input, const std::string& root, VerifyTotals& totals) {
  const auto st = platform::statPath(root);
  const bool there = st && st->kind == platform::EntryKind::Directory;
  Finding f = there ? Finding{FindingKind::NoList, root, {}, fmt::sprintf(vt::kNoList, root)}
                    : Finding{FindingKind::TargetMissing, root, {}, fmt::sprintf(vt::kTargetMissing, root)};
  if (input.reporter) input.reporter->logLine(f.line);
  totals.add(std::move(f));
}

}  // namespace

VerifyTotals RunVerify(const VerifyInput& input) {
  VerifyTotals totals;
  platform::RunLock lock;
  if (!HoldTargets(input, lock, totals)) return totals;
  const int threads = RunThreadCount();
  std::unique_ptr<WorkerPool> pool = threads > 1 ? std::make_unique<WorkerPool>(threads) : nullptr;
  int row = 0;
  for (const VerifyTarget& target : input.targets) {
    const BackupFolders folders = FoldersOf(target);
    if (folders.rootWithoutList) ReportNoList(input, target.root, totals);
    if (input.reporter && !folders.withList.empty()) input.reporter->selectPair(row);
    for (const std::string& folder : folders.withList) {
      if (input.cancel && *input.cancel) break;
      ++totals.folders;
      FolderCheck check{folder, input.withSource ? target.source : std::string(), pool.get(), input.cancel,
                        input.reporter};
      VerifyFolder(check, totals);
    }
    ++row;
  }
  totals.cancelled = input.cancel && *input.cancel;
  return totals;
}

}  // namespace kalvero
