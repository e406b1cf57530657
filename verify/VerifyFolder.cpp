#include "verify/VerifyFolder.h"

#include <fmt/printf.h>

#include <algorithm>
#include <chrono>
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
  std::size_t begin = 0, end = 0;
  std::vector<FileCheckResult> results;
  std::future<void> done;
};

class FolderRun {
 public:
  FolderRun(const FolderCheck& check, VerifyTotals& totals) : c_(check), totals_(totals) {}
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
  void makeInputs(std::vector<WalkedFile>& walked);
  void makeBatches();
  void runBatch(Batch& batch);
  void waitFor(Batch& batch);
  void reportMissing();
  bool cancelled() const { return c_.cancel && c_.cancel->load() != 0; }

  const FolderCheck& c_;
  VerifyTotals& totals_;
  ListedFiles list_;
  std::vector<FileCheckInput> inputs_;
  std::vector<Batch> batches_;
  std::atomic<bool> stop_{false};
  std::atomic<std::uint64_t> bytesDone_{0};
  ProgressInfo info_;
};

void FolderRun::report(Finding finding) {
  if (c_.reporter) c_.reporter->logLine(finding.line);
  totals_.add(std::move(finding));
}

bool FolderRun::readList() {
  const std::string listPath = WithTrailingSlash(c_.folder) + std::string(kChecksumListName);
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

// One input per walked file, with its listed digest and, for the source
// comparison, the source it was copied from.
void FolderRun::makeInputs(std::vector<WalkedFile>& walked) {
  std::sort(walked.begin(), walked.end(), [](const WalkedFile& a, const WalkedFile& b) { return a.relative < b.relative; });
  const std::string root = WithTrailingSlash(c_.folder);
  const std::string source = c_.sourceRoot.empty() ? std::string() : WithTrailingSlash(c_.sourceRoot);
  inputs_.reserve(walked.size());
  for (WalkedFile& w : walked) {
    FileCheckInput in;
    in.path = root + w.relative;
    in.status = w.status;
    if (ListedFile* listed = list_.find(w.relative)) {
      listed->seen = true;
      in.listed = &listed->digest;
    }
    in.listSeconds = list_.listSeconds();
    in.listNanoseconds = list_.listNanoseconds();
    if (!source.empty()) {
      in.sourcePath = source + w.relative;
      if (LooksLikeOurArchive(w.relative)) in.archiveSourcePath = source + w.relative.substr(0, w.relative.size() - 4);
    }
    info_.pairBytes += w.status.size;
    inputs_.push_back(std::move(in));
  }
  info_.filesInPair = static_cast<int>(inputs_.size());
}

void FolderRun::makeBatches() {
  std::vector<Batch>& batches = batches_;
  std::size_t begin = 0;
  std::uint64_t bytes = 0;
  for (std::size_t i = 0; i < inputs_.size(); ++i) {
    bytes += inputs_[i].status.size;
    if (i + 1 - begin >= kBatchFiles || bytes >= kBatchBytes || i + 1 == inputs_.size()) {
      batches.emplace_back();
      batches.back().begin = begin;
      batches.back().end = i + 1;
      begin = i + 1;
      bytes = 0;
    }
  }
}

void FolderRun::runBatch(Batch& batch) {
  const FileCheckShared shared{&stop_, &bytesDone_};
  batch.results.reserve(batch.end - batch.begin);
  for (std::size_t i = batch.begin; i < batch.end && !stop_.load(std::memory_order_relaxed); ++i)
    batch.results.push_back(CheckBackupFile(inputs_[i], shared));
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

void FolderRun::reportMissing() {
  const std::string root = WithTrailingSlash(c_.folder);
  for (const std::string* relative : list_.order()) {
    if (list_.at(relative).seen) continue;
    const std::string path = root + *relative;
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
  std::vector<WalkedFile> walked = WalkBackupFolder(c_.folder, [this](const std::string& dir, int err) {
    const std::string reason = SystemErrorText(err);
    report({FindingKind::Unreadable, dir, reason, fmt::sprintf(vt::kFolderUnreadable, dir, reason)});
  });
  makeInputs(walked);
  walked = {};
  makeBatches();
  for (Batch& b : batches_) {
    if (c_.pool) b.done = c_.pool->submit([this, &b](int) { runBatch(b); });
  }
  for (Batch& b : batches_) {
    if (!c_.pool && !stop_) runBatch(b);
    waitFor(b);
    for (std::size_t i = 0; i < b.results.size(); ++i) {
      FileCheckResult& r = b.results[i];
      if (r.copy) report(std::move(*r.copy));
      if (r.source) report(std::move(*r.source));
      totals_.sourcesRead += r.sourceRead ? 1 : 0;
      ++totals_.filesChecked;
      totals_.bytesChecked += inputs_[b.begin + i].status.size;
      ++info_.filesDone;
    }
    info_.pairBytesDone = bytesDone_.load();
    if (c_.reporter) c_.reporter->progress(NOTIFY_FILE_STEP, info_);
  }
  if (stop_) return;
  reportMissing();
  if (c_.reporter) c_.reporter->progress(NOTIFY_FINISHED, info_);
}

}  // namespace

void VerifyFolder(const FolderCheck& check, VerifyTotals& totals) {
  FolderRun(check, totals).run();
}

}  // namespace kalvero
