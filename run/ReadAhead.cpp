#include "run/ReadAhead.h"

#include <cerrno>
#include <new>

#include "platform/OwnTemporary.h"

namespace kalvero::walk {

ReadAhead::ReadAhead(const WalkOptions& options, int workers) : o_(options), pool_(workers) {
  for (int i = 0; i < workers; ++i) pool_.submit([this](int) { work(); });
}

ReadAhead::~ReadAhead() {
  {
    std::lock_guard lock(mutex_);
    done_ = true;
  }
  wake_.notify_all();
}

std::vector<std::shared_ptr<Ahead>> ReadAhead::handOn(const Listing& listing, const std::string& prefix) {
  std::vector<std::shared_ptr<Ahead>> subdirs;
  if (!o_.withSubdirs) return subdirs;
  for (std::size_t i = 0; i < listing.entries.size(); ++i) {
    const platform::DirEntry& entry = listing.entries[i];
    if (kindOf(entry) != EntryKind::Directory || platform::isProgramTemporaryName(entry.name)) continue;
    std::string sub = prefix + entry.name;
    if (listed(o_.excludedTrees, sub)) continue;
    if (subdirs.empty()) subdirs.resize(listing.entries.size());
    auto a = std::make_shared<Ahead>();
    a->withMarkers = readsMarkers(o_, sub);
    a->copies = copySideOf(o_, sub, 1);
    a->dir = std::move(sub);
    subdirs[i] = std::move(a);
  }
  if (subdirs.empty()) return subdirs;
  {
    std::lock_guard lock(mutex_);
    for (auto it = subdirs.rbegin(); it != subdirs.rend(); ++it)
      if (*it) stack_.push_back(*it);
  }
  wake_.notify_all();
  return subdirs;
}

void ReadAhead::waitFor(Ahead& ahead) {
  while (!ahead.ready.load(std::memory_order_acquire)) {
    if (const std::shared_ptr<Ahead> other = claimNext()) {
      read(*other);
      continue;
    }
    ahead.ready.wait(false, std::memory_order_acquire);
  }
}

void ReadAhead::consumed() {
  bool wasFull = false;
  {
    std::lock_guard lock(mutex_);
    wasFull = readAhead_-- == kMaxAhead;
  }
  if (wasFull) wake_.notify_all();
}

void ReadAhead::read(Ahead& a) {
  try {
    readListing(a.dir, a.withMarkers, a.copies, a.listing);
    if (a.listing.opened) a.subdirs = handOn(a.listing, prefixOf(a.dir));
  } catch (const std::bad_alloc&) {
    // Said as the directory's error; the search never waits for a listing that cannot come.
    a.listing = Listing{};
    a.listing.error = ENOMEM;
    a.subdirs.clear();
  }
  a.ready.store(true, std::memory_order_release);
  a.ready.notify_all();
}

std::shared_ptr<Ahead> ReadAhead::claimNext() {
  std::lock_guard lock(mutex_);
  while (!stack_.empty() && readAhead_ < kMaxAhead) {
    std::shared_ptr<Ahead> a = std::move(stack_.back());
    stack_.pop_back();
    if (!a->claimed.exchange(true)) {
      ++readAhead_;
      return a;
    }
  }
  return nullptr;
}

void ReadAhead::work() {
  for (;;) {
    {
      std::unique_lock lock(mutex_);
      wake_.wait(lock, [this] { return done_ || (!stack_.empty() && readAhead_ < kMaxAhead); });
      if (done_) return;
    }
    if (const std::shared_ptr<Ahead> a = claimNext()) read(*a);
  }
}

}  // namespace kalvero::walk
