#pragma once
// One run per destination: two runs writing into one tree at the same time
// (the window and the timer, a backup and a restore into it) would replace
// each other's copies and remove each other's temporaries. A run holds an
// exclusive lock on each destination root it writes into and a shared one on
// every directory above it, so runs into one tree or into trees inside one
// another exclude each other, while runs into neighbouring trees do not.
// The locks are files of the user's runtime directory (never inside a
// backup), removed by their last holder; the kernel releases them when the
// process ends, however it ends.
#include <string>
#include <vector>

namespace kalvero::platform {

class RunLock {
 public:
  enum class Result {
    Held,         // this run now holds the destination (or already did)
    Busy,         // another run holds it or a tree above or inside it
    Unavailable,  // no private runtime directory: nothing is held
  };

  RunLock() = default;
  ~RunLock();
  RunLock(const RunLock&) = delete;
  RunLock& operator=(const RunLock&) = delete;

  // Adds a destination root (it need not exist yet). Busy holds nothing new.
  Result add(const std::string& root);
  // Lets every lock go.
  void release();

  // The root as the lock knows it: the real path of its nearest existing
  // directory and the rest of the name, lexically normalised.
  static std::string resolvedRoot(const std::string& root);

 private:
  struct Held {
    std::string path;
    std::string file;  // the lock file in the runtime directory
    int fd = -1;
    bool exclusive = false;
  };
  Result take(const std::string& dir, const std::string& path, bool exclusive);
  static void letGo(const Held& h);
  std::vector<Held> held_;
};

}  // namespace kalvero::platform
