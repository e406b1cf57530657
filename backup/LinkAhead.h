#pragma once
// The hard links of a new complete state made ahead of the run, a directory
// at a time: a worker links the files of one directory while the walk still
// reads the next ones and the run thread links another's, so linking a large
// unchanged tree uses every core. The run
// takes the results in the walk's order and records them itself, as in a run
// on one thread; a directory no worker has begun is linked by the run thread.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <future>
#include <memory>
#include <string>
#include <vector>

#include "platform/FileSystem.h"
#include "run/WorkerPool.h"

namespace kalvero {

class LinkAhead {
 public:
  // base: the state linked to; today: the pair's folder in this run's state
  // (both with "/"). threads: the run's, 1 for none. withStatus: each link's
  // status is read after it is made (else only its inode is known).
  LinkAhead(int threads, std::string base, std::string today, bool withStatus);
  // Waits for the groups at work; the names linked but not taken are removed
  // again (a cancelled run records nothing it did not report).
  ~LinkAhead();
  LinkAhead(const LinkAhead&) = delete;
  LinkAhead& operator=(const LinkAhead&) = delete;

  bool hasRoom() const { return offered_ < kMaxAhead; }
  // Walk position index, its name below both folders (its directory's
  // parents already made in today's folder) and the inode of the base
  // state's copy. Offered in the walk's order.
  void offer(std::size_t index, std::string relative, std::uint64_t inode);
  // Hands the group being gathered to the workers (also done when its
  // directory ends, when it is full and when take reaches it).
  void flush();

  struct Result {
    bool linked = false;
    int err = 0;
    // The file's device and inode when linked; with withStatus also its size and time.
    std::uint64_t device = 0, inode = 0, size = 0;
    platform::FileTime lastWrite = 0;
  };
  // The link of walk position index, waiting for it; false when index was
  // not offered (taken in order: earlier positions not taken are dropped).
  bool take(std::size_t index, Result& out);

 private:
  // Offered, not yet taken: offered while the walk goes on, so that most
  // links are made before its end (about 90 bytes each, 12 MB at most).
  static constexpr std::size_t kMaxAhead = 1 << 17;
  static constexpr std::size_t kMaxGroup = 128;   // files linked by one task
  struct Item {
    std::size_t index = 0;
    std::string name;
    bool taken = false;
    Result result;
  };
  struct Group {
    std::string dir;  // below both folders, with "/" (empty: the folders themselves)
    std::vector<Item> items;
    std::atomic<bool> claimed{false};
  };
  struct Pending {
    std::shared_ptr<Group> group;
    std::future<void> done;
    std::size_t next = 0;  // the first item not yet taken
  };
  void link(Group& group) const;
  void settle(Pending& p);
  void dropFront();

  const std::string base_, today_;
  const bool withStatus_;
  // Both folders, opened by the first offer (today's exists by then) for the
  // groups' directories to be opened below them.
  int baseFd_ = -1, todayFd_ = -1;
  int rootsErr_ = 0;
  std::uint64_t baseDevice_ = 0;
  std::shared_ptr<Group> gathering_;
  std::deque<Pending> pending_;
  std::size_t offered_ = 0;
  std::unique_ptr<WorkerPool> pool_;  // last: its threads end before the rest goes
};

}  // namespace kalvero
