#pragma once
// Hard links within one pair's plain backup: the first name of a source file
// with more than one name is copied, every later name becomes a second name
// of that copy (as "cp -a" and "rsync -aH" do). Only files with more than one
// name are remembered, so an ordinary tree costs nothing.
#include <cstdint>
#include <map>
#include <string>
#include <utility>

#include "backup/CopyJob.h"
#include "platform/FileSystem.h"

namespace kalvero {

class HardLinkCopies {
 public:
  // Whether source (its status) has other names that may share its copy.
  static bool HasOtherNames(const platform::FileStatus& source) { return source.links > 1; }
  // The copy made of source in this pair while it had its present size, time
  // and inode; null when there is none.
  const std::string* copyOf(const platform::FileStatus& source) const;
  // copy holds source in the state given; a later name of it links to copy.
  void remember(const platform::FileStatus& source, const std::string& copy);
  void clear() { copies_.clear(); }

 private:
  struct Copy {
    platform::FileStatus state;
    std::string path;
  };
  std::map<std::pair<std::uint64_t, std::uint64_t>, Copy> copies_;  // (device, inode)
};

// Gives job.destination the copy earlier as a second name: the new name
// waits in job.pending (hidden, beside it) until the caller commits it, as a
// copy does. True also when job.destination already is that copy. False when
// the destination cannot hold the link (then the file is copied instead).
bool LinkToCopy(const std::string& earlier, CopyJob& job);

}  // namespace kalvero
