// The restore run's steps for the items of its plan: each file, directory,
// link and special file, and what waits until every file is in place.
#include <algorithm>
#include <optional>
#include <unordered_map>

#include <fmt/printf.h>

#include "platform/FileError.h"
#include "platform/PathUtil.h"
#include "platform/TreeCopy.h"
#include "restore/RestoreRunState.h"
#include "restore/RestoreTexts.h"
#include "restore/TargetKeep.h"
#include "restore/TargetPath.h"

namespace kalvero {

namespace t = restore_text;

namespace {

}  // namespace

// Files first (directories created as the walk reports them, after their
// content), then the links, so no file is written through a link of this
// run; the directories' attributes come last, after everything inside.
void RestoreRun::Pass::restoreAll() {
  try {
    for (const std::string& line : unreadable_) s_.fail(line);
    for (const RestoreItem& item : plan_) {
      if (s_.cancelRequested()) break;
      restoreItem(item);
    }
    ahead_.reset();  // what the workers unpacked for files not reached is removed
    restoreOlderWhereNewerFailed();
    restoreLinks();
    if (!s_.cancelRequested()) finishDirectories();
    noteMetadataLosses();
  } catch (const platform::FileError& e) {
    // The run log could not be written: the loop ends, the summary follows.
    ctx_.prepared = nullptr;
    const std::string text = std::string(e.what()).substr(0, 2047);
    ReportToLogPage(s_.setup.reporter, text);
    s_.writeLog({text});
    s_.countError();
  }
  ahead_.reset();
}

void RestoreRun::Pass::offerAhead(std::size_t current) {
  if (!ahead_) return;
  for (nextOffer_ = std::max(nextOffer_, current); nextOffer_ < plan_.size() && ahead_->inFlight() < ahead_->window();
       ++nextOffer_) {
    const RestoreItem& item = plan_[nextOffer_];
    if (item.found.kind == EntryKind::File && item.leftOutFor.empty() && item.unpacked &&
        HasZipExtension(item.found.path))
      ahead_->offer(nextOffer_, item.found.path, item.relative);
  }
}

void RestoreRun::Pass::restoreItem(const RestoreItem& item) {
  const std::size_t index = static_cast<std::size_t>(&item - plan_.data());
  offerAhead(index);
  const FoundFile& f = item.found;
  if (f.kind == EntryKind::Directory) {
    restoreDirectory(item);
  } else if (f.kind == EntryKind::Special) {
    s_.note(fmt::sprintf(t::kSpecialFile, f.path));
  } else if (!item.leftOutFor.empty()) {
    s_.note(fmt::sprintf(t::kNewerTaken, f.path, item.leftOutFor, item.target));
    leftOut_.push_back(&item);
    ++s_.progress.filesDone;
  } else if (f.kind == EntryKind::Symlink) {
    links_.push_back(&item);  // after every file
  } else {
    restoreFileItem(item, index);
  }
}

void RestoreRun::Pass::restoreDirectory(const RestoreItem& item) {
  const std::string error = CreateRestoredDirectory(destinationRoot_, destinationRoot_ + item.relative);
  if (error.empty())
    directories_.push_back(&item);
  else
    s_.fail(error);
  // Its content is in place: only a killed run's temporaries are left to go.
  s_.leftovers.visit(destinationRoot_ + item.relative);
}

void RestoreRun::Pass::restoreFileItem(const RestoreItem& item, std::size_t index) {
  // Waiting for a worker, the page shows that archive moving.
  const std::unique_ptr<PreparedUnpack> prepared = ahead_ ? ahead_->take(index, &ctx_) : nullptr;
  ctx_.prepared = prepared.get();
  const bool restored = restoreFile(item);
  ctx_.prepared = nullptr;
  if (!restored) {
    s_.countError();  // a file that could not be restored is an error
    if (!item.target.empty()) failedTargets_.insert(item.target);
  }
  ++s_.progress.filesDone;
}

// The size totals and the smallest and largest file of the summary.
void RestoreRun::Pass::countSource(const FoundFile& f) {
  sum_.sourceBytes += f.size;
  if (f.size > (sum_.haveLargest ? sum_.largestSize : 0)) {
    sum_.haveLargest = true;
    sum_.largestSize = f.size;
    sum_.largestName = f.path;
  }
  if (!sum_.haveSmallest || f.size < sum_.smallestSize) {
    sum_.haveSmallest = true;
    sum_.smallestSize = f.size;
    sum_.smallestName = f.path;
  }
}

// Copies or unpacks one file of the plan; false when it was not restored.
bool RestoreRun::Pass::restoreFile(const RestoreItem& item) {
  const FoundFile& f = item.found;
  ctx_.runLog = s_.log.isOpen() ? &s_.log : nullptr;
  RestoreJob job;
  job.sourceRoot = sourceRoot_;
  job.source = f.path;
  job.destinationRoot = destinationRoot_;
  job.isArchive = HasZipExtension(f.path);
  job.ownArchivesOnly = options_.OnlyByKalvero != 0;
  job.fileSize = f.size;
  countSource(f);
  bool ok = RestoreOneFile(job, ctx_);
  if (ok && job.isArchive) {
    if (!job.ownArchivesOnly) {  // refused or not ours to unpack: copied as it is
      job.isArchive = false;
      ok = RestoreOneFile(job, ctx_);
    } else {
      sum_.unpackedBytes += job.unpackedSize;
    }
  }
  return ok;
}

// A newer copy that could not be restored leaves the older one as the best there is.
void RestoreRun::Pass::restoreOlderWhereNewerFailed() {
  std::unordered_map<std::string, const RestoreItem*> fallback;
  for (const RestoreItem* item : leftOut_) {
    if (item->found.kind != EntryKind::File || !failedTargets_.count(item->target)) continue;
    const RestoreItem*& best = fallback[item->target];
    if (!best || item->time > best->time) best = item;
  }
  for (const RestoreItem* item : leftOut_) {
    const auto chosen = fallback.find(item->target);
    if (s_.cancelRequested() || chosen == fallback.end() || chosen->second != item) continue;
    s_.note(fmt::sprintf(t::kOlderTaken, item->target, item->found.path));
    if (!restoreFile(*item)) s_.countError();
  }
}

void RestoreRun::Pass::restoreLinks() {
  ctx_.runLog = s_.log.isOpen() ? &s_.log : nullptr;
  for (const RestoreItem* link : links_) {
    if (s_.cancelRequested()) break;
    sum_.sourceBytes += link->found.size;
    // A file of the user's where the backup has a link is kept beside it (never
    // through a link of this run: the link step itself refuses that path).
    std::optional<TargetReplacement> replacement;
    if (PathStaysBelowRoot(destinationRoot_, link->target, false, &runLinks_))
      replacement.emplace(link->found.path, link->target, ctx_);
    const std::string error = replacement && !replacement->refusal().empty()
                                  ? replacement->refusal()
                                  : RestoreLink(link->found.path, destinationRoot_, link->target, runLinks_);
    if (replacement) replacement->end(error.empty());
    if (!error.empty()) s_.fail(error);
    ++s_.progress.filesDone;
  }
}

void RestoreRun::Pass::finishDirectories() {
  for (const RestoreItem* dir : directories_) {
    const std::string error =
        FinishDirectory(dir->found.path, destinationRoot_, destinationRoot_ + dir->relative, runLinks_);
    if (!error.empty()) s_.fail(error);
  }
}

void RestoreRun::Pass::noteMetadataLosses() {
  const platform::MetadataLosses losses = platform::takeMetadataLosses();
  if (losses.extendedAttributes) s_.note(fmt::sprintf(t::kXattrsNotKept, WithoutTrailingSlash(destinationRoot_)));
  if (losses.owner) s_.note(fmt::sprintf(t::kOwnerNotKept, WithoutTrailingSlash(destinationRoot_)));
  if (const int removed = s_.leftovers.takeRemoved()) s_.note(fmt::sprintf(t::kLeftoversRemoved, removed));
}

}  // namespace kalvero
