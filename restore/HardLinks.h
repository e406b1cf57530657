#pragma once
// Hard links of a plain backup come back as hard links: the first name of a
// backup file with more than one is copied, each later name becomes a second
// name of that copy. Only such files are remembered, for one restore.
#include <cstdint>
#include <map>
#include <string>
#include <utility>

namespace kalvero {

class RestoredHardLinks {
 public:
  // Copies source to destination as platform::copyFile does, or, for a later
  // name of a file restored in this run, makes destination a second name of
  // that copy (atomically, as a copy replaces). False with *err on failure.
  bool copyOrLink(const std::string& source, const std::string& destination, int* err);

 private:
  // (device, inode) of the backup file -> the name restored first.
  std::map<std::pair<std::uint64_t, std::uint64_t>, std::string> restored_;
};

}  // namespace kalvero
