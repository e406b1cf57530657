#pragma once
// The walk's read-ahead: the listings of the directories the walk enters
// next, read on worker threads in the walk's own order.
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "run/WalkListing.h"
#include "run/WorkerPool.h"

namespace kalvero::walk {

// A subdirectory the search will enter. Whoever claims it first reads it: a
// worker ahead of the search, or the search itself rather than wait.
struct Ahead {
  std::string dir;
  CopySide copies;
  bool withMarkers = false;
  std::atomic<bool> claimed{false};
  std::atomic<bool> ready{false};  // listing and subdirs are there
  Listing listing;
  std::vector<std::shared_ptr<Ahead>> subdirs;  // as ReadAhead::handOn gives them
};

// Reads the listings of the directories the search enters next on the
// workers, in the search's own order (depth first: a listing read hands its
// subdirectories on at once, the first on top), at most kMaxAhead ahead.
class ReadAhead {
 public:
  // Directories read ahead and not yet searched; bounds the memory the
  // listings take while the search is behind.
  static constexpr int kMaxAhead = 64;

  ReadAhead(const WalkOptions& options, int workers);
  ~ReadAhead();
  ReadAhead(const ReadAhead&) = delete;
  ReadAhead& operator=(const ReadAhead&) = delete;

  // One record per entry of a listing, for the subdirectories the search
  // will enter (else null; none at all: empty), handed to the workers.
  std::vector<std::shared_ptr<Ahead>> handOn(const Listing& listing, const std::string& prefix);
  // Until the listing the search needs is read, the search reads the next
  // one no worker has begun, instead of waiting.
  void waitFor(Ahead& ahead);
  // The search has entered a directory read ahead.
  void consumed();

 private:
  void read(Ahead& a);
  // The next directory to read, claimed and counted; null when there is none
  // or the search is kMaxAhead listings behind.
  std::shared_ptr<Ahead> claimNext();
  void work();

  const WalkOptions& o_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::vector<std::shared_ptr<Ahead>> stack_;  // to be read; the back first
  int readAhead_ = 0;                          // read (or being read) ahead and not yet entered
  bool done_ = false;
  WorkerPool pool_;  // last: its threads end before the rest goes
};

}  // namespace kalvero::walk
