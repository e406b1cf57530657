#include "restore/UnpackAhead.h"

#include "platform/ArchiveFile.h"
#include "platform/FileSystem.h"
#include "platform/PathUtil.h"
#include "restore/RestorePlan.h"
#include "restore/RestoreTexts.h"
#include "restore/TargetPath.h"
#include "zip/ZipArchiveLayer.h"

namespace kalvero {

UnpackAhead::UnpackAhead(int threads, const std::atomic<int>* cancel, std::string destinationRoot,
                         bool ownArchivesOnly, const std::unordered_set<std::string>* runLinks)
    : cancel_(cancel),
      destinationRoot_(std::move(destinationRoot)),
      ownArchivesOnly_(ownArchivesOnly),
      runLinks_(runLinks),
      window_(2 * static_cast<std::size_t>(threads)),
      pool_(threads) {
  for (int i = 0; i < threads; ++i) zips_.push_back(std::make_unique<ZipArchiveLayer>());
}

PreparedUnpack::~PreparedUnpack() {
  if (!staging.empty()) platform::removeFile(staging);
}

UnpackAhead::~UnpackAhead() {
  for (Slot& slot : slots_) slot.done.wait();
}

void UnpackAhead::offer(std::size_t index, const std::string& archive, const std::string& relative) {
  Slot slot;
  slot.index = index;
  slot.result = std::make_unique<PreparedUnpack>();
  PreparedUnpack* p = slot.result.get();
  slot.done = pool_.submit([this, p, archive, relative](int worker) {
    unpack(*zips_[static_cast<std::size_t>(worker)], archive, relative, *p);
  });
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
void UnpackAhead::unpack(ZipArchiveLayer& zip, const std::string& archive, const std::string& relative,
                         PreparedUnpack& out) {
  std::string staging;
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
      const std::string target = SafeTargetPath(destinationRoot_, SingleEntryName(single, relative), false, runLinks_);
      if (!target.empty() && MakeDestinationDirectories(destinationRoot_, GetDirectoryOf(target))) {
        {
          platform::ArchiveFile reserve;
          reserve.open(target, platform::ArchiveFile::Mode::CreateHidden);
          staging = reserve.path();
          reserve.close();
        }
        const auto keepGoing = [this](std::uint64_t) { return !cancel_ || cancel_->load(std::memory_order_relaxed) == 0; };
        const ExtractResult result = zip.ExtractEntry(0, staging, keepGoing);
        if (result == ExtractResult::Done || result == ExtractResult::TimesNotSet) {
          out.target = target;
          out.staging = staging;
          out.timesSet = result == ExtractResult::Done;
          out.size = info.uncompressedSize;
          staging.clear();
        }
      }
    }
  } catch (...) {
  }
  if (!zip.IsClosed()) zip.Close(true);
  if (!staging.empty()) platform::removeFile(staging);
}

}  // namespace kalvero
