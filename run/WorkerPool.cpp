#include "run/WorkerPool.h"

#include <cstdlib>

namespace kalvero {

int RunThreadCount() {
  int n = static_cast<int>(std::thread::hardware_concurrency());
  if (n < 1) n = 1;
  if (const char* text = std::getenv("KALVERO_THREADS"); text && *text) {
    char* end = nullptr;
    const long wanted = std::strtol(text, &end, 10);
    // A bad value changes nothing; more than cores is allowed (tests run four on two).
    if (end && *end == '\0' && wanted >= 1 && wanted <= 64) n = static_cast<int>(wanted);
  }
  return n;
}

WorkerPool::WorkerPool(int threads) {
  if (threads < 1) threads = 1;
  threads_.reserve(static_cast<std::size_t>(threads));
  for (int i = 0; i < threads; ++i) threads_.emplace_back([this, i] { work(i); });
}

WorkerPool::~WorkerPool() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  for (std::thread& t : threads_) t.join();
}

std::future<void> WorkerPool::submit(Task task, bool wake) {
  std::packaged_task<void(int)> job(std::move(task));
  std::future<void> done = job.get_future();
  {
    std::lock_guard<std::mutex> lock(mutex_);
    queue_.push_back(std::move(job));
  }
  if (wake) wake_.notify_one();
  return done;
}

void WorkerPool::wake() { wake_.notify_all(); }

void WorkerPool::work(int worker) {
  for (;;) {
    std::packaged_task<void(int)> job;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
      if (queue_.empty()) return;  // stopping, and everything queued has run
      job = std::move(queue_.front());
      queue_.pop_front();
    }
    job(worker);
  }
}

}  // namespace kalvero
