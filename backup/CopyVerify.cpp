#include "backup/CopyVerify.h"

#include <fmt/printf.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <memory>

#include "backup/BackupTexts.h"
#include "platform/PathUtil.h"
#include "diag/ErrorText.h"
#include "platform/ErrorNumber.h"
#include "platform/FileCopy.h"
#include "platform/FileError.h"
#include "platform/FileSystem.h"
#include "platform/FileTime.h"
#include "platform/Files.h"

#include "backup/CompressAhead.h"
#include "backup/CompressZip.h"

namespace kalvero {

namespace {

constexpr std::size_t kCompareChunk = 61440;

}  // namespace



void ReportLine(const CopyContext& ctx, const std::string& text) {
  // The log page gets the line even when the log cannot be written.
  try {
    if (ctx.runLog && ctx.runLog->isOpen()) WriteLogLine(*ctx.runLog, text);
  } catch (...) {
    ReportToLogPage(ctx.reporter, text);
    throw;
  }
  ReportToLogPage(ctx.reporter, text);
}

void ReportError(const CopyContext& ctx, const std::string& text) {
  if (ctx.progress) {
    ++ctx.progress->pairErrors;
    ++ctx.progress->runErrors;
  }
  ReportLine(ctx, text);
}

namespace {

// The copy (or archive) gets the times of the time source; an archive's are
// repaired where they cannot be represented, a plain copy keeps a time before
// 1970 as Linux does. A failure here is silent.
void giveTimes(const std::string& copy, const std::string& timeSource, bool repair = true) {
  if (auto st = platform::statPath(timeSource)) platform::setFileTimes(copy, st->lastWrite, st->lastAccess);
  if (repair) RepairFileTimes(copy);
}

// The file shown at its stage (compressing or copying): its names, then its
// own bar at 0 %.
ProgressInfo* ShowFileStage(const CopyJob& job, const CopyContext& ctx, int stage) {
  ProgressInfo* info = ctx.progress;
  if (info) {
    info->currentSource = job.source;
    info->currentDestination = job.destination;
  }
  ctx.notify(stage);
  if (info) {
    info->fileSize = job.size;
    info->fileDone = 0;
  }
  return info;
}

ProgressInfo* ShowCompressing(const CopyJob& job, const CopyContext& ctx) {
  return ShowFileStage(job, ctx, NOTIFY_COMPRESSING);
}

// A worker's finished file: its bar, where it has one, from start to end at once.
void ShowTakenFile(const CopyJob& job, const CopyContext& ctx, ProgressInfo* info) {
  if (!ctx.showsFileProgress(job.size)) return;
  ctx.notify(NOTIFY_FILE_START);
  if (info) info->fileDone = job.size;
  ctx.notify(NOTIFY_FILE_STEP);
}

// The plain copy into its hidden temporary beside job.destination, with the
// times of job.timeSource; job.pending, hashed and digest are set.
bool CopyToPending(CopyJob& job, const platform::CopyProgressFn& progress, int* err) {
  job.hashed = false;
  std::string temporary;
  platform::CopyNotes notes;
  notes.sourceSeenRegular = job.sourceSeenRegular;
  notes.destinationSeenAbsent = job.destinationSeenAbsent;
  notes.identityWanted = job.commitAhead;
  if (job.sourceDirectory) notes.sourceDirectory = job.sourceDirectory->fd();
  if (job.destinationDirectory) notes.destinationDirectory = job.destinationDirectory->fd();
  if (!platform::copyFileToTemporary(job.source, job.destination, progress, temporary, err, &notes)) return false;
  job.committedDevice = notes.device;
  job.committedInode = notes.inode;
  // copyFile already gave the copy the times of its own source.
  if (!job.timeSource.empty() && job.timeSource != job.source) giveTimes(temporary, job.timeSource, false);
  job.pending = temporary;
  job.hashed = notes.hashed;
  job.digest = notes.digest;
  return true;
}

// CopyOneFile for a file to compress.
bool CompressOneFile(CopyJob& job, const CopyContext& ctx, ZipArchiveLayer* zip, int* full) {
  ShowCompressing(job, ctx);
  if (ctx.showsFileProgress(job.size)) ctx.notify(NOTIFY_FILE_START);
  bool ok = false;
  CompressionError error;
  if (zip) ok = CompressZip(*zip, job, ctx, &error);
  job.wasCompressed = true;
  if (!ok) {
    // A compression broken off by "Abbrechen" is no error of the file.
    if (ctx.cancelled()) {
      job.cancelled = true;
      return false;
    }
    if (full && IsNoSpace(error.osError)) {
      *full = error.osError;
      return false;
    }
    ReportError(ctx, fmt::sprintf(texts::COMPRESS_FAILED, job.source, error.text));
    return false;
  }
  giveTimes(job.pending.empty() ? job.finalName : job.pending, job.timeSource.empty() ? job.source : job.timeSource);
  return true;
}

}  // namespace

bool IsNoSpace(int err) { return err == ENOSPC || err == EDQUOT; }

bool CopyOneFile(CopyJob& job, const CopyContext& ctx, ZipArchiveLayer* zip, int* full) {
  job.finalName.clear();
  job.pending.clear();
  job.cancelled = false;
  if (job.compress) return CompressOneFile(job, ctx, zip, full);

  ProgressInfo* info = ctx.progress;
  if (info) {
    info->currentSource = job.source;
    info->currentDestination = job.destination;
  }
  ctx.notify(NOTIFY_COPYING);
  const auto progress = [&ctx, info](std::uint64_t total, std::uint64_t transferred) {
    if (ctx.cancelled()) return false;
    if (!info) return true;
    if (transferred == 0) {
      info->fileSize = total;
      info->fileDone = 0;
      if (ctx.showsFileProgress(info->fileSize)) ctx.notify(NOTIFY_FILE_START);
    } else if (ctx.showsFileProgress(info->fileSize)) {
      info->fileDone = transferred;
      ctx.notify(NOTIFY_FILE_STEP);
    }
    return true;
  };
  int err = 0;
  if (!CopyToPending(job, progress, &err)) {
    if (err == ECANCELED && ctx.cancelled()) {
      job.cancelled = true;
      return false;
    }
    if (full && IsNoSpace(err)) {
      *full = err;
      return false;
    }
    const std::string text =
        AppendTimestamp(fmt::sprintf(texts::COPY_FAILED, job.source, job.destination, SystemErrorText(err)));
    ReportError(ctx, text);
    return false;
  }
  return job.deferCommit || CommitCopy(job, ctx);
}

bool CopyQuietly(CopyJob& job, const std::atomic<int>* cancel, int* err) {
  job.finalName.clear();
  job.pending.clear();
  const auto stillWanted = [cancel](std::uint64_t, std::uint64_t) {
    return !cancel || cancel->load(std::memory_order_relaxed) == 0;
  };
  return CopyToPending(job, stillWanted, err);
}

bool TakeCopiedFile(CopyJob& job, const PreparedCompression& done, const CopyContext& ctx) {
  job.finalName.clear();
  job.pending = done.job.pending;
  job.committedAhead = done.job.committedAhead;
  job.committedDevice = done.job.committedDevice;
  job.committedInode = done.job.committedInode;
  job.hashed = done.job.hashed;
  job.digest = done.job.digest;
  job.cancelled = false;
  ShowTakenFile(job, ctx, ShowFileStage(job, ctx, NOTIFY_COPYING));
  // "Abbrechen" while this file is shown stops it, as it stops a copy on this thread.
  if (ctx.cancelled()) {
    job.cancelled = true;
    return false;
  }
  return true;
}

bool CompressQuietly(CopyJob& job, ZipArchiveLayer& zip, const std::atomic<int>* cancel, CompressionError* error,
                     RunReporter* steps, ProgressInfo* record) {
  CopyContext quiet;
  quiet.cancel = cancel;
  quiet.reporter = steps;
  quiet.progress = steps ? record : nullptr;
  quiet.displayThreshold = job.displayThreshold;
  job.finalName.clear();
  job.pending.clear();
  const bool ok = CompressZip(zip, job, quiet, error);
  job.wasCompressed = true;
  if (ok) giveTimes(job.pending.empty() ? job.finalName : job.pending, job.timeSource.empty() ? job.source : job.timeSource);
  return ok;
}

bool TakeCompressedCopy(CopyJob& job, const PreparedCompression& done, const CopyContext& ctx) {
  job.finalName = done.job.finalName;
  job.pending = done.job.pending;
  job.compressedSize = done.job.compressedSize;
  job.wasCompressed = true;
  job.cancelled = false;
  ShowTakenFile(job, ctx, ShowCompressing(job, ctx));
  if (done.ok) return true;
  if (ctx.cancelled()) {
    job.cancelled = true;
    return false;
  }
  ReportError(ctx, fmt::sprintf(texts::COMPRESS_FAILED, job.source, done.error.text));
  return false;
}

bool TakeComparison(const CopyContext& ctx, CompareKind kind, int err, std::uint64_t size) {
  ProgressInfo* info = ctx.progress;
  if (kind != CompareKind::SourceUnopened && ctx.showsFileProgress(size)) {
    if (info) {
      info->fileSize = size;
      info->fileDone = 0;
    }
    ctx.notify(NOTIFY_FILE_START);
    if (kind == CompareKind::Equal) {
      if (info) info->fileDone = size;
      ctx.notify(NOTIFY_FILE_STEP);
    }
    if (info) info->fileSize = info->fileDone = 0;
    ctx.notify(NOTIFY_FILE_START);
  }
  if (kind == CompareKind::Equal) return true;
  ReportCompareFailure(ctx, kind, err);
  return false;
}

bool CommitCopy(CopyJob& job, const CopyContext& ctx, int dirFd) {
  if (job.pending.empty()) return true;
  const std::string target = job.finalName.empty() ? job.destination : job.finalName;
  int err = 0;
  const bool ok = platform::commitTemporary(job.pending, target, &err, dirFd);
  job.pending.clear();
  if (!ok) {
    const std::string text = AppendTimestamp(fmt::sprintf(texts::COPY_FAILED, job.source, target, SystemErrorText(err)));
    ReportError(ctx, text);
  }
  return ok;
}

void DiscardCopy(CopyJob& job) {
  platform::discardTemporary(job.pending);
  job.pending.clear();
  if (job.committedAhead) platform::removeCopyIfSame(job.destination, job.committedDevice, job.committedInode);
  job.committedAhead = false;
}

bool CompareFiles(const CopyContext& ctx) {
  ProgressInfo* info = ctx.progress;
  bool show = true;
  bool equal = false;
  CompareKind kind = CompareKind::Equal;
  int err = 0;
  platform::InputFile source;
  platform::InputFile destination;
  if (!source.openSource(ctx.source, &err)) {
    kind = CompareKind::SourceUnopened;
  } else if (!destination.open(ctx.destination, &err)) {
    kind = CompareKind::CopyUnopened;
  }
  if (kind == CompareKind::Equal) {
    const std::uint64_t size = source.size();
    if (info) {
      info->fileSize = size;
      info->fileDone = 0;
    }
    if (ctx.showsFileProgress(size))
      ctx.notify(NOTIFY_FILE_START);
    else
      show = false;
    auto a = std::make_unique<char[]>(kCompareChunk);
    auto b = std::make_unique<char[]>(kCompareChunk);
    for (;;) {
      // Each buffer filled as far as the file allows, so that short reads of
      // one side never look like a difference.
      const long long na = source.tryReadFull(a.get(), kCompareChunk, &err);
      if (na < 0) {
        kind = CompareKind::SourceUnreadable;
        break;
      }
      const long long nb = destination.tryReadFull(b.get(), kCompareChunk, &err);
      if (nb < 0) {
        kind = CompareKind::CopyUnreadable;
        break;
      }
      if (na != nb) {
        kind = CompareKind::Different;
        break;
      }
      if (na == 0) {
        equal = true;
        break;
      }
      if (std::memcmp(a.get(), b.get(), static_cast<std::size_t>(na)) != 0) {
        kind = CompareKind::Different;
        break;
      }
      if (show && info) {
        info->fileDone += static_cast<std::uint64_t>(na);
        ctx.notify(NOTIFY_FILE_STEP);
      }
    }
  }
  source.close();
  destination.close();
  if (show) {
    if (info) {
      info->fileSize = 0;
      info->fileDone = 0;
    }
    ctx.notify(NOTIFY_FILE_START);
  }
  if (equal) return true;
  ReportCompareFailure(ctx, kind, err);
  return false;
}

void ReportCompareFailure(const CopyContext& ctx, CompareKind kind, int err) {
  const std::string& copy = ctx.destinationName.empty() ? ctx.destination : ctx.destinationName;
  std::string text;
  switch (kind) {
    case CompareKind::SourceUnopened: text = fmt::sprintf(texts::COMPARE_OPEN_SOURCE, ctx.source); break;
    case CompareKind::CopyUnopened: text = fmt::sprintf(texts::COMPARE_OPEN_DEST, copy); break;
    case CompareKind::SourceUnreadable: text = fmt::sprintf(texts::COMPARE_READ_SOURCE, ctx.source); break;
    case CompareKind::CopyUnreadable: text = fmt::sprintf(texts::COMPARE_READ_DEST, copy); break;
    default: text = fmt::sprintf(texts::COMPARE_DIFFERENT, ctx.source, copy); break;
  }
  if (kind != CompareKind::Equal && kind != CompareKind::Different) text += fmt::sprintf(texts::COMPARE_SYSTEM_TEXT, SystemErrorText(err));
  ReportError(ctx, AppendTimestamp(text));
}

bool ClearFileAttributes(const std::string& path, std::uint32_t mask, const CopyContext& ctx,
                         bool* archiveUnsupported) {
  // Nothing there, or a link: the copy replaces a link itself and nothing is
  // ever changed through one.
  if (auto l = platform::lstatPath(path); !l || l->isSymlink) return true;
  std::uint32_t attributes = 0;
  int err = 0;
  bool failed = false;
  if (!platform::getFileAttributes(path, attributes, &err)) {
    failed = true;
  } else if (attributes & mask) {
    bool unsupported = false;
    if (!platform::setFileAttributes(path, attributes & ~mask, &err, &unsupported)) failed = true;
    if (unsupported && archiveUnsupported) *archiveUnsupported = true;
  }
  if (!failed) return true;
  ReportLine(ctx, fmt::sprintf(texts::ATTRIBUTES_FAILED, path, SystemErrorText(err)));
  return false;
}

bool ResetArchiveBit(const std::string& source, const platform::FileStatus& before, const CopyContext& ctx,
                     bool* changed, bool* archiveUnsupported) {
  int err = 0;
  if (platform::resetArchiveBit(source, before, changed, &err, archiveUnsupported)) return true;
  ReportLine(ctx, fmt::sprintf(texts::ATTRIBUTES_FAILED, source, SystemErrorText(err)));
  return false;
}

void RepairFileTimes(const std::string& path) {
  auto st = platform::statPath(path);
  if (!st) return;
  const platform::FileTime now = platform::fileTimeFromUnix(static_cast<std::int64_t>(std::time(nullptr)), 0);
  bool repaired = false;
  platform::FileTime lastWrite = st->lastWrite;
  platform::FileTime lastAccess = st->lastAccess;
  if (platform::unixSecondsFromFileTime(lastWrite) < 0) {
    lastWrite = now;
    repaired = true;
  }
  if (platform::unixSecondsFromFileTime(lastAccess) < 0) {
    lastAccess = now;
    repaired = true;
  }
  if (repaired) platform::setFileTimes(path, lastWrite, lastAccess);
}

}  // namespace kalvero
