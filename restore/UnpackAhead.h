#pragma once
// Unpacking of the archives ahead of the restore on the worker threads: an
// archive of our own with a single file is unpacked into a hidden directory of
// the run below the destination; the run takes the results in the walk's
// order, puts each in place by a rename and does everything the user sees itself.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "restore/RestoreJob.h"
#include "restore/RestorePlan.h"
#include "run/WorkerPool.h"

namespace kalvero {

class UnpackAhead {
 public:
  UnpackAhead(int threads, const std::atomic<int>* cancel, std::string destinationRoot, bool ownArchivesOnly);
  ~UnpackAhead();  // waits for the workers; what was not taken is removed
  UnpackAhead(const UnpackAhead&) = delete;
  UnpackAhead& operator=(const UnpackAhead&) = delete;

  // SummarizeArchives, the archives read by the workers.
  std::vector<ArchiveSummary> summarize(const std::vector<FoundFile>& found);
  std::size_t window() const { return window_; }
  std::size_t inFlight() const { return slots_.size(); }
  // Hands the archive of plan position index to a worker (relative: its path below the restore source).
  void offer(std::size_t index, const std::string& archive, const std::string& relative);
  // The worker's result for index, waiting for it; null when index was not
  // offered or the worker left it to the run. Earlier results not taken are
  // thrown away. While it waits, shown (when set) hears of the archive as the
  // current file and of the bytes unpacked so far.
  std::unique_ptr<PreparedUnpack> take(std::size_t index, const RestoreContext* shown = nullptr);

 private:
  // How far a worker is with one archive, read by the run thread while it waits.
  struct Unpacking {
    std::atomic<std::uint64_t> size{0};  // the entry's, once the worker has read it
    std::atomic<std::uint64_t> done{0};
    std::atomic<bool> waitedFor{false};  // the run needs it now: a cancel no longer stops it
  };
  struct Slot {
    std::size_t index = 0;
    std::string archive;
    std::unique_ptr<PreparedUnpack> result;
    std::unique_ptr<Unpacking> unpacking;
    std::future<void> done;
  };
  void unpack(int worker, std::size_t index, const std::string& archive, const std::string& relative,
              PreparedUnpack& out, Unpacking& unpacking);
  void waitShowing(Slot& slot, const RestoreContext& shown);
  // The hidden directory below the destination root, made at the first use;
  // "" when it could not be made.
  const std::string& stagingDirectory();

  const std::atomic<int>* cancel_;
  std::string destinationRoot_;
  bool ownArchivesOnly_;
  std::size_t window_;
  std::vector<std::unique_ptr<ZipArchiveLayer>> zips_;  // one archive object per worker
  std::deque<Slot> slots_;
  std::once_flag stagingOnce_;
  std::string staging_;  // with trailing "/"; one subdirectory per worker
  WorkerPool pool_;  // last: its threads end before the archive objects go
};

}  // namespace kalvero
