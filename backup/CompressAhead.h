#pragma once
// Compression and plain copies of the files ahead of the run on the worker
// threads. Each file is compressed into a hidden archive of its own (and
// compared, with "Compare") or copied to a hidden temporary beside its copy;
// the run takes the results in the walk's order and does everything the
// user sees itself (the comparison of a plain copy too), as in a run on one
// thread.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <future>
#include <memory>
#include <optional>
#include <vector>

#include "backup/CopyJob.h"
#include "diag/ErrorText.h"
#include "platform/FileSystem.h"
#include "platform/TreeCopy.h"
#include "run/WorkerPool.h"

namespace kalvero {

class PairProgress;
class ZipArchiveLayer;

// A worker's result, read on the run thread once the worker is done: what it
// did and how each step ended, for the run thread to report as its own.
struct PreparedCompression {
  CopyJob job;  // as the worker left it: pending, finalName, compressedSize (plain: hashed, digest)
  std::optional<platform::FileStatus> before;  // the source as the worker read it
  bool ok = false;         // the archive was written
  CompressionError error;  // why not (a plain copy: osError alone)
  platform::MetadataLosses losses;  // what the worker's copy could not carry
  bool compared = false;   // the archive was compared with its source
  CompareKind compareKind = CompareKind::Equal;  // how (CompareArchiveQuietly)
  int compareErr = 0;                            // with the system error of an open or read failure

  // What the worker has done so far, for the run thread's progress while it
  // waits: the stage, the source bytes compressed, the bytes compared.
  enum Stage : int { Queued, Compressing, Comparing, Finished };
  std::atomic<int> stage{Queued};
  std::atomic<std::uint64_t> compressedBytes{0};
  std::atomic<std::uint64_t> comparedBytes{0};

  PreparedCompression() = default;
  PreparedCompression(const PreparedCompression&) = delete;
  PreparedCompression& operator=(const PreparedCompression&) = delete;
  ~PreparedCompression();  // removes job.pending (or the copy a worker put in place) unless the run took it
};

class CompressAhead {
 public:
  // threads >= 2; compare: the archives are compared with their sources too.
  // While take waits for a worker, waiting (when set) is told how far it is.
  CompressAhead(int threads, const std::atomic<int>* cancel, bool compare, PairProgress* waiting = nullptr);
  // Lets the workers skip what is still queued, waits for the ones at work
  // and removes every archive not taken.
  ~CompressAhead();
  CompressAhead(const CompressAhead&) = delete;
  CompressAhead& operator=(const CompressAhead&) = delete;

  // Whether another file may be offered. Every worker gets work; beyond that
  // the files ahead are bounded in number (memory) and in source bytes (the
  // destination space their hidden archives take early), but are many: a
  // large file must not leave the other workers idle until it is taken.
  bool hasRoom() const {
    return slots_.size() < minFiles_ || (slots_.size() < maxFiles_ && bytesAhead_ < kMaxBytesAhead);
  }
  std::size_t inFlight() const { return slots_.size(); }
  void setWaiting(PairProgress* waiting) { waiting_ = waiting; }
  // Hands the file of walk position index to a worker (job.deferCommit set).
  void offer(std::size_t index, CopyJob job);
  // The worker's result for index, waiting for it; null when index was not
  // offered. Results of earlier positions not taken are thrown away.
  std::unique_ptr<PreparedCompression> take(std::size_t index);
  // Whether the worker is done with index: all it read of the source lies before.
  bool finished(std::size_t index) const;
  // Source bytes the workers have compressed of the files after walk
  // position current (not yet taken); for the pair's progress.
  std::uint64_t doneAfter(std::size_t current) const;

 private:
  struct Slot {
    std::size_t index = 0;
    std::uint64_t size = 0;
    std::unique_ptr<PreparedCompression> result;
    std::future<void> done;
  };
  // Waits for slot's worker; rethrows what escaped the worker.
  void wait(Slot& slot);
  // The workers are woken for a few small files at once, not for each: a
  // worker that waits for every file costs two thread switches per file.
  void wakeFor(Slot& slot);
  static constexpr std::size_t kWakeEvery = 16;
  static constexpr std::uint64_t kWakeBytes = 1 << 20;
  std::size_t unwokenFiles_ = 0;
  std::uint64_t unwokenBytes_ = 0;
  // The same for the file the run thread needs next, telling waiting_ meanwhile.
  void waitReporting(Slot& slot);
  Slot pop();  // the first slot, off the list, its worker finished

  static constexpr std::uint64_t kMaxBytesAhead = 256ull << 20;

  // A worker looks at both before each job: after "Abbrechen" or while the
  // results are dropped, a queued job creates nothing.
  bool stopped() const {
    return dropping_.load(std::memory_order_relaxed) || (cancel_ && cancel_->load(std::memory_order_relaxed) != 0);
  }
  void compress(PreparedCompression& p, int worker);
  void compareOnWorker(PreparedCompression& p, ZipArchiveLayer& zip);
  static void commitOnWorker(CopyJob& job);
  // Bytes compressed so far: a worker adds them to p and to compressed_.
  void countCompressed(PreparedCompression& p, std::uint64_t total);

  const std::atomic<int>* cancel_;
  PairProgress* waiting_;
  std::atomic<std::uint64_t> compressed_{0};  // by all workers, over every file offered
  std::uint64_t taken_ = 0;                   // of that, for the files taken off the list
  std::atomic<bool> dropping_{false};
  bool compare_;
  std::size_t minFiles_;
  std::size_t maxFiles_;
  std::uint64_t bytesAhead_ = 0;
  std::vector<std::unique_ptr<ZipArchiveLayer>> zips_;  // one archive object per worker
  std::deque<Slot> slots_;
  WorkerPool pool_;  // last: its threads end before the archive objects go
};

}  // namespace kalvero
