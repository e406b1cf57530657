#include "backup/CompressAhead.h"

#include "backup/CompressZip.h"
#include "backup/CopyVerify.h"
#include "platform/FileCopy.h"
#include "zip/ZipArchiveLayer.h"

namespace kalvero {

CompressAhead::CompressAhead(int threads, const std::atomic<int>* cancel, bool compare)
    : cancel_(cancel),
      compare_(compare),
      minFiles_(2 * static_cast<std::size_t>(threads)),
      maxFiles_(1024 * static_cast<std::size_t>(threads)),
      pool_(threads) {
  for (int i = 0; i < threads; ++i) zips_.push_back(std::make_unique<ZipArchiveLayer>());
}

PreparedCompression::~PreparedCompression() {
  if (!job.pending.empty()) platform::discardTemporary(job.pending);
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
  slot.done = pool_.submit([this, p](int worker) { compress(*p, worker); });
  slots_.push_back(std::move(slot));
}

// One job on a worker. A skipped job leaves ok false and no state read: the
// run thread sees the cancel, or no longer asks for the result.
void CompressAhead::compress(PreparedCompression& p, int worker) {
  if (stopped()) return;
  ZipArchiveLayer& zip = *zips_[static_cast<std::size_t>(worker)];
  // The state the check file and the archive marker record is the one read here.
  p.before = platform::lstatPath(p.job.source);
  p.ok = CompressQuietly(p.job, zip, cancel_);
  // After a cancel the run takes at most this one result, and compares it itself.
  if (p.ok && compare_ && !stopped()) {
    CopyContext verify;
    verify.cancel = cancel_;
    verify.source = p.job.source;
    verify.destination = p.job.pending;
    p.compareKind = CompareArchiveQuietly(zip, verify, &p.compareErr);
    p.compared = true;
  }
}

std::unique_ptr<PreparedCompression> CompressAhead::take(std::size_t index) {
  while (!slots_.empty() && slots_.front().index < index) {
    Slot slot = pop();
    try {
      wait(slot);
    } catch (...) {
    }
  }
  if (slots_.empty() || slots_.front().index != index) return nullptr;
  Slot slot = pop();
  wait(slot);  // what escaped the worker is the file's failure, as on this thread
  return std::move(slot.result);
}

CompressAhead::Slot CompressAhead::pop() {
  Slot slot = std::move(slots_.front());
  slots_.pop_front();
  bytesAhead_ -= slot.size;
  return slot;
}

void CompressAhead::wait(Slot& slot) {
  if (slot.done.valid()) slot.done.get();
}

}  // namespace kalvero
