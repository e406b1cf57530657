#include "verify/ListedFiles.h"

#include <algorithm>
#include <cstring>

#include "run/ChecksumList.h"

namespace kalvero {

std::string_view ListRelativePath(std::string_view path) {
  while (path.size() > 2 && path[0] == '.' && path[1] == '/') path.remove_prefix(2);
  return path;
}

// The list's lines, each without its "\n", read in blocks; a last line
// without "\n" counts when it is not empty.
class ListedFiles::Lines {
 public:
  bool open(const std::string& path, int* err) { return file_.open(path, err); }
  std::optional<platform::FileStatus> status(int* err) { return file_.status(err); }
  // 1 with a line, 0 at the end, -1 with *err when the list cannot be read on.
  int next(std::string_view& line, int* err) {
    for (;;) {
      const char* from = buffer_.data() + start_;
      if (const void* nl = std::memchr(from, '\n', end_ - start_)) {
        const std::size_t size = static_cast<std::size_t>(static_cast<const char*>(nl) - from);
        line = std::string_view(from, size);
        start_ += size + 1;
        return 1;
      }
      if (atEnd_) {
        if (start_ == end_) return 0;
        line = std::string_view(from, end_ - start_);
        start_ = end_;
        return 1;
      }
      if (!fill(err)) return -1;
    }
  }

 private:
  // The unended line moved to the front, then read on behind it.
  bool fill(int* err) {
    std::memmove(buffer_.data(), buffer_.data() + start_, end_ - start_);
    end_ -= start_;
    start_ = 0;
    if (end_ == buffer_.size()) buffer_.resize(buffer_.size() * 2);  // a line longer than the buffer
    const long long n = file_.tryRead(buffer_.data() + end_, buffer_.size() - end_, err);
    if (n < 0) return false;
    atEnd_ = n == 0;
    end_ += static_cast<std::size_t>(n);
    return true;
  }

  platform::InputFile file_;
  std::vector<char> buffer_ = std::vector<char>(256 * 1024);
  std::size_t start_ = 0, end_ = 0;
  bool atEnd_ = false;
};

ListedFiles::ListedFiles() = default;
ListedFiles::~ListedFiles() = default;

namespace {

// A line worth reading: not empty, not a lone carriage return.
bool IsContent(std::string_view text) { return !text.empty() && text != "\r"; }

}  // namespace

// The first pass: the list's time, its bad lines, and whether its paths
// come in byte order.
bool ListedFiles::scan(const std::string& listPath, int* err) {
  Lines lines;
  if (!lines.open(listPath, err)) return false;
  const std::optional<platform::FileStatus> status = lines.status(err);
  if (!status) return false;
  seconds_ = status->mtimeSeconds;
  nanoseconds_ = status->mtimeNanoseconds;
  std::string previous;
  ChecksumLine parsed;
  std::string_view text;
  int number = 0;
  for (int got; (got = lines.next(text, err)) != 0;) {
    if (got < 0) return false;
    ++number;
    if (!IsContent(text)) continue;
    if (!ParseChecksumLine(text, &parsed)) {
      badLines_.push_back(number);
      continue;
    }
    const std::string_view path = ListRelativePath(parsed.path);
    if (inOrder_ && path < std::string_view(previous)) inOrder_ = false;
    if (inOrder_) previous.assign(path);
  }
  return true;
}

// A list in another order: its entries held and sorted by path, the first
// line of a path before its repetitions.
bool ListedFiles::loadSorted(const std::string& listPath, int* err) {
  stream_ = std::make_unique<Lines>();
  if (!stream_->open(listPath, err)) return false;
  Entry entry;
  while (nextListed(entry)) sorted_.push_back(std::move(entry));
  stream_.reset();
  if (readError_ != 0) {
    if (err) *err = readError_;
    return false;
  }
  std::stable_sort(sorted_.begin(), sorted_.end(), [](const Entry& a, const Entry& b) { return a.path < b.path; });
  return true;
}

bool ListedFiles::read(const std::string& listPath, int* err) {
  if (!scan(listPath, err)) return false;
  if (!inOrder_) {
    if (!loadSorted(listPath, err)) return false;
  } else {
    stream_ = std::make_unique<Lines>();
    if (!stream_->open(listPath, err)) return false;
  }
  advance();
  return true;
}

// The next good line of the stream, or the next sorted entry.
bool ListedFiles::nextListed(Entry& entry) {
  if (!stream_) {
    if (sortedNext_ == sorted_.size()) return false;
    entry = std::move(sorted_[sortedNext_++]);
    return true;
  }
  ChecksumLine parsed;
  std::string_view text;
  for (int got; (got = stream_->next(text, &readError_)) != 0;) {
    if (got < 0) return false;
    ++lineNumber_;
    if (!IsContent(text) || !ParseChecksumLine(text, &parsed)) continue;
    entry.path.assign(ListRelativePath(parsed.path));
    entry.digest = parsed.digest;
    entry.line = lineNumber_;
    return true;
  }
  return false;
}

bool ListedFiles::advance() {
  Entry next;
  while (nextListed(next)) {
    if (hasCurrent_ && next.path == current_.path) continue;  // a name listed twice: its first line counts
    current_ = std::move(next);
    return hasCurrent_ = true;
  }
  return hasCurrent_ = false;
}

std::optional<platform::Sha256Digest> ListedFiles::match(std::string_view relative) {
  while (hasCurrent_ && std::string_view(current_.path) < relative) {
    unmatched_.emplace_back(current_.line, current_.path);
    advance();
  }
  if (!hasCurrent_ || current_.path != relative) return std::nullopt;
  const platform::Sha256Digest digest = current_.digest;
  advance();
  return digest;
}

std::vector<std::string> ListedFiles::unmatched() {
  while (hasCurrent_) {
    unmatched_.emplace_back(current_.line, current_.path);
    advance();
  }
  std::sort(unmatched_.begin(), unmatched_.end(),
            [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<std::string> paths;
  paths.reserve(unmatched_.size());
  for (auto& [line, path] : unmatched_) paths.push_back(std::move(path));
  unmatched_.clear();
  return paths;
}

}  // namespace kalvero
