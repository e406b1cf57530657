#include "run/Walk.h"

#include <cerrno>
#include <memory>

#include "run/Filters.h"
#include "run/ReadAhead.h"
#include "run/WalkListing.h"
#include "run/WorkerPool.h"
#include "platform/OwnTemporary.h"
#include "platform/FileSystem.h"
#include "platform/TreeCopy.h"

namespace kalvero {

namespace {

using walk::Ahead;
using walk::copySideOf;
using walk::findCopy;
using walk::kindOf;
using walk::listed;
using walk::Listing;
using walk::prefixOf;
using walk::ReadAhead;
using walk::readListing;
using walk::readsMarkers;
using walk::sourceHas;

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
      readListing(dir, readsMarkers(o_, dir), copySideOf(o_, dir, depth), listing);
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
    if (!platform::sameDirectoryAttributes(entry.status, c->status)) return false;
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
