#include "run/Walk.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <new>

#include "run/Filters.h"
#include "run/WorkerPool.h"
#include "platform/DirectoryReader.h"
#include "platform/OwnTemporary.h"
#include "platform/FileSystem.h"
#include "platform/PathUtil.h"
#include "platform/TreeCopy.h"

namespace kalvero {

namespace {

// Directories read ahead and not yet searched; bounds the memory the
// listings take while the search is behind.
constexpr int kMaxAhead = 64;

bool listed(const std::vector<std::string>* list, const std::string& dir) {
  return list && std::find(list->begin(), list->end(), dir) != list->end();
}

EntryKind kindOf(const platform::DirEntry& entry) {
  if (entry.status.isSymlink) return EntryKind::Symlink;
  switch (entry.kind) {
    case platform::EntryKind::File: return EntryKind::File;
    case platform::EntryKind::Directory: return EntryKind::Directory;
    default: return EntryKind::Special;
  }
}

// One directory as a search reads it: its entries with their status, and
// (read ahead only) for each regular file whether its archive marker says changed.
struct Listing {
  bool opened = false;
  int error = 0;  // of the open, or of the read that ended the search early
  std::vector<platform::DirEntry> entries;
  std::vector<unsigned char> marked;
  // With a copy side: the destination directory's entries sorted by name
  // (none when it is missing or unreadable: then every copy is missing), and
  // with a suffix the source entries' indexes sorted by name.
  bool copiesRead = false;
  bool xattrsToCarry = true;  // of the directory itself, read with its copies
  std::vector<platform::DirEntry> copies;
  std::vector<std::uint32_t> byName;
};

// Where the copies of a directory are looked up, and the suffix looked up too.
struct CopySide {
  std::string dir;  // empty: none
  const std::string* suffix = nullptr;
};

bool nameLess(const platform::DirEntry& e, std::string_view name) { return e.name < name; }

const platform::DirEntry* findCopy(const Listing& l, std::string_view name) {
  const auto it = std::lower_bound(l.copies.begin(), l.copies.end(), name, nameLess);
  return it != l.copies.end() && it->name == name ? &*it : nullptr;
}

bool sourceHas(const Listing& l, std::string_view name) {
  const auto it = std::lower_bound(l.byName.begin(), l.byName.end(), name,
                                   [&](std::uint32_t i, std::string_view n) { return l.entries[i].name < n; });
  return it != l.byName.end() && l.entries[*it].name == name;
}

// The destination directory of a listing: only names and their lstat; what
// cannot be read counts as holding nothing (the copies are made again).
void readCopies(const CopySide& side, Listing& out) {
  out.copiesRead = true;
  platform::DirectoryReader reader(side.dir);
  platform::DirEntry entry;
  while (reader.isOpen() && reader.next(entry)) out.copies.push_back(std::move(entry));
  if (reader.error()) out.copies.clear();
  std::sort(out.copies.begin(), out.copies.end(),
            [](const platform::DirEntry& a, const platform::DirEntry& b) { return a.name < b.name; });
  if (!side.suffix || side.suffix->empty()) return;
  out.byName.resize(out.entries.size());
  for (std::uint32_t i = 0; i < out.byName.size(); ++i) out.byName[i] = i;
  std::sort(out.byName.begin(), out.byName.end(),
            [&](std::uint32_t a, std::uint32_t b) { return out.entries[a].name < out.entries[b].name; });
}

// Entry paths start from the directory without trailing "/" ("/" for the root).
std::string prefixOf(const std::string& dir) {
  return WithTrailingSlash(WithoutTrailingSlash(dir));
}

void readListing(const std::string& dir, bool withMarkers, const CopySide& copies, Listing& out) {
  {
    platform::DirectoryReader reader(dir);
    out.opened = reader.isOpen();
    if (out.opened) {
      platform::DirEntry entry;
      while (reader.next(entry)) out.entries.push_back(std::move(entry));
    }
    out.error = reader.error();
  }
  if (out.opened && !copies.dir.empty()) {
    readCopies(copies, out);
    out.xattrsToCarry = platform::directoryXattrsToCarry(dir);
  }
  if (!withMarkers) return;
  // The status calls and marker reads are what a no-change run waits for:
  // done here, they run beside the search on another core.
  const std::string prefix = prefixOf(dir);
  out.marked.resize(out.entries.size());
  for (std::size_t i = 0; i < out.entries.size(); ++i)
    if (kindOf(out.entries[i]) == EntryKind::File)
      out.marked[i] = platform::archiveBitSet(prefix + out.entries[i].name, out.entries[i].status) ? 1 : 0;
}

// The destination directory of a searched directory (none without a copy side).
CopySide copySideOf(const WalkOptions& o, const std::string& dir, int depth) {
  CopySide side;
  if (o.copiesRoot.empty()) return side;
  side.suffix = &o.copySuffix;
  if (depth == 0)
    side.dir = o.copiesRoot;
  else
    DestinationPathInto(side.dir, dir, o.sourceRoot, o.copiesRoot);
  return side;
}

// A subdirectory the search will enter. Whoever claims it first reads it: a
// worker ahead of the search, or the search itself rather than wait.
struct Ahead {
  std::string dir;
  CopySide copies;
  bool withMarkers = false;
  std::atomic<bool> claimed{false};
  std::atomic<bool> ready{false};  // listing and subdirs are there
  Listing listing;
  std::vector<std::shared_ptr<Ahead>> subdirs;  // as ReadAhead::handOn gives them
};

// Reads the listings of the directories the search enters next on the
// workers, in the search's own order (depth first: a listing read hands its
// subdirectories on at once, the first on top), at most kMaxAhead ahead.
class ReadAhead {
 public:
  ReadAhead(const WalkOptions& options, int workers) : o_(options), pool_(workers) {
    for (int i = 0; i < workers; ++i) pool_.submit([this](int) { work(); });
  }
  ~ReadAhead() {
    {
      std::lock_guard lock(mutex_);
      done_ = true;
    }
    wake_.notify_all();
  }
  ReadAhead(const ReadAhead&) = delete;
  ReadAhead& operator=(const ReadAhead&) = delete;

  // One record per entry of a listing, for the subdirectories the search
  // will enter (else null; none at all: empty), handed to the workers.
  std::vector<std::shared_ptr<Ahead>> handOn(const Listing& listing, const std::string& prefix) {
    std::vector<std::shared_ptr<Ahead>> subdirs;
    if (!o_.withSubdirs) return subdirs;
    for (std::size_t i = 0; i < listing.entries.size(); ++i) {
      const platform::DirEntry& entry = listing.entries[i];
      if (kindOf(entry) != EntryKind::Directory || platform::isProgramTemporaryName(entry.name)) continue;
      std::string sub = prefix + entry.name;
      if (listed(o_.excludedTrees, sub)) continue;
      if (subdirs.empty()) subdirs.resize(listing.entries.size());
      auto a = std::make_shared<Ahead>();
      a->withMarkers = (o_.archiveOnly || o_.readMarkers) && !listed(o_.excludedDirectories, sub);
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

  // Until the listing the search needs is read, the search reads the next
  // one no worker has begun, instead of waiting.
  void waitFor(Ahead& ahead) {
    while (!ahead.ready.load(std::memory_order_acquire)) {
      if (const std::shared_ptr<Ahead> other = claimNext()) {
        read(*other);
        continue;
      }
      ahead.ready.wait(false, std::memory_order_acquire);
    }
  }

  // The search has entered a directory read ahead.
  void consumed() {
    bool wasFull = false;
    {
      std::lock_guard lock(mutex_);
      wasFull = readAhead_-- == kMaxAhead;
    }
    if (wasFull) wake_.notify_all();
  }

 private:
  void read(Ahead& a) {
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

  // The next directory to read, claimed and counted; null when there is none
  // or the search is kMaxAhead listings behind.
  std::shared_ptr<Ahead> claimNext() {
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

  void work() {
    for (;;) {
      {
        std::unique_lock lock(mutex_);
        wake_.wait(lock, [this] { return done_ || (!stack_.empty() && readAhead_ < kMaxAhead); });
        if (done_) return;
      }
      if (const std::shared_ptr<Ahead> a = claimNext()) read(*a);
    }
  }

  const WalkOptions& o_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::vector<std::shared_ptr<Ahead>> stack_;  // to be read; the back first
  int readAhead_ = 0;                          // read (or being read) ahead and not yet entered
  bool done_ = false;
  WorkerPool pool_;  // last: its threads end before the rest goes
};

class Walker {
 public:
  explicit Walker(WalkOptions& options) : o_(options) {
    const int threads = o_.threads > 0 ? o_.threads : RunThreadCount();
    if (threads > 1) ahead_ = std::make_unique<ReadAhead>(o_, threads - 1);
  }

  // False when dir could not be searched at all.
  // xattrsToCarry: set to the directory's own (see Listing).
  bool walk(const std::string& dir, int depth, Ahead* ahead, bool* xattrsToCarry = nullptr) {
    if (listed(o_.excludedTrees, dir)) return false;
    const bool filesExcluded = listed(o_.excludedDirectories, dir);
    const std::string prefix = prefixOf(dir);

    // The whole directory is read and closed before its subdirectories are
    // searched, so a deep tree never runs out of file descriptors.
    Listing listing;
    std::vector<std::shared_ptr<Ahead>> subdirs;
    if (ahead && ahead->claimed.exchange(true)) {
      ahead_->waitFor(*ahead);
      listing = std::move(ahead->listing);
      subdirs = std::move(ahead->subdirs);
      ahead_->consumed();
    } else {
      readListing(dir, false, copySideOf(o_, dir, depth), listing);
      if (ahead_ && listing.opened) subdirs = ahead_->handOn(listing, prefix);
    }
    if (!listing.opened) {
      // A missing root (or one that is a file) is the run's own message, not a search error.
      const int e = listing.error;
      if (o_.onDirectoryError && (depth > 0 || (e != ENOENT && e != ENOTDIR))) o_.onDirectoryError(dir, e);
      return false;
    }
    for (std::size_t i = 0; i < listing.entries.size(); ++i) {
      const int marked = listing.marked.empty() ? -1 : listing.marked[i];
      Ahead* sub = subdirs.empty() ? nullptr : subdirs[i].get();
      take(listing.entries[i], prefix, filesExcluded, depth, sub, marked, listing);
    }
    if (listing.error && o_.onDirectoryError) o_.onDirectoryError(dir, listing.error);
    if (xattrsToCarry) *xattrsToCarry = listing.xattrsToCarry;
    return true;
  }

 private:
  // What the destination directory holds under the entry's name.
  void lookUpCopies(const Listing& listing, const std::string& name, CopiesFound& out) {
    out = CopiesFound{};
    if (!listing.copiesRead) return;
    out.looked = true;
    if (const platform::DirEntry* c = findCopy(listing, name)) out.plain = c->status;
    if (o_.copySuffix.empty()) return;
    suffixed_.assign(name).append(o_.copySuffix);
    if (const platform::DirEntry* c = findCopy(listing, suffixed_)) out.suffixed = c->status;
    out.sourceHasSuffixed = sourceHas(listing, suffixed_);
  }

  // FoundFile::copyMatches of a directory entry of listing.
  bool copyMatches(const Listing& listing, const platform::DirEntry& entry) {
    if (!listing.copiesRead) return false;
    const platform::DirEntry* c = findCopy(listing, entry.name);
    if (!c || c->kind != platform::EntryKind::Directory || c->status.isSymlink) return false;
    const platform::FileStatus& a = entry.status;
    const platform::FileStatus& b = c->status;
    if (a.mode != b.mode || a.uid != b.uid || a.gid != b.gid || a.mtimeSeconds != b.mtimeSeconds ||
        a.mtimeNanoseconds != b.mtimeNanoseconds)
      return false;
    suffixed_.assign(entry.name).append(".zip");
    return findCopy(listing, suffixed_) == nullptr;
  }

  bool wanted(EntryKind kind) const {
    if (kind == EntryKind::Directory) return o_.withSubdirs != 0;
    return kind == EntryKind::File || o_.allKinds;
  }

  // marked: the archive marker read ahead (1 changed, 0 not), -1 when not read yet.
  void take(const platform::DirEntry& entry, const std::string& prefix, bool filesExcluded, int depth,
            Ahead* ahead, int marked, const Listing& listing) {
    const EntryKind kind = kindOf(entry);
    if (!wanted(kind)) return;
    // The program's own hidden temporaries (a half-written copy, the staging
    // directory of a restore that was killed) are never taken as the user's.
    if (platform::isProgramTemporaryName(entry.name)) return;
    if (kind == EntryKind::Directory) {
      std::string sub = prefix + entry.name;
      bool xattrsToCarry = true;
      if (walk(sub, depth + 1, ahead, &xattrsToCarry) && o_.allKinds)
        report(std::move(sub), kind, entry, 0, 1, &listing, xattrsToCarry);
      return;
    }
    if (filesExcluded) return;
    std::string path = prefix + entry.name;
    if (o_.allowedPatterns && !MatchPatterns(path, *o_.allowedPatterns)) return;
    if (o_.excludedPatterns && !o_.excludedPatterns->empty() && MatchPatterns(path, *o_.excludedPatterns)) return;
    if (kind == EntryKind::Special) {
      report(std::move(path), kind, entry, 0, 1, nullptr);
      return;
    }
    // A link holds no marker of its own (and the marker of what it points
    // to is not its business): it counts as changed. An unchanged file is
    // still handed on when its copy is to be looked at.
    int changed = 1;
    if (kind == EntryKind::File && (o_.archiveOnly || o_.readMarkers)) {
      changed = (marked >= 0 ? marked != 0 : platform::archiveBitSet(path, entry.status)) ? 1 : 0;
      if (o_.archiveOnly && !changed && o_.copiesRoot.empty()) return;
    }
    if (!InDateRange(entry.status.lastWrite, o_.from, o_.to)) return;
    report(std::move(path), kind, entry, entry.status.size, changed, &listing);
  }

  // xattrsToCarry: of a directory entry itself (its copy cannot match without).
  void report(std::string path, EntryKind kind, const platform::DirEntry& entry, std::uint64_t size, int changed,
              const Listing* listing, bool xattrsToCarry = true) {
    if (o_.pathList && kind == EntryKind::File && changed) o_.pathList->push_back(path);
    if (kind == EntryKind::File || kind == EntryKind::Symlink) {
      if (o_.foundFiles || o_.onFile) o_.totalBytes += size;
    }
    found_.path = std::move(path);
    found_.size = size;
    found_.lastWrite = entry.status.lastWrite;
    found_.skip = 0;
    found_.kind = kind;
    found_.changed = static_cast<unsigned char>(changed);
    found_.status = entry.status;
    if (listing && (kind == EntryKind::File || kind == EntryKind::Symlink))
      lookUpCopies(*listing, entry.name, found_.copies);
    else
      found_.copies = CopiesFound{};
    found_.copyMatches = kind == EntryKind::Directory && listing && !xattrsToCarry && copyMatches(*listing, entry);
    if (o_.foundFiles) o_.foundFiles->push_back(found_);
    if (o_.onFile) o_.onFile(found_);
  }

  WalkOptions& o_;
  FoundFile found_;  // handed to onFile
  std::string suffixed_;  // a name with copySuffix, its buffer reused
  std::unique_ptr<ReadAhead> ahead_;  // with more than one thread
};

}  // namespace

void WalkDirectory(const std::string& dir, WalkOptions& options) {
  Walker(options).walk(dir, 0, nullptr);
}

ExclusionLists SplitExclusions(const DirPair& pair) {
  ExclusionLists lists;
  for (const ExcludedDir& e : pair.excluded) (e.withSubdirs ? lists.trees : lists.directories).push_back(e.directory);
  return lists;
}

}  // namespace kalvero
