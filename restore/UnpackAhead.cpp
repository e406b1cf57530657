#include "restore/UnpackAhead.h"

#include <fmt/format.h>

#include <algorithm>

#include "platform/FileSystem.h"
#include "platform/OwnTemporary.h"
#include "platform/PathUtil.h"
#include "restore/RestorePlan.h"
#include "restore/RestoreTexts.h"
#include "zip/ZipArchiveLayer.h"

namespace kalvero {

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
  slot.result = std::make_unique<PreparedUnpack>();
  PreparedUnpack* p = slot.result.get();
  slot.done = pool_.submit(
      [this, p, index, archive, relative](int worker) { unpack(worker, index, archive, relative, *p); });
  slots_.push_back(std::move(slot));
}

std::unique_ptr<PreparedUnpack> UnpackAhead::take(std::size_t index) {
  while (!slots_.empty() && slots_.front().index < index) {
    slots_.front().done.wait();
    slots_.pop_front();
  }
  if (slots_.empty() || slots_.front().index != index) return nullptr;
  Slot slot = std::move(slots_.front());
  slots_.pop_front();
  slot.done.wait();
  if (slot.result->staging.empty()) return nullptr;
  return std::move(slot.result);
}

// As DecompressArchive does it for such an archive, without a word: anything
// unusual is left to the run, which then unpacks (and reports) it itself.
void UnpackAhead::unpack(int worker, std::size_t index, const std::string& archive, const std::string& relative,
                         PreparedUnpack& out) {
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
      const auto keepGoing = [this](std::uint64_t) { return !cancel_ || cancel_->load(std::memory_order_relaxed) == 0; };
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
