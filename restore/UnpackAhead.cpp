#include "restore/UnpackAhead.h"

#include <fmt/format.h>

#include <algorithm>
#include <chrono>

#include "platform/FileSystem.h"
#include "platform/OwnTemporary.h"
#include "platform/PathUtil.h"
#include "restore/RestorePlan.h"
#include "restore/RestoreTexts.h"
#include "zip/ZipArchiveLayer.h"

namespace kalvero {

namespace {

// How often the run thread, waiting for a worker, shows how far it is.
constexpr auto kWaitStep = std::chrono::milliseconds(100);
// How often it looks whether the worker has begun the entry.
constexpr auto kSizeStep = std::chrono::milliseconds(10);

}  // namespace

UnpackAhead::UnpackAhead(int threads, const std::atomic<int>* cancel, std::string destinationRoot,
                         bool ownArchivesOnly)
    : cancel_(cancel),
      destinationRoot_(std::move(destinationRoot)),
      ownArchivesOnly_(ownArchivesOnly),
      // Far ahead: while one worker unpacks a large file, the others go on
      // with the many small ones after it.
      window_(256 * static_cast<std::size_t>(threads)),
      pool_(threads) {
  for (int i = 0; i < threads; ++i) zips_.push_back(std::make_unique<ZipArchiveLayer>());
}

PreparedUnpack::~PreparedUnpack() {
  if (!staging.empty()) platform::removeFile(staging);
}

UnpackAhead::~UnpackAhead() {
  for (Slot& slot : slots_) slot.done.wait();
  slots_.clear();  // removes what was not taken
  if (staging_.empty()) return;
  for (std::size_t worker = 0; worker < zips_.size(); ++worker)
    platform::removeDirectory(staging_ + std::to_string(worker));
  platform::removeDirectory(staging_);
}

const std::string& UnpackAhead::stagingDirectory() {
  std::call_once(stagingOnce_, [this] {
    // A directory of its own per worker: neither the user's files nor the
    // other worker's are ever in the way, and no two threads create files in one directory.
    if (!MakeDirectories(destinationRoot_)) return;
    for (int attempt = 0; attempt < 100 && staging_.empty(); ++attempt) {
      // The program's temporary pattern: a walk never takes it, should a killed run leave it.
      const std::string dir = platform::ownTemporaryBeside(destinationRoot_ + "unpack");
      if (platform::makeDirectory(dir)) staging_ = dir + "/";
    }
    for (std::size_t worker = 0; !staging_.empty() && worker < zips_.size(); ++worker)
      if (!platform::makeDirectory(staging_ + std::to_string(worker))) {
        for (std::size_t made = 0; made < worker; ++made) platform::removeDirectory(staging_ + std::to_string(made));
        platform::removeDirectory(staging_);
        staging_.clear();
      }
  });
  return staging_;
}

std::vector<ArchiveSummary> UnpackAhead::summarize(const std::vector<FoundFile>& found) {
  std::vector<ArchiveSummary> archives(found.size());
  std::vector<std::future<void>> parts;
  // In runs of files, so that handing out costs little against the reading.
  constexpr std::size_t kRun = 64;
  for (std::size_t begin = 0; begin < found.size(); begin += kRun) {
    parts.push_back(pool_.submit([this, &found, &archives, begin](int worker) {
      SummarizeArchives(found, begin, std::min(begin + kRun, found.size()), *zips_[static_cast<std::size_t>(worker)],
                        archives);
    }));
  }
  for (std::future<void>& part : parts) part.wait();
  return archives;
}

void UnpackAhead::offer(std::size_t index, const std::string& archive, const std::string& relative) {
  Slot slot;
  slot.index = index;
  slot.archive = archive;
  slot.result = std::make_unique<PreparedUnpack>();
  slot.unpacking = std::make_unique<Unpacking>();
  PreparedUnpack* p = slot.result.get();
  Unpacking* u = slot.unpacking.get();
  slot.done = pool_.submit(
      [this, p, u, index, archive, relative](int worker) { unpack(worker, index, archive, relative, *p, *u); });
  slots_.push_back(std::move(slot));
}

std::unique_ptr<PreparedUnpack> UnpackAhead::take(std::size_t index, const RestoreContext* shown) {
  while (!slots_.empty() && slots_.front().index < index) {
    slots_.front().done.wait();
    slots_.pop_front();
  }
  if (slots_.empty() || slots_.front().index != index) return nullptr;
  Slot slot = std::move(slots_.front());
  slots_.pop_front();
  if (shown) waitShowing(slot, *shown);
  slot.done.wait();
  if (slot.result->staging.empty()) return nullptr;
  return std::move(slot.result);
}

// A large archive takes a worker a while: meanwhile the page names it and
// its bar moves with the bytes unpacked, instead of standing still on the
// file before it.
void UnpackAhead::waitShowing(Slot& slot, const RestoreContext& shown) {
  Unpacking& u = *slot.unpacking;
  // As when the run unpacks it itself, a cancel now ends the run after this file.
  u.waitedFor.store(true, std::memory_order_relaxed);
  std::uint64_t sizeShown = 0;
  // Short waits until the worker knows the entry's size, then the page's pace.
  while (slot.done.wait_for(sizeShown ? kWaitStep : kSizeStep) != std::future_status::ready) {
    const std::uint64_t size = u.size.load(std::memory_order_acquire);
    if (size == 0) continue;  // queued, or still reading the archive's header
    ProgressInfo* info = shown.progress;
    if (info && size != sizeShown) {
      info->currentSource = slot.archive;
      shown.notify(NOTIFY_UNPACKING);
      info->fileSize = size;
      info->fileDone = 0;
      shown.notify(NOTIFY_FILE_START);
      sizeShown = size;
    }
    if (info) info->fileDone = std::min(u.done.load(std::memory_order_relaxed), size);
    shown.notify(NOTIFY_FILE_STEP);
  }
}

// As DecompressArchive does it for such an archive, without a word: anything
// unusual is left to the run, which then unpacks (and reports) it itself.
void UnpackAhead::unpack(int worker, std::size_t index, const std::string& archive, const std::string& relative,
                         PreparedUnpack& out, Unpacking& unpacking) {
  if ((cancel_ && cancel_->load(std::memory_order_relaxed) != 0) || stagingDirectory().empty()) return;
  ZipArchiveLayer& zip = *zips_[static_cast<std::size_t>(worker)];
  try {
    if (!zip.IsClosed()) zip.Close(true);
    zip.Open(archive, ZipArchiveLayer::OpenExisting);
    ArchiveSummary single;
    single.own = zip.GetArchiveComment() == restore_text::kOwnArchiveComment;
    ZipEntryHeader info;
    if ((single.own || !ownArchivesOnly_) && zip.GetEntryCount() == 1 && !zip.IsEntryDirectory(0) &&
        zip.GetEntryInfo(0, info)) {
      single.singleIsFile = true;
      single.singleName = info.name;
      // The plan position names the file (unique in the run), in the program's
      // temporary pattern: what a killed run leaves is never taken for the user's.
      const std::string staging = platform::ownTemporaryBeside(staging_ + std::to_string(worker) + "/" + std::to_string(index));
      unpacking.size.store(info.uncompressedSize, std::memory_order_release);
      const auto keepGoing = [this, &unpacking](std::uint64_t done) {
        unpacking.done.store(done, std::memory_order_relaxed);
        return unpacking.waitedFor.load(std::memory_order_relaxed) || !cancel_ ||
               cancel_->load(std::memory_order_relaxed) == 0;
      };
      const ExtractResult result = zip.ExtractEntry(0, staging, keepGoing);
      if (result == ExtractResult::Done || result == ExtractResult::TimesNotSet) {
        out.name = SingleEntryName(single, relative);
        out.staging = staging;
        out.size = info.uncompressedSize;
      }
    }
  } catch (...) {
  }
  if (!zip.IsClosed()) zip.Close(true);
}

}  // namespace kalvero
