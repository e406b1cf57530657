// The links and directories of a backup, restored around its files.
#include <cerrno>

#include <fmt/printf.h>

#include "run/RunReport.h"
#include "platform/PathUtil.h"
#include "diag/ErrorText.h"
#include "platform/FileSystem.h"
#include "platform/TreeCopy.h"
#include "restore/RestoreJob.h"
#include "restore/RestoreTexts.h"
#include "restore/TargetPath.h"

namespace kalvero {

namespace t = restore_text;

std::string CreateRestoredDirectory(const std::string& destinationRoot, const std::string& target) {
  int err = 0;
  if (!PathStaysBelowRoot(destinationRoot, target, true))
    err = ELOOP;
  else if (!MakeDestinationDirectories(destinationRoot, target, &err) && err == 0)
    err = EEXIST;
  return err == 0 ? std::string() : fmt::sprintf(t::kDirectoryFailed, target, SystemErrorText(err));
}

std::string RestoreLink(const std::string& source, const std::string& destinationRoot, const std::string& target,
                        std::unordered_set<std::string>& runLinks) {
  int err = 0;
  if (!PathStaysBelowRoot(destinationRoot, target, false, &runLinks)) {
    err = ELOOP;
  } else {
    MakeDestinationDirectories(destinationRoot, ParentDirectory(target));
    if (platform::copySymlink(source, target, &err))
      runLinks.insert(target);
    else if (err == 0)
      err = EIO;
  }
  if (err == 0) return {};
  return AppendTimestamp(fmt::sprintf(t::kCopyFailed, source, target, SystemErrorText(err)));
}

std::string FinishDirectory(const std::string& source, const std::string& destinationRoot, const std::string& target,
                            const std::unordered_set<std::string>& runLinks) {
  const auto st = platform::lstatPath(target);
  // The user's own link to a directory elsewhere keeps that directory as it is.
  if (st && st->isSymlink && !runLinks.count(target)) return {};
  int err = 0;
  if (!st || st->isSymlink || !PathStaysBelowRoot(destinationRoot, target, true, &runLinks))
    err = st ? ELOOP : ENOENT;
  else if (!platform::copyDirectoryAttributes(source, target, &err) && err == 0)
    err = EIO;
  return err == 0 ? std::string() : fmt::sprintf(t::kDirectoryAttributesFailed, source, target, SystemErrorText(err));
}

}  // namespace kalvero
