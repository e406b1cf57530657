#include "verify/VerifyFolder.h"

#include <fmt/printf.h>

#include <algorithm>
#include <chrono>
#include <deque>
#include <future>
#include <vector>

#include "diag/ErrorText.h"
#include "platform/FileSystem.h"
#include "platform/PathUtil.h"
#include "run/ChecksumList.h"
#include "run/WorkerPool.h"
#include "verify/ArchiveCheck.h"
#include "verify/FileCheck.h"
#include "verify/FolderWalk.h"
#include "verify/ListedFiles.h"
#include "verify/VerifyTexts.h"

namespace kalvero {

namespace vt = verify_text;

namespace {

// Files handed to a worker at once: few enough to spread a folder over the
// cores, enough to keep the hand-over cheap for small files.
constexpr std::size_t kBatchFiles = 64;
constexpr std::uint64_t kBatchBytes = 32ull << 20;

struct Batch {
  std::vector<FileCheckInput> inputs;
  std::vector<FileCheckResult> results;
  std::future<void> done;
};

// The folder is walked in the list's order beside the list itself, a few
// batches ahead of the check: no record of every file is ever held.
class FolderRun {
 public:
  FolderRun(const FolderCheck& check, VerifyTotals& totals)
      : c_(check),
        totals_(totals),
        root_(WithTrailingSlash(check.folder)),
        source_(check.sourceRoot.empty() ? std::string() : WithTrailingSlash(check.sourceRoot)) {}
  // The workers hold references into this object until their batches are done.
  ~FolderRun() {
    stop_ = true;
    for (Batch& b : batches_)
      if (b.done.valid()) b.done.wait();
  }
  void run();

 private:
  void report(Finding finding);
  bool readList();
  void countFiles();
  bool fillBatch(SortedFolderWalk& walk, Batch& batch);
  void checkInBatches();
  void runBatch(Batch& batch);
  void waitFor(Batch& batch);
  void reportResults(Batch& batch);
  void reportMissing();
  bool cancelled() const { return c_.cancel && c_.cancel->load() != 0; }

  const FolderCheck& c_;
  VerifyTotals& totals_;
  const std::string root_, source_;
  ListedFiles list_;
  std::deque<Batch> batches_;  // in flight, oldest first (a deque keeps their places)
  std::atomic<bool> stop_{false};
  std::atomic<std::uint64_t> bytesDone_{0};
  ProgressInfo info_;
};

void FolderRun::report(Finding finding) {
  if (c_.reporter) c_.reporter->logLine(finding.line);
  totals_.add(std::move(finding));
}

bool FolderRun::readList() {
  const std::string listPath = root_ + std::string(kChecksumListName);
  int err = 0;
  if (!list_.read(listPath, &err)) {
    const std::string reason = SystemErrorText(err);
    report({FindingKind::ListProblem, listPath, reason, fmt::sprintf(vt::kListUnreadable, listPath, reason)});
    return false;
  }
  for (const int line : list_.badLines())
    report({FindingKind::ListProblem, listPath, std::to_string(line), fmt::sprintf(vt::kListBadLine, line, listPath)});
  return true;
}

// The whole folder's files and bytes for the progress, and its unreadable
// directories named before any file.
void FolderRun::countFiles() {
  const FolderCount count = CountBackupFolder(c_.folder, [this](const std::string& dir, int err) {
    const std::string reason = SystemErrorText(err);
    report({FindingKind::Unreadable, dir, reason, fmt::sprintf(vt::kFolderUnreadable, dir, reason)});
  });
  info_.filesInPair = static_cast<int>(count.files);
  info_.pairBytes = count.bytes;
}

// The next files of the walk with their listed digests and, for the source
// comparison, the source each was copied from. False when the walk is done.
bool FolderRun::fillBatch(SortedFolderWalk& walk, Batch& batch) {
  std::uint64_t bytes = 0;
  WalkedFile w;
  while (batch.inputs.size() < kBatchFiles && bytes < kBatchBytes) {
    if (!walk.next(w)) return false;
    FileCheckInput& in = batch.inputs.emplace_back();
    in.path = root_ + w.relative;
    in.status = w.status;
    in.listed = list_.match(w.relative);
    in.listSeconds = list_.listSeconds();
    in.listNanoseconds = list_.listNanoseconds();
    if (!source_.empty()) {
      in.sourcePath = source_ + w.relative;
      if (LooksLikeOurArchive(w.relative)) in.archiveSourcePath = source_ + w.relative.substr(0, w.relative.size() - 4);
    }
    bytes += w.status.size;
  }
  return true;
}

void FolderRun::runBatch(Batch& batch) {
  const FileCheckShared shared{&stop_, &bytesDone_};
  batch.results.reserve(batch.inputs.size());
  for (std::size_t i = 0; i < batch.inputs.size() && !stop_.load(std::memory_order_relaxed); ++i)
    batch.results.push_back(CheckBackupFile(batch.inputs[i], shared));
}

// Waits for a batch, showing the progress and passing a cancel on to the workers.
void FolderRun::waitFor(Batch& batch) {
  if (batch.done.valid()) {
    while (batch.done.wait_for(std::chrono::milliseconds(200)) != std::future_status::ready) {
      if (cancelled()) stop_ = true;
      info_.pairBytesDone = bytesDone_.load();
      if (c_.reporter) c_.reporter->progress(NOTIFY_FILE_STEP, info_);
    }
    batch.done.get();
  }
  if (cancelled()) stop_ = true;
}

void FolderRun::reportResults(Batch& b) {
  for (std::size_t i = 0; i < b.results.size(); ++i) {
    FileCheckResult& r = b.results[i];
    if (r.copy) report(std::move(*r.copy));
    if (r.source) report(std::move(*r.source));
    totals_.sourcesRead += r.sourceRead ? 1 : 0;
    ++totals_.filesChecked;
    totals_.bytesChecked += b.inputs[i].status.size;
    ++info_.filesDone;
  }
  info_.pairBytesDone = bytesDone_.load();
  if (c_.reporter) c_.reporter->progress(NOTIFY_FILE_STEP, info_);
}

// Batches made while earlier ones are checked, and reported in the walk's order.
void FolderRun::checkInBatches() {
  SortedFolderWalk walk(c_.folder);
  const std::size_t ahead = c_.pool ? 2 * static_cast<std::size_t>(c_.pool->threads()) + 2 : 1;
  for (bool more = true;;) {
    while (more && batches_.size() < ahead && !stop_) {
      Batch& b = batches_.emplace_back();
      more = fillBatch(walk, b);
      if (b.inputs.empty()) {
        batches_.pop_back();
        break;
      }
      if (c_.pool) b.done = c_.pool->submit([this, &b](int) { runBatch(b); });
    }
    if (batches_.empty()) return;
    Batch& b = batches_.front();
    if (!c_.pool && !stop_) runBatch(b);
    waitFor(b);
    reportResults(b);
    batches_.pop_front();
  }
}

void FolderRun::reportMissing() {
  for (const std::string& relative : list_.unmatched()) {
    const std::string path = root_ + relative;
    const auto st = platform::lstatPath(path);
    // A regular file the walk leaves out (the list itself, a dated folder's
    // own backup) is not this list's to judge.
    if (st && st->kind == platform::EntryKind::File && !st->isSymlink) continue;
    if (st) report({FindingKind::NotRegular, path, {}, fmt::sprintf(vt::kNotRegular, path)});
    else report({FindingKind::Missing, path, {}, fmt::sprintf(vt::kMissing, path)});
  }
}

void FolderRun::run() {
  if (c_.reporter) c_.reporter->logLine(fmt::sprintf(vt::kFolderHeader, c_.folder));
  if (!readList()) return;
  info_.currentSource = c_.folder;
  if (c_.reporter) c_.reporter->progress(NOTIFY_SEARCHING, info_);
  countFiles();
  checkInBatches();
  if (stop_) return;
  if (const int err = list_.readError()) {
    // Read once, then no more: what it would have said is not known.
    const std::string listPath = root_ + std::string(kChecksumListName);
    const std::string reason = SystemErrorText(err);
    report({FindingKind::ListProblem, listPath, reason, fmt::sprintf(vt::kListUnreadable, listPath, reason)});
    return;
  }
  reportMissing();
  if (c_.reporter) c_.reporter->progress(NOTIFY_FINISHED, info_);
}

}  // namespace

void VerifyFolder(const FolderCheck& check, VerifyTotals& totals) {
  FolderRun(check, totals).run();
}

}  // namespace kalvero
