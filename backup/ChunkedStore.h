#pragma once
// Storage for a record and a name per file at a million files: fixed blocks
// instead of one growing array, so growing never holds everything twice and
// no block is more than one block's worth larger than what it holds.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace kalvero {

// An array that only grows at its end, in blocks of about 64 KiB whatever
// the element: a block one array gave back fits the next block of another
// (a first run's found entries make room for its check-file keys).
template <typename T>
class ChunkedArray {
 public:
  T& push_back(const T& value) {
    if (size_ % BLOCK == 0) blocks_.push_back(std::make_unique<T[]>(BLOCK));
    T& slot = blocks_.back()[size_ % BLOCK];
    slot = value;
    ++size_;
    return slot;
  }
  T& operator[](std::size_t i) { return blocks_[i / BLOCK][i % BLOCK]; }
  const T& operator[](std::size_t i) const { return blocks_[i / BLOCK][i % BLOCK]; }
  T& back() { return (*this)[size_ - 1]; }
  const T& back() const { return (*this)[size_ - 1]; }
  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  void clear() {
    std::vector<std::unique_ptr<T[]>>().swap(blocks_);
    size_ = 0;
    released_ = 0;
  }
  // Gives back the blocks that hold only elements before index; those are
  // never read again.
  void releaseBefore(std::size_t index) {
    for (; released_ < index / BLOCK && released_ < blocks_.size(); ++released_) blocks_[released_].reset();
  }

 private:
  static constexpr std::size_t BLOCK = std::max<std::size_t>(1, 65536 / sizeof(T));
  std::vector<std::unique_ptr<T[]>> blocks_;
  std::size_t size_ = 0;
  std::size_t released_ = 0;  // blocks given back, from the first
};

// Texts side by side in blocks of 1 MiB (a longer text gets a block of its
// own); a text never spans two blocks. A place is (block << 32) | offset.
class TextBlocks {
 public:
  // Where a text of size bytes will go: a new block when it does not fit.
  std::uint64_t reserve(std::size_t size) {
    if (blocks_.empty() || blocks_.back().capacity() - blocks_.back().size() < size) {
      blocks_.emplace_back().reserve(std::max(size, BLOCK));
    }
    return (static_cast<std::uint64_t>(blocks_.size() - 1) << 32) | blocks_.back().size();
  }
  // Where a text of size bytes will go in a new block of its own start.
  std::uint64_t reserveNew(std::size_t size) {
    blocks_.emplace_back().reserve(std::max(size, BLOCK));
    return static_cast<std::uint64_t>(blocks_.size() - 1) << 32;
  }
  // Appends text to the last block; call reserve first.
  void appendLast(std::string_view text) { blocks_.back().append(text); }
  std::uint64_t add(std::string_view text) {
    const std::uint64_t at = reserve(text.size());
    appendLast(text);
    return at;
  }
  std::string_view view(std::uint64_t at, std::size_t size) const {
    return std::string_view(blocks_[at >> 32]).substr(at & 0xFFFFFFFFu, size);
  }
  // The bytes used in the block of at, from at to the block's end.
  std::size_t restOfBlock(std::uint64_t at) const { return blocks_[at >> 32].size() - (at & 0xFFFFFFFFu); }
  void clear() {
    std::vector<std::string>().swap(blocks_);
    released_ = 0;
  }
  // Gives back the blocks before the one of at; their texts are never read again.
  void releaseBefore(std::uint64_t at) {
    for (; released_ < (at >> 32) && released_ < blocks_.size(); ++released_) std::string().swap(blocks_[released_]);
  }

 private:
  static constexpr std::size_t BLOCK = std::size_t{1} << 20;
  std::vector<std::string> blocks_;
  std::size_t released_ = 0;  // blocks given back, from the first
};

}  // namespace kalvero
