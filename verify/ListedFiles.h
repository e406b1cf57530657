#pragma once
// A folder's checksum list read line by line (never the whole file at once)
// into what the check needs: each listed path with its digest, in the list's
// order, found by name while the folder is walked.
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/Sha256.h"

namespace kalvero {

struct ListedFile {
  platform::Sha256Digest digest{};
  bool seen = false;  // the walk found it
};

class ListedFiles {
 public:
  // Reads folder/<list name>. False with *err (errno) when it cannot be
  // opened or read; ENOENT when there is none.
  bool read(const std::string& listPath, int* err);

  // The list's modification time: a file changed after it may be one a
  // killed run replaced before it could list it again.
  std::int64_t listSeconds() const { return seconds_; }
  std::int64_t listNanoseconds() const { return nanoseconds_; }
  // Line numbers (1-based) that could not be read as sha256sum lines.
  const std::vector<int>& badLines() const { return badLines_; }

  // The entry of a path relative to the folder ("./" in front or not); null when not listed.
  ListedFile* find(const std::string& relative);
  // The listed paths in the list's order (each once).
  const std::vector<const std::string*>& order() const { return order_; }
  const ListedFile& at(const std::string* path) const { return files_.at(*path); }
  std::size_t size() const { return order_.size(); }

 private:
  void addLine(std::string_view text, int number);

  std::unordered_map<std::string, ListedFile> files_;
  std::vector<const std::string*> order_;  // keys of files_ (node-based: they stay put)
  std::vector<int> badLines_;
  std::int64_t seconds_ = 0, nanoseconds_ = 0;
};

// A path as the list and the walk name it: "./" in front dropped.
std::string_view ListRelativePath(std::string_view path);

}  // namespace kalvero
