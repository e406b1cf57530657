#include "backup/LinkAhead.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/LevelOpen.h"

namespace kalvero {

LinkAhead::LinkAhead(int threads, std::string base, std::string today, bool withStatus)
    : base_(std::move(base)), today_(std::move(today)), withStatus_(withStatus) {
  if (threads > 1) pool_ = std::make_unique<WorkerPool>(threads - 1);
}

LinkAhead::~LinkAhead() {
  flush();
  while (!pending_.empty()) dropFront();
  pool_.reset();
  if (baseFd_ >= 0) ::close(baseFd_);
  if (todayFd_ >= 0) ::close(todayFd_);
}

void LinkAhead::offer(std::size_t index, std::string relative, std::uint64_t inode) {
  if (baseFd_ < 0 && todayFd_ < 0 && rootsErr_ == 0) {
    baseFd_ = platform::openDirectoryBelow(base_, base_, &rootsErr_);
    todayFd_ = platform::openDirectoryBelow(today_, today_, &rootsErr_);
    if (rootsErr_ == 0 && (baseFd_ < 0 || todayFd_ < 0)) rootsErr_ = ENOENT;
    struct stat st;
    if (rootsErr_ == 0 && ::fstat(baseFd_, &st) == 0) baseDevice_ = st.st_dev;
  }
  const std::size_t slash = relative.rfind('/');
  const std::size_t nameAt = slash == std::string::npos ? 0 : slash + 1;
  if (gathering_ && (gathering_->items.size() >= kMaxGroup ||
                     gathering_->dir.compare(0, std::string::npos, relative, 0, nameAt) != 0))
    flush();
  if (!gathering_) {
    gathering_ = std::make_shared<Group>();
    gathering_->dir = relative.substr(0, nameAt);
  }
  Item item;
  item.index = index;
  item.name = relative.substr(nameAt);
  item.result.device = baseDevice_;
  item.result.inode = inode;
  gathering_->items.push_back(std::move(item));
  ++offered_;
}

void LinkAhead::flush() {
  if (!gathering_) return;
  Pending p;
  p.group = std::move(gathering_);
  if (pool_) {
    const std::shared_ptr<Group> g = p.group;
    p.done = pool_->submit([this, g](int) {
      if (!g->claimed.exchange(true)) link(*g);
    });
  }
  pending_.push_back(std::move(p));
}

// Both directories are opened below their folders, never through a link: a
// name can only be made where the run's own state is.
void LinkAhead::link(Group& group) const {
  int err = rootsErr_;
  const int from = err ? -1 : platform::openDirectoryBeneath(baseFd_, group.dir, base_ + group.dir, &err);
  const int to = from < 0 ? -1 : platform::openDirectoryBeneath(todayFd_, group.dir, today_ + group.dir, &err);
  platform::FileStatus status;
  for (Item& item : group.items) {
    Result& r = item.result;
    if (to < 0) {
      r.err = err;
      continue;
    }
    r.linked = platform::linkAt(from, item.name.c_str(), to, item.name.c_str(), today_ + group.dir + item.name,
                                withStatus_ ? &status : nullptr, &r.err);
    if (r.linked && withStatus_) {
      r.device = status.device;
      r.inode = status.inode;
      r.size = status.size;
      r.lastWrite = status.lastWrite;
    }
  }
  if (from >= 0) ::close(from);
  if (to >= 0) ::close(to);
}

void LinkAhead::settle(Pending& p) {
  if (!p.group->claimed.exchange(true))
    link(*p.group);
  else if (p.done.valid())
    p.done.wait();
}

// The front group goes; what it linked and nobody took is removed again.
void LinkAhead::dropFront() {
  Pending& p = pending_.front();
  if (p.group->claimed.exchange(true) && p.done.valid()) p.done.wait();  // else nobody links it now
  bool anyLeft = false;
  for (const Item& item : p.group->items) anyLeft = anyLeft || (item.result.linked && !item.taken);
  if (anyLeft) {
    const int to = todayFd_ < 0 ? -1 : platform::openDirectoryBeneath(todayFd_, p.group->dir, today_ + p.group->dir);
    for (const Item& item : p.group->items)
      if (to >= 0 && item.result.linked && !item.taken) ::unlinkat(to, item.name.c_str(), 0);
    if (to >= 0) ::close(to);
  }
  offered_ -= p.group->items.size() - p.next;
  pending_.pop_front();
}

bool LinkAhead::take(std::size_t index, Result& out) {
  if (gathering_ && !gathering_->items.empty() && gathering_->items.front().index <= index) flush();
  while (!pending_.empty()) {
    Pending& p = pending_.front();
    while (p.next < p.group->items.size() && p.group->items[p.next].index < index) {
      ++p.next;
      --offered_;
    }
    if (p.next == p.group->items.size()) {
      dropFront();
      continue;
    }
    Item& item = p.group->items[p.next];
    if (item.index != index) return false;
    settle(p);
    item.taken = true;
    out = item.result;
    ++p.next;
    --offered_;
    if (p.next == p.group->items.size()) dropFront();
    return true;
  }
  return false;
}

}  // namespace kalvero
