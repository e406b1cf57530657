#pragma once
// Copying one file of a backup (or having it compressed), verifying a copy
// byte for byte, clearing attribute bits, and reporting a failure as one
// line to the run log and the log page.
#include <cstdint>
#include <string>

#include "backup/CopyJob.h"

namespace kalvero {

class ZipArchiveLayer;

// text + "  [dd.mm.yyyy  hh:mm:ss]" (local time now).
std::string AppendTimestamp(const std::string& text);
// One line to the log page (when a reporter is set).
void ReportToLogPage(RunReporter* reporter, const std::string& text);
// One line to the open run log (if any) and the log page; a write failure of
// the log throws platform::FileError.
void ReportLine(const CopyContext& ctx, const std::string& text);
// ReportLine plus one error for the pair and the run.
void ReportError(const CopyContext& ctx, const std::string& text);

// Copies job.source to job.destination (with the times of job.timeSource), or
// compresses it when job.compress is set. Empties job.finalName on entry.
// False after a reported, counted failure. zip may be null only when nothing
// is compressed.
bool CopyOneFile(CopyJob& job, const CopyContext& ctx, ZipArchiveLayer* zip);

// Compares ctx.source with ctx.destination; true only when both could be read
// to the end and are equal. Failures are reported and counted.
bool CompareFiles(const CopyContext& ctx);

// Clears the bits of mask (platform::ATTR_READONLY / ATTR_ARCHIVE) on path.
// True when nothing had to be reported (a missing path is fine). Reports but
// does not count. *archiveUnsupported is set when the file system cannot keep
// the archive bit.
bool ClearFileAttributes(const std::string& path, std::uint32_t mask, const CopyContext& ctx,
                         bool* archiveUnsupported = nullptr);

// Replaces a last-write or last-access time before 1970 by now (such times
// cannot be represented by the date filter or the check file); failures are
// ignored.
void RepairFileTimes(const std::string& path);

}  // namespace kalvero
