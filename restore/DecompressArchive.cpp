#include <new>

#include <fmt/printf.h>

#include "platform/PathUtil.h"
#include "platform/FileError.h"
#include "platform/FileSystem.h"
#include "platform/OwnTemporary.h"
#include "restore/RestoreJob.h"
#include "restore/RestorePlan.h"
#include "restore/RestoreTexts.h"
#include "restore/TargetKeep.h"
#include "restore/TargetPath.h"
#include "zip/ZipArchiveLayer.h"

namespace kalvero {

namespace {

std::string unpackFailed(const std::string& entry, const std::string& archive) {
  return fmt::sprintf(restore_text::kUnpackFailed, entry, archive);
}

std::string cut(const std::string& text) { return text.substr(0, 2047); }

enum class Placed { Done, Refused, Failed };

// Puts ready (an unpacked file under a hidden name) in place of target: a
// differing file there is kept beside, an equal one is left and ready removed.
Placed placeUnpacked(const std::string& ready, const std::string& target, std::vector<std::string>& errors,
                     RestoreContext& ctx, int* err) {
  TargetReplacement replacement(ready, target, ctx);
  if (replacement.leaveAsItIs() || !replacement.refusal().empty()) {
    if (!replacement.refusal().empty()) errors.push_back(replacement.refusal());
    platform::removeFile(ready);
    return replacement.leaveAsItIs() ? Placed::Done : Placed::Refused;
  }
  const bool renamed = platform::renamePath(ready, target, err);
  replacement.end(renamed);
  return renamed ? Placed::Done : Placed::Failed;
}

// Unpacks entry index onto target. A file already there is first compared
// with the entry unpacked beside it, so that it can be kept or left alone.
ExtractResult extractOver(ZipArchiveLayer& zip, int index, const std::string& target, const ExtractProgress& step,
                          std::vector<std::string>& errors, RestoreContext& ctx) {
  const auto there = platform::lstatPath(target);
  if (!there || there->isSymlink || there->kind != platform::EntryKind::File)
    return zip.ExtractEntry(index, target, step);
  const std::string ready = platform::ownTemporaryBeside(target);
  const ExtractResult result = zip.ExtractEntry(index, ready, step);
  if (result != ExtractResult::Done && result != ExtractResult::TimesNotSet) return result;
  int err = 0;
  if (placeUnpacked(ready, target, errors, ctx, &err) == Placed::Failed) {
    platform::removeFile(ready);
    throw platform::FileError(platform::causeFromErrno(err), err, target);
  }
  return result;
}

// Unpacks entry index; a text goes to errors when it was not restored.
void unpackEntry(ZipArchiveLayer& zip, int index, const ZipEntryHeader& info, const std::string& name,
                 const std::string& archive, const std::string& root, std::vector<std::string>& errors,
                 RestoreContext& ctx) {
  const bool isDirectory = zip.IsEntryDirectory(index);
  const std::string target = SafeTargetPath(root, name, isDirectory, ctx.runLinks);
  if (target.empty()) {  // absolute, "..", or through a link of this run: never written
    errors.push_back(unpackFailed(info.name, archive));
    return;
  }
  if (isDirectory) {
    // The entry's attributes are not applied: a read-only directory would
    // refuse the files that follow it.
    if (!CreateDirectoryPath(target)) errors.push_back(unpackFailed(info.name, archive));
    return;
  }
  // A read-only directory of the target gets its owner's write bit until the
  // run's directory step sets its mode again.
  if (!MakeDestinationDirectories(root, GetDirectoryOf(target))) {
    errors.push_back(unpackFailed(info.name, archive));
    return;
  }
  const auto step = [&ctx](std::uint64_t done) {
    if (ctx.progress) ctx.progress->fileDone = done;
    ctx.notify(NOTIFY_FILE_STEP);
    return true;
  };
  const ExtractResult result = extractOver(zip, index, target, step, errors, ctx);
  if (result == ExtractResult::Refused || result == ExtractResult::Cancelled)
    errors.push_back(unpackFailed(info.name, archive));
}

}  // namespace

std::uint64_t DecompressArchive(const std::string& archive, const std::string& destinationRoot,
                                std::vector<std::string>& errors, bool& ownArchivesOnly, RestoreContext& ctx,
                                const std::string& archiveRelative) {
  if (PreparedUnpack* prepared = ctx.prepared; prepared && !prepared->staging.empty()) {
    // A worker read the archive and unpacked its single entry: it only has to
    // be put in place. Should that fail, the archive is unpacked here as usual.
    const std::string target = SafeTargetPath(destinationRoot, prepared->name, false, ctx.runLinks);
    int err = 0;
    if (!target.empty() && MakeDestinationDirectories(destinationRoot, GetDirectoryOf(target)) &&
        placeUnpacked(prepared->staging, target, errors, ctx, &err) != Placed::Failed) {
      prepared->staging.clear();
      if (ctx.progress) {
        ctx.progress->fileSize = prepared->size;
        ctx.progress->fileDone = 0;
      }
      ctx.notify(NOTIFY_FILE_START);
      if (ctx.progress) ctx.progress->fileDone = prepared->size;
      ctx.notify(NOTIFY_FILE_STEP);
      return prepared->size;
    }
  }
  ZipArchiveLayer& zip = *ctx.zip;
  std::uint64_t sum = 0;
  std::string currentEntry;
  if (!zip.IsClosed()) zip.Close(true);
  try {
    try {
      zip.Open(archive, ZipArchiveLayer::OpenExisting);
    } catch (const CZipException& e) {
      // Not a zip archive at all: the file is restored as it is, like a
      // foreign archive, instead of being lost.
      if (e.cause() != CZipException::BAD_ZIP_FILE) throw;
      ownArchivesOnly = false;
      if (!zip.IsClosed()) zip.Close(true);
      return 0;
    }
    const bool own = zip.GetArchiveComment() == restore_text::kOwnArchiveComment;
    if (ownArchivesOnly && !own) {
      ownArchivesOnly = false;
    } else {
      const int count = zip.GetEntryCount();
      ArchiveSummary single;
      single.own = own;
      single.singleIsFile = count == 1 && !zip.IsEntryDirectory(0);
      for (int i = 0; i < count; ++i) {
        ZipEntryHeader info;
        if (!zip.GetEntryInfo(i, info)) continue;
        currentEntry = info.name;
        sum += info.uncompressedSize;
        if (ctx.progress) {
          ctx.progress->fileSize = info.uncompressedSize;
          ctx.progress->fileDone = 0;
        }
        ctx.notify(NOTIFY_FILE_START);
        single.singleName = info.name;
        const std::string name = count == 1 ? SingleEntryName(single, archiveRelative) : info.name;
        unpackEntry(zip, i, info, name, archive, destinationRoot, errors, ctx);
      }
      currentEntry.clear();
    }
  } catch (const CZipException&) {
    // The layer's exception has no text of its own: name the entry instead.
    errors.push_back(unpackFailed(currentEntry, archive));
  } catch (const platform::FileError& e) {
    errors.push_back(cut(e.what()));
  } catch (const std::bad_alloc&) {
    errors.push_back(unpackFailed(currentEntry, archive));
  }
  if (!zip.IsClosed()) zip.Close(true);
  return sum;
}

}  // namespace kalvero
