#include "backup/DirectoryCheck.h"

#include <fmt/printf.h>

#include "backup/BackupTexts.h"
#include "backup/MountGuard.h"
#include "platform/PathUtil.h"

namespace kalvero {
namespace {

// A missing destination that the backup makes: the nearest directory above
// it exists and no unplugged drive lies in the way.
bool madeByTheBackup(const std::string& destination) {
  if (IsOnUnmountedDrive(destination)) return false;
  std::string path = WithoutTrailingSlash(destination);
  for (;;) {
    std::string parent = WithoutTrailingSlash(ParentDirectory(path));
    if (parent.empty() || parent == path) return false;
    const PathKind kind = GetPathKind(parent);
    if (kind != PathKind::Nothing) return kind == PathKind::Directory;  // a directory above it, or a file in the way
    path = parent;
  }
}

}  // namespace

DirectoryCheckResult CheckDirectories(const JobList& jobs) {
  std::string sources, destinations, created;
  for (const DirPair& pair : jobs) {
    if (pair.active == 0) continue;
    if (GetPathKind(pair.source) != PathKind::Directory) sources += pair.source + "\r\n";
    if (GetPathKind(pair.destination) == PathKind::Directory) continue;
    if (GetPathKind(pair.destination) == PathKind::Nothing && madeByTheBackup(pair.destination))
      created += fmt::sprintf(texts::CHECK_DESTINATION_CREATED, pair.destination) + "\r\n";
    else
      destinations += pair.destination + "\r\n";
  }
  DirectoryCheckResult r;
  if (!sources.empty())
    r.text = fmt::sprintf(texts::CHECK_SOURCES_MISSING, sources) + "\r\n";
  else
    r.text = std::string(texts::CHECK_SOURCES_PRESENT) + "\r\n\r\n";
  if (!destinations.empty())
    r.text += fmt::sprintf(texts::CHECK_DESTINATIONS_MISSING, destinations) + "\r\n";
  else if (created.empty())
    r.text += std::string(texts::CHECK_DESTINATIONS_PRESENT) + "\r\n\r\n";
  r.text += created;
  r.anythingMissing = !sources.empty() || !destinations.empty();
  // A destination on a drive that is not plugged in: its pair would not be run.
  for (const DirPair& pair : jobs) {
    if (pair.active && IsOnUnmountedDrive(pair.destination)) r.text += UnmountedDriveLine(pair.destination) + "\r\n";
  }
  return r;
}

}  // namespace kalvero
