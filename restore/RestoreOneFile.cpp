#include <cerrno>

#include <fmt/printf.h>

#include "run/RunReport.h"
#include "platform/PathUtil.h"
#include "diag/ErrorText.h"
#include "platform/FileCopy.h"
#include "platform/Files.h"
#include "restore/RestoreJob.h"
#include "restore/RestoreTexts.h"
#include "restore/TargetKeep.h"
#include "restore/TargetPath.h"

namespace kalvero {

bool HasZipExtension(const std::string& path) {
  const auto slash = path.find_last_of('/');
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  if (name.size() < 4) return false;
  const std::string ext = name.substr(name.size() - 4);
  return ext[0] == '.' && (ext[1] | 0x20) == 'z' && (ext[2] | 0x20) == 'i' && (ext[3] | 0x20) == 'p';
}

namespace {

// A plain copy to the same relative place below the destination root.
void copyPlain(RestoreJob& job, std::vector<std::string>& errors, RestoreContext& ctx) {
  const std::string relative = job.source.substr(job.sourceRoot.size());
  job.destination = job.destinationRoot + relative;
  int err = 0;
  if (!PathStaysBelowRoot(job.destinationRoot, job.destination, false, ctx.runLinks)) {
    err = ELOOP;  // a file or a link that leads nowhere or was made by this run lies in the way
  } else {
    MakeDestinationDirectories(job.destinationRoot, ParentDirectory(job.destination));
    TargetReplacement replacement(job.source, job.destination, ctx);
    if (replacement.leaveAsItIs()) return;
    if (!replacement.refusal().empty()) {
      errors.push_back(replacement.refusal());
      return;
    }
    const bool copied = ctx.hardLinks.copyOrLink(job.source, job.destination, &err);
    if (!copied && err == 0) err = EIO;
    replacement.end(copied);
  }
  if (err != 0)
    errors.push_back(AppendTimestamp(
        fmt::sprintf(restore_text::kCopyFailed, job.source, job.destination, SystemErrorText(err))));
}

}  // namespace

void RestoreContext::note(const std::string& line) const {
  ReportToLogPage(reporter, line);
  if (runLog) WriteLogLine(*runLog, line);
}

bool RestoreOneFile(RestoreJob& job, RestoreContext& ctx) {
  std::vector<std::string> errors;
  if (job.isArchive) {
    if (ctx.progress) ctx.progress->currentSource = job.source;
    ctx.notify(NOTIFY_UNPACKING);
    job.unpackedSize = DecompressArchive(job.source, job.destinationRoot, errors, job.ownArchivesOnly, ctx,
                                         job.source.substr(job.sourceRoot.size()));
  } else {
    copyPlain(job, errors, ctx);
  }
  for (const std::string& text : errors) {
    ReportToLogPage(ctx.reporter, text);
    if (ctx.runLog) WriteLogLine(*ctx.runLog, text);
  }
  return errors.empty();
}

}  // namespace kalvero
