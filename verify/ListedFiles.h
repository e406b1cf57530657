#pragma once
// A folder's checksum list as the check needs it: each listed path with its
// digest, met in path order while the folder is walked in the same order.
// The list is read as a stream, never held whole: a first pass finds its bad
// lines and whether its paths come in byte order (as the program writes
// them); only a list in another order is read into memory and sorted.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/Files.h"
#include "platform/Sha256.h"

namespace kalvero {

class ListedFiles {
 public:
  ListedFiles();
  ~ListedFiles();
  ListedFiles(const ListedFiles&) = delete;
  ListedFiles& operator=(const ListedFiles&) = delete;

  // Reads listPath once through and makes it ready for match(). False with
  // *err (errno) when it cannot be opened or read; ENOENT when there is none.
  bool read(const std::string& listPath, int* err);

  // The list's modification time: a file changed after it may be one a
  // killed run replaced before it could list it again.
  std::int64_t listSeconds() const { return seconds_; }
  std::int64_t listNanoseconds() const { return nanoseconds_; }
  // Line numbers (1-based) that could not be read as sha256sum lines.
  const std::vector<int>& badLines() const { return badLines_; }

  // The digest listed for a path relative to the folder; the paths must be
  // asked in ascending byte order. Listed paths passed over were not found.
  std::optional<platform::Sha256Digest> match(std::string_view relative);
  // The listed paths never matched, in the list's order (each once); the
  // rest of the list counts as not matched.
  std::vector<std::string> unmatched();
  // A read of the list failed after its first pass (errno), else 0.
  int readError() const { return readError_; }

 private:
  struct Entry {
    std::string path;
    platform::Sha256Digest digest{};
    std::uint32_t line = 0;  // the order of the list
  };
  class Lines;
  bool scan(const std::string& listPath, int* err);
  bool loadSorted(const std::string& listPath, int* err);
  bool advance();
  bool nextListed(Entry& entry);

  std::int64_t seconds_ = 0, nanoseconds_ = 0;
  std::vector<int> badLines_;
  bool inOrder_ = true;
  // In order: the list read again as a stream; otherwise its entries sorted.
  std::unique_ptr<Lines> stream_;
  std::vector<Entry> sorted_;
  std::size_t sortedNext_ = 0;
  Entry current_;
  bool hasCurrent_ = false;
  std::uint32_t lineNumber_ = 0;
  std::vector<std::pair<std::uint32_t, std::string>> unmatched_;
  int readError_ = 0;
};

// A path as the list and the walk name it: "./" in front dropped.
std::string_view ListRelativePath(std::string_view path);

}  // namespace kalvero
