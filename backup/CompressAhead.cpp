#include "backup/CompressAhead.h"

#include <chrono>
#include <exception>
#include <functional>

#include "backup/CompressZip.h"
#include "backup/CopyVerify.h"
#include "platform/FileCopy.h"
#include "platform/LevelOpen.h"
#include "platform/PathUtil.h"
#include "run/Estimator.h"
#include "zip/ZipArchiveLayer.h"

namespace kalvero {

namespace {

// How often the run thread, waiting for a worker, shows how far it is.
constexpr auto kWaitStep = std::chrono::milliseconds(100);

// The steps a compression or comparison sends on a worker, kept as numbers:
// only the run thread talks to the page.
class StepCounter : public RunReporter {
 public:
  explicit StepCounter(std::function<void(std::uint64_t done)> count) : count_(std::move(count)) {}
  void progress(int code, const ProgressInfo& info) override {
    if (code == NOTIFY_FILE_STEP) count_(info.fileDone);
  }
  void clearLog() override {}
  void logLine(const std::string& /*text*/) override {}

 private:
  std::function<void(std::uint64_t)> count_;
};

}  // namespace

CompressAhead::CompressAhead(int threads, const std::atomic<int>* cancel, bool compare, PairProgress* waiting)
    : cancel_(cancel),
      waiting_(waiting),
      compare_(compare),
      minFiles_(2 * static_cast<std::size_t>(threads)),
      maxFiles_(1024 * static_cast<std::size_t>(threads)),
      pool_(threads) {
  for (int i = 0; i < threads; ++i) zips_.push_back(std::make_unique<ZipArchiveLayer>());
}

PreparedCompression::~PreparedCompression() {
  if (!job.pending.empty()) platform::discardTemporary(job.pending);
  if (job.committedAhead) platform::removeCopyIfSame(job.destination, job.committedDevice, job.committedInode);
}

CompressAhead::~CompressAhead() {
  dropping_.store(true, std::memory_order_relaxed);
  for (Slot& slot : slots_) {
    try {
      wait(slot);
    } catch (...) {
    }
  }
}

void CompressAhead::offer(std::size_t index, CopyJob job) {
  Slot slot;
  slot.index = index;
  slot.size = job.size;
  bytesAhead_ += job.size;
  slot.result = std::make_unique<PreparedCompression>();
  slot.result->job = std::move(job);
  PreparedCompression* p = slot.result.get();
  slot.done = pool_.submit([this, p](int worker) { compress(*p, worker); }, false);
  ++unwokenFiles_;
  unwokenBytes_ += slot.size;
  slots_.push_back(std::move(slot));
  if (unwokenFiles_ >= kWakeEvery || unwokenBytes_ >= kWakeBytes) wakeFor(slots_.back());
}

// One job on a worker. A skipped job leaves ok false and no state read: the
// run thread sees the cancel, or no longer asks for the result.
void CompressAhead::compress(PreparedCompression& p, int worker) {
  if (stopped()) return;
  ZipArchiveLayer& zip = *zips_[static_cast<std::size_t>(worker)];
  // The state the check file and the archive marker record is the one read here.
  const CopyJob& job = p.job;
  p.before = job.sourceDirectory ? platform::statusAt(job.sourceDirectory->fd(), LastName(job.source), job.source)
                                 : platform::lstatPath(job.source);
  // A plain copy then opens the file without a look of its own.
  p.job.sourceSeenRegular = p.before && p.before->kind == platform::EntryKind::File && !p.before->isSymlink;
  p.stage.store(PreparedCompression::Compressing, std::memory_order_release);
  ProgressInfo record;
  StepCounter steps([this, &p](std::uint64_t done) { countCompressed(p, done); });
  if (p.job.compress)
    p.ok = CompressQuietly(p.job, zip, cancel_, &p.error, &steps, &record);
  else
    p.ok = CopyQuietly(p.job, cancel_, &p.error.osError);
  if (p.ok) countCompressed(p, p.job.size);  // a small file sends no steps
  if (p.ok && !p.job.compress && p.job.commitAhead && !stopped()) commitOnWorker(p.job);
  // After a cancel the run takes at most this one result, and compares it itself.
  if (p.ok && compare_ && p.job.compress && !stopped()) compareOnWorker(p, zip);
  p.losses = platform::takeMetadataLosses();
  p.stage.store(PreparedCompression::Finished, std::memory_order_release);
}

// A plain copy whose name the walk saw free is put in place here, while the
// name is still free; else the run thread looks at what came there. Until the
// run takes it, the copy is taken back with its result (~PreparedCompression).
void CompressAhead::commitOnWorker(CopyJob& job) {
  // Its identity is the one of the file written (a look at the name after
  // the rename could see another file put there since).
  const int dirFd = job.destinationDirectory ? job.destinationDirectory->fd() : -1;
  if (job.committedInode == 0 || !platform::commitTemporaryIfFree(job.pending, job.destination, dirFd)) return;
  job.pending.clear();
  job.committedAhead = true;
}

void CompressAhead::compareOnWorker(PreparedCompression& p, ZipArchiveLayer& zip) {
  ProgressInfo record;
  StepCounter steps([&p](std::uint64_t done) { p.comparedBytes.store(done, std::memory_order_relaxed); });
  CopyContext verify;
  verify.cancel = cancel_;
  verify.source = p.job.source;
  verify.destination = p.job.pending;
  verify.progress = &record;
  verify.reporter = &steps;
  verify.displayThreshold = p.job.displayThreshold;
  p.stage.store(PreparedCompression::Comparing, std::memory_order_release);
  p.compareKind = CompareArchiveQuietly(zip, verify, &p.compareErr);
  p.compared = true;
}

// The total first, then the file's share: whoever reads the file's share
// (acquire) also sees it in the total, so doneAfter never goes below zero.
void CompressAhead::countCompressed(PreparedCompression& p, std::uint64_t total) {
  const std::uint64_t before = p.compressedBytes.load(std::memory_order_relaxed);
  if (total <= before) return;
  compressed_.fetch_add(total - before, std::memory_order_relaxed);
  p.compressedBytes.store(total, std::memory_order_release);
}

std::uint64_t CompressAhead::doneAfter(std::size_t current) const {
  std::uint64_t notAhead = taken_;
  for (const Slot& slot : slots_) {
    if (slot.index > current) break;
    notAhead += slot.result->compressedBytes.load(std::memory_order_acquire);
  }
  const std::uint64_t all = compressed_.load(std::memory_order_relaxed);
  return all > notAhead ? all - notAhead : 0;
}

std::unique_ptr<PreparedCompression> CompressAhead::take(std::size_t index) {
  while (!slots_.empty() && slots_.front().index < index) {
    try {
      wait(slots_.front());
    } catch (...) {
    }
    pop();
  }
  if (slots_.empty() || slots_.front().index != index) return nullptr;
  // Waited for in its place: until it is done its bytes are the current
  // file's, not among the files ahead.
  std::exception_ptr failure;
  try {
    waitReporting(slots_.front());
  } catch (...) {
    failure = std::current_exception();
  }
  Slot slot = pop();
  if (failure) std::rethrow_exception(failure);  // the file's failure, as on this thread
  return std::move(slot.result);
}

bool CompressAhead::finished(std::size_t index) const {
  for (const Slot& slot : slots_) {
    if (slot.index > index) break;
    if (slot.index == index)
      return slot.result->stage.load(std::memory_order_acquire) == PreparedCompression::Finished;
  }
  return false;
}

void CompressAhead::waitReporting(Slot& slot) {
  if (!slot.done.valid()) return;
  wakeFor(slot);
  const PreparedCompression& p = *slot.result;
  while (waiting_ && slot.done.wait_for(kWaitStep) != std::future_status::ready) {
    const bool comparing = p.stage.load(std::memory_order_acquire) == PreparedCompression::Comparing;
    const std::uint64_t compressed = p.compressedBytes.load(std::memory_order_acquire);
    waiting_->Waiting(comparing ? NOTIFY_COMPARING : p.job.compress ? NOTIFY_COMPRESSING : NOTIFY_COPYING,
                      comparing ? p.comparedBytes.load(std::memory_order_relaxed) : compressed, compressed);
  }
  slot.done.get();
}

CompressAhead::Slot CompressAhead::pop() {
  Slot slot = std::move(slots_.front());
  slots_.pop_front();
  bytesAhead_ -= slot.size;
  taken_ += slot.result->compressedBytes.load(std::memory_order_relaxed);
  return slot;
}

void CompressAhead::wait(Slot& slot) {
  if (!slot.done.valid()) return;
  wakeFor(slot);
  slot.done.get();
}

void CompressAhead::wakeFor(Slot& slot) {
  if (unwokenFiles_ == 0) return;
  if (slot.done.valid() && slot.done.wait_for(std::chrono::seconds(0)) == std::future_status::ready) return;
  unwokenFiles_ = 0;
  unwokenBytes_ = 0;
  pool_.wake();
}

}  // namespace kalvero
