#pragma once
// Copying one file of a backup (or having it compressed), verifying a copy
// byte for byte, clearing attribute bits, and reporting a failure as one
// line to the run log and the log page.
#include <atomic>
#include <cstdint>
#include <string>

#include "backup/CopyJob.h"
#include "diag/ErrorText.h"
#include "run/RunReport.h"
#include "platform/FileSystem.h"

namespace kalvero {

class ZipArchiveLayer;
struct PreparedCompression;

// One line to the open run log (if any) and the log page; a write failure of
// the log throws platform::FileError.
void ReportLine(const CopyContext& ctx, const std::string& text);  // one line, ended here
// ReportLine plus one error for the pair and the run.
void ReportError(const CopyContext& ctx, const std::string& text);

// Copies job.source to job.destination (with the times of job.timeSource, a
// time before 1970 too), or compresses it when job.compress
// is set. Empties job.finalName on entry. With job.deferCommit the copy stays
// under job.pending until CommitCopy or DiscardCopy. False after a reported,
// counted failure, or with job.cancelled set (and nothing reported) when
// "Abbrechen" broke it off. zip may be null only when nothing is compressed.
// With full set, a failure for lack of space is not reported: its errno is
// left in *full for the caller to try again.
bool CopyOneFile(CopyJob& job, const CopyContext& ctx, ZipArchiveLayer* zip, int* full = nullptr);
// The destination ran out of space (or of the user's quota).
bool IsNoSpace(int err);
// The compression of CopyOneFile without a word to anyone, for a worker
// thread: touches only the file's own hidden archive (left in job.pending,
// with the source's times), stops when cancel is set; *error describes a
// failure. job.deferCommit must be set. With steps set, the compression's
// NOTIFY_FILE_STEPs go to it on this thread, record holding the bytes so far.
bool CompressQuietly(CopyJob& job, ZipArchiveLayer& zip, const std::atomic<int>* cancel, CompressionError* error,
                     RunReporter* steps = nullptr, ProgressInfo* record = nullptr);
// A plain copy into the hidden temporary beside job.destination on a worker:
// nothing reported, the errno of a failure in *err (ECANCELED after a cancel).
bool CopyQuietly(CopyJob& job, const std::atomic<int>* cancel, int* err);
// The run thread's use of a worker's finished plain copy: shown as copied;
// a cancel meanwhile makes it a cancelled copy (job.pending still to discard).
bool TakeCopiedFile(CopyJob& job, const PreparedCompression& done, const CopyContext& ctx);
// Takes a worker's compression (its job, ok and error) into job on the run
// thread: sends and reports what CopyOneFile would have, the steps of a large
// file at once. Returns like CopyOneFile.
bool TakeCompressedCopy(CopyJob& job, const PreparedCompression& done, const CopyContext& ctx);
// What CompareArchive sends and reports for a comparison a worker already
// made (kind and err from CompareArchiveQuietly, size: the source's).
bool TakeComparison(const CopyContext& ctx, CompareKind kind, int err, std::uint64_t size);

// Renames job.pending over the copy's name (job.finalName, else
// job.destination); a failure is reported and counted like a copy failure.
bool CommitCopy(CopyJob& job, const CopyContext& ctx, int dirFd = -1);
// Removes job.pending: the previous copy stays as it was.
void DiscardCopy(CopyJob& job);

// Compares ctx.source with ctx.destination; true only when both could be read
// to the end and are equal. Failures are reported and counted.
bool CompareFiles(const CopyContext& ctx);
// The report of a failed comparison: an open or read failure of source or
// copy (with the system text of err), or a difference; reported and counted.
void ReportCompareFailure(const CopyContext& ctx, CompareKind kind, int err);

// Clears the bits of mask (platform::ATTR_READONLY / ATTR_ARCHIVE) on path.
// True when nothing had to be reported (a missing path is fine). Reports but
// does not count. *archiveUnsupported is set when the file system cannot keep
// the archive bit.
bool ClearFileAttributes(const std::string& path, std::uint32_t mask, const CopyContext& ctx,
                         bool* archiveUnsupported = nullptr);

// Resets the source's archive bit to its state before the copy (see
// platform::resetArchiveBit); a failure is reported, not counted.
bool ResetArchiveBit(const std::string& source, const platform::FileStatus& before, const CopyContext& ctx,
                     bool* changed, bool* archiveUnsupported);

// Replaces a last-write or last-access time before 1970 by now (such times
// cannot be represented by the date filter). Used on archives only: the source
// is never changed. Failures are ignored.
void RepairFileTimes(const std::string& path);

}  // namespace kalvero
