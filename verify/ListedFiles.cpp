#include "verify/ListedFiles.h"

#include <sys/stat.h>

#include <cerrno>
#include <memory>

#include "platform/Files.h"
#include "platform/SysCall.h"
#include "run/ChecksumList.h"

namespace kalvero {

std::string_view ListRelativePath(std::string_view path) {
  while (path.size() > 2 && path[0] == '.' && path[1] == '/') path.remove_prefix(2);
  return path;
}

void ListedFiles::addLine(std::string_view text, int number) {
  if (text.empty() || text == "\r") return;
  ChecksumLine line;
  if (!ParseChecksumLine(text, &line)) {
    badLines_.push_back(number);
    return;
  }
  std::string path(ListRelativePath(line.path));
  auto [it, added] = files_.try_emplace(std::move(path));
  if (!added) return;  // a name listed twice: its first line counts
  it->second.digest = line.digest;
  order_.push_back(&it->first);
}

bool ListedFiles::read(const std::string& listPath, int* err) {
  platform::InputFile file;
  if (!file.open(listPath, err)) return false;
  struct stat st {};
  if (platform::sys::fstat(file.descriptor(), &st, listPath.c_str()) != 0) {
    if (err) *err = errno;
    return false;
  }
  seconds_ = st.st_mtim.tv_sec;
  nanoseconds_ = st.st_mtim.tv_nsec;
  constexpr std::size_t kChunk = 256 * 1024;
  const auto buffer = std::make_unique_for_overwrite<char[]>(kChunk);
  std::string pending;  // the part of a line the last chunk ended in
  int number = 0;
  for (;;) {
    const long long n = file.tryRead(buffer.get(), kChunk, err);
    if (n < 0) return false;
    if (n == 0) break;
    std::string_view chunk(buffer.get(), static_cast<std::size_t>(n));
    for (std::size_t nl; (nl = chunk.find('\n')) != std::string_view::npos; chunk.remove_prefix(nl + 1)) {
      if (pending.empty()) {
        addLine(chunk.substr(0, nl), ++number);
      } else {
        pending.append(chunk.substr(0, nl));
        addLine(pending, ++number);
        pending.clear();
      }
    }
    pending.append(chunk);
  }
  if (!pending.empty()) addLine(pending, ++number);
  return true;
}

ListedFile* ListedFiles::find(const std::string& relative) {
  const auto it = files_.find(relative);
  return it == files_.end() ? nullptr : &it->second;
}

}  // namespace kalvero
