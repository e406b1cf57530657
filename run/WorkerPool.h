#pragma once
// A fixed set of threads for the per-file work of a run that only touches the
// file's own temporary (compressing, unpacking). The run thread hands out the
// work for the files ahead of it and takes the results in the walk's order,
// so everything the user sees happens as in a run on one thread.
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <future>
#include <mutex>
#include <thread>
#include <vector>

namespace kalvero {

// Threads for the per-file work: one per core unless the environment's
// KALVERO_THREADS (1 to 64) says otherwise. 1 means no worker: the run does
// everything itself.
int RunThreadCount();

class WorkerPool {
 public:
  // A task gets the number (0 .. threads-1) of the worker running it, so that
  // each worker can keep objects of its own (an archive object).
  using Task = std::function<void(int worker)>;

  explicit WorkerPool(int threads);
  ~WorkerPool();  // waits for the tasks already queued
  WorkerPool(const WorkerPool&) = delete;
  WorkerPool& operator=(const WorkerPool&) = delete;

  int threads() const { return static_cast<int>(threads_.size()); }
  // Queues task; the future is ready when it has run. Without wake a
  // sleeping worker is not woken for it (wake() does, as does a later submit).
  std::future<void> submit(Task task, bool wake = true);
  void wake();

 private:
  void work(int worker);

  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::packaged_task<void(int)>> queue_;
  bool stopping_ = false;
  std::vector<std::thread> threads_;
};

}  // namespace kalvero
