#include "backup/CompressZip.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>
#include <memory>
#include <vector>

#include <fmt/format.h>

#include "backup/CopyVerify.h"
#include "diag/ErrorText.h"
#include "diag/Signal.h"
#include "diag/Trace.h"
#include "platform/ArchiveFile.h"
#include "platform/FileError.h"
#include "platform/FileSystem.h"
#include "platform/Files.h"
#include "platform/FileTime.h"
#include "platform/TempFiles.h"

namespace kalvero {

namespace {

constexpr std::size_t kCompareChunk = 61440;  // as the comparison of plain copies

void takeFileError(CompressionError& error, const platform::FileError& e, bool withName) {
  error.text = e.what();
  if (error.text.size() > 2047) error.text.resize(2047);
  error.cause = e.cause();
  error.osError = e.osError();
  if (withName) error.fileName = e.fileName();
}

}  // namespace

namespace {

// One compression's progress: what failed first, and the hidden file written.
struct Attempt {
  int errorId = COMPRESS_ERR_NONE;
  CompressionError error;
  bool success = false;
  std::string temporary;  // the archive under its hidden name beside the final one
};

// The archive's final name, also in job.finalName (a reserved temporary
// archive of the comparison names that one); the job's last result cleared.
std::string startJob(CopyJob& job) {
  std::string archive;
  if (!job.temporaryArchive.empty()) {
    archive = job.temporaryArchive + ".zip";
    job.temporaryArchive = archive;
  } else {
    archive = job.destination + ".zip";
  }
  job.finalName = archive;
  job.pending.clear();
  return archive;
}

// The hidden name beside archive, created empty, that the archive is written
// under; named in temporary as soon as it exists, so a failure removes it.
void reserveBeside(const std::string& archive, std::string& temporary, int dir) {
  platform::ArchiveFile reserve;
  reserve.open(archive, platform::ArchiveFile::Mode::CreateHidden, 0666, dir);
  temporary = reserve.path();
  reserve.close();
}

// Reads the source in chunks into the open entry; closes the entry when all
// of it went in. Stops at "Abbrechen" after the chunk in hand.
void writeSourceIntoEntry(ZipArchiveLayer& zip, CopyJob& job, const CopyContext& ctx, Attempt& attempt) {
  platform::InputFile source;
  int err = 0;
  if (!source.openSource(job.source, &err)) {
    attempt.errorId = COMPRESS_ERR_OPEN;
    takeFileError(attempt.error, platform::FileError(platform::causeFromErrno(err), err, job.source), false);
    return;
  }
  attempt.success = true;
  const bool showProgress = ctx.showsFileProgress(job.size);
  // Not zeroed: a cleared 640 KB per file cost more than small files take to compress.
  const auto buffer = std::make_unique_for_overwrite<unsigned char[]>(ZipArchiveLayer::kChunk);
  std::size_t n;
  do {
    KALVERO_TRACE("f.Read");
    n = source.read(buffer.get(), ZipArchiveLayer::kChunk);
    if (n > 0) {
      KALVERO_TRACE("pZip->WriteNewFile");
      zip.WriteNewFile(buffer.get(), n);
    }
    if (showProgress && ctx.progress) {
      ctx.progress->fileDone += n;
      ctx.notify(NOTIFY_FILE_STEP);
    }
    if (ctx.cancelled()) {
      attempt.errorId = COMPRESS_ERR_CANCELLED;
      attempt.error.fileName = job.source;
      attempt.success = false;
      break;
    }
  } while (n == ZipArchiveLayer::kChunk);
  source.close();
  if (attempt.success) {
    KALVERO_TRACE("pZip->CloseNewFile");
    zip.CloseNewFile();
  }
}

// The whole archive under its hidden name: our comment, one entry named by
// the source's path below the pair's root.
void writeArchive(ZipArchiveLayer& zip, CopyJob& job, const CopyContext& ctx, const std::string& archive,
                  Attempt& attempt) {
  const std::string entryName =
      job.source.size() > job.sourceRoot.size() ? job.source.substr(job.sourceRoot.size()) : std::string();
  if (!zip.IsClosed()) zip.Close(false);
  KALVERO_TRACE("Zipdatei: %s", archive);
  // On a worker, in the copy's folder held open: never through a link put in its place.
  const int dir = job.destinationDirectory ? job.destinationDirectory->fd() : -1;
  reserveBeside(archive, attempt.temporary, dir);
  zip.Open(attempt.temporary, ZipArchiveLayer::Create, dir);
  zip.SetArchiveComment(kArchiveComment);
  ZipEntryHeader header;
  KALVERO_TRACE("Quelldatei: %s", job.source);
  header.name = entryName;
  if (!entryName.empty()) {
    KALVERO_TRACE("vor pZip->OpenNewFile");
    if (zip.OpenNewFile(header, -1, job.source)) {
      KALVERO_TRACE("nach pZip->OpenNewFile");
      writeSourceIntoEntry(zip, job, ctx, attempt);
    }
  }
  KALVERO_TRACE("pZip->Close()");
  zip.Close(false);
}

// A complete archive renamed to its final name, or left hidden in
// job.pending for the caller to check before it replaces the previous one.
void placeArchive(CopyJob& job, const std::string& archive, Attempt& attempt) {
  KALVERO_TRACE("CFile::GetStatus");
  auto status = platform::statPath(attempt.temporary);
  int err = 0;
  if (job.deferCommit)
    job.pending = attempt.temporary;
  else if (!platform::renamePath(attempt.temporary, archive, &err))
    throw platform::FileError(platform::causeFromErrno(err), err, archive);
  attempt.temporary.clear();
  if (status) job.compressedSize = status->size;
}

}  // namespace

bool CompressZip(ZipArchiveLayer& zip, CopyJob& job, const CopyContext& ctx, CompressionError* error) {
  KALVERO_SIGNAL("CPageSichern::CompressZip");
  const std::string archive = startJob(job);
  Attempt attempt;
  bool afterException = false;
  try {
    writeArchive(zip, job, ctx, archive, attempt);
    if (attempt.success) placeArchive(job, archive, attempt);
  } catch (const platform::FileError& e) {
    if (attempt.errorId == COMPRESS_ERR_NONE) {
      attempt.errorId = COMPRESS_ERR_FILE;
      takeFileError(attempt.error, e, true);
    }
    attempt.success = false;
    afterException = true;
  } catch (const CZipException& e) {
    if (attempt.errorId == COMPRESS_ERR_NONE) {
      attempt.errorId = COMPRESS_ERR_ZIP;
      attempt.error.cause = e.cause();
    }
    attempt.success = false;
    afterException = true;
  }
  if (!attempt.success) DescribeCompressionError(attempt.errorId, attempt.error);
  if (error) *error = std::move(attempt.error);
  if (!zip.IsClosed()) zip.Close(afterException);
  // Nothing unfinished ever appears under the archive's name.
  if (!attempt.temporary.empty()) platform::removeFile(attempt.temporary);
  return attempt.success;
}

bool ArchiveNameFits(const std::string& destination) {
  const std::size_t slash = destination.rfind('/');
  const std::size_t name = destination.size() - (slash == std::string::npos ? 0 : slash + 1);
  return name + 4 <= NAME_MAX;
}

bool CompareArchive(ZipArchiveLayer& zip, const CopyContext& ctx) {
  int err = 0;
  const CompareKind kind = CompareArchiveQuietly(zip, ctx, &err);
  if (kind == CompareKind::Equal) return true;
  ReportCompareFailure(ctx, kind, err);
  return false;
}

CompareKind CompareArchiveQuietly(ZipArchiveLayer& zip, const CopyContext& ctx, int* errOut) {
  ProgressInfo* info = ctx.progress;
  CompareKind kind = CompareKind::Equal;
  int err = 0;
  bool equal = false;
  bool show = false;
  platform::InputFile source;
  if (!source.openSource(ctx.source, &err)) {
    kind = CompareKind::SourceUnopened;
  } else {
    const std::uint64_t size = source.size();
    if (info) {
      info->fileSize = size;
      info->fileDone = 0;
    }
    show = ctx.showsFileProgress(size);
    if (show) ctx.notify(NOTIFY_FILE_START);
    bool opened = false;
    try {
      if (!zip.IsClosed()) zip.Close(false);
      zip.Open(ctx.destination, ZipArchiveLayer::OpenExisting);
      opened = true;
      if (zip.GetArchiveComment() != kArchiveComment || zip.GetEntryCount() != 1 || !zip.OpenEntry(0)) {
        kind = CompareKind::Different;
      } else {
        std::vector<char> a(kCompareChunk), b(kCompareChunk);
        while (kind == CompareKind::Equal && !equal) {
          std::size_t na = 0, nb = 0;
          while (na < a.size()) {
            const long long n = source.tryRead(a.data() + na, a.size() - na, &err);
            if (n < 0) kind = CompareKind::SourceUnreadable;
            if (n <= 0) break;
            na += static_cast<std::size_t>(n);
          }
          while (kind == CompareKind::Equal && nb < b.size()) {
            const std::size_t n = zip.ReadEntry(b.data() + nb, b.size() - nb);
            if (n == 0) break;
            nb += n;
          }
          if (kind != CompareKind::Equal) break;
          if (na != nb || std::memcmp(a.data(), b.data(), na) != 0) {
            kind = CompareKind::Different;
          } else if (na == 0) {
            zip.CloseEntry();  // checks the CRC-32 of everything inflated
            equal = true;
          } else if (show && info) {
            info->fileDone += na;
            ctx.notify(NOTIFY_FILE_STEP);
          }
        }
      }
      zip.Close(false);
    } catch (const platform::FileError& e) {
      kind = opened ? CompareKind::CopyUnreadable : CompareKind::CopyUnopened;
      err = e.osError();
    } catch (const CZipException&) {
      kind = CompareKind::Different;  // damaged data or a wrong CRC-32: the archive does not hold the source
    }
    if (!zip.IsClosed()) zip.Close(true);
  }
  source.close();
  if (show) {
    if (info) info->fileSize = info->fileDone = 0;
    ctx.notify(NOTIFY_FILE_START);
  }
  if (errOut) *errOut = err;
  if (equal) return CompareKind::Equal;
  return kind == CompareKind::Equal ? CompareKind::Different : kind;
}

std::string ReserveTemporaryArchive(const std::string& sourcePath, int* err) {
  std::string dir = platform::privateTemporaryDirectory();
  std::string name = sourcePath.substr(sourcePath.rfind('/') == std::string::npos ? 0 : sourcePath.rfind('/') + 1);
  if (name.size() > 200) name.resize(200);
  static std::atomic<unsigned> counter{0};
  int e = 0;
  for (int attempt = 0; attempt < 100; ++attempt) {
    unsigned n = counter.fetch_add(1) + static_cast<unsigned>(platform::tickCount()) * 2654435761u;
    std::string stem = dir + name + fmt::format(".{:08x}", n);
    if (platform::createExclusiveFile(stem + ".zip", &e)) return stem;
    if (e != EEXIST) break;
  }
  if (err) *err = e;
  return {};
}

}  // namespace kalvero
