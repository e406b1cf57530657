#pragma once
// The backup's compression of one file into an archive of its own.
#include <string>

#include "backup/CopyJob.h"
#include "diag/ErrorText.h"
#include "zip/ZipArchiveLayer.h"

namespace kalvero {

// The archive comment that marks archives made by this program.
inline constexpr const char* kArchiveComment = "Compressed by Kalvero";

// Compresses job.source into (job.temporaryArchive.empty() ? job.destination
// : job.temporaryArchive) + ".zip" (job.temporaryArchive then names that
// archive). The entry name is job.source without job.sourceRoot. Sets
// job.finalName to the archive path and, on success, job.compressedSize to
// the archive file's size. The archive is written under a hidden temporary
// name beside it and renamed only when complete: on false nothing is left
// under the final name (an existing file there stays as it was), and
// *error (when set) holds the description (DescribeCompressionError). Sends
// NOTIFY_FILE_START / NOTIFY_FILE_STEP through ctx when
// ctx.showsFileProgress(job.size) and polls ctx.cancelled() after every chunk.
bool CompressZip(ZipArchiveLayer& zip, CopyJob& job, const CopyContext& ctx, CompressionError* error = nullptr);

// Whether destination + ".zip" still is a valid name: its last part may hold
// at most 255 bytes.
bool ArchiveNameFits(const std::string& destination);

// With job.deferCommit the finished archive is left under its hidden name in
// job.pending (the caller commits or discards it, backup/CopyVerify.h).

// "Compare" of an archive: reads ctx.destination back through the archive
// reader, inflates its one entry, checks its CRC-32 and compares its bytes
// with ctx.source. Failures are reported and counted as comparison failures
// (an archive that is not ours or is damaged counts as different).
bool CompareArchive(ZipArchiveLayer& zip, const CopyContext& ctx);
// The same comparison without the report: Equal, else the kind of
// ReportCompareFailure with the system error in *err.
CompareKind CompareArchiveQuietly(ZipArchiveLayer& zip, const CopyContext& ctx, int* err);

// For "Compare": reserves a unique name (created exclusively, mode 0600) in
// the private temporary subdirectory for the archive of sourcePath and
// returns it WITHOUT ".zip": put it into job.temporaryArchive. After the
// compression job.temporaryArchive names the archive itself, which is the
// only file to delete afterwards. "" with *err on failure.
std::string ReserveTemporaryArchive(const std::string& sourcePath, int* err = nullptr);

}  // namespace kalvero
