#include "verify/VerifyTargets.h"

#include <algorithm>

#include "platform/DirectoryReader.h"
#include "platform/FileSystem.h"
#include "platform/PathUtil.h"
#include "run/RunSettings.h"
#include "run/Walk.h"
#include "verify/FolderWalk.h"

namespace kalvero {

std::vector<VerifyTarget> TargetsOfSettings(const std::string& settingsPath) {
  const RunSettings settings(settingsPath);
  const BackupOptions options = settings.savedOptions();
  std::vector<VerifyTarget> targets;
  for (const DirPair& pair : NormaliseJobList(settings.savedJobs())) {
    if (!pair.active) continue;
    const std::string root = WithoutTrailingSlash(pair.destination);
    const bool known = std::any_of(targets.begin(), targets.end(), [&](const VerifyTarget& t) { return t.root == root; });
    if (!known) targets.push_back({root, WithoutTrailingSlash(pair.source), options.SubVerzDatum != 0});
  }
  return targets;
}

VerifyTarget TargetOfFolder(const std::string& folder, const std::string& settingsPath) {
  VerifyTarget target{WithoutTrailingSlash(platform::absolutePath(folder)), {}, true};
  const auto settings = settingsPath.empty() ? std::nullopt : platform::statPath(settingsPath);
  if (!settings || settings->kind != platform::EntryKind::File) return target;
  for (const VerifyTarget& pair : TargetsOfSettings(settingsPath)) {
    const std::string dated = WithTrailingSlash(pair.root);
    const bool inside = target.root.rfind(dated, 0) == 0 && IsDatedFolderName(target.root.substr(dated.size()));
    if (target.root == pair.root || inside) {
      target.source = pair.source;
      target.dated = pair.dated && !inside;
    }
  }
  return target;
}

BackupFolders FoldersOf(const VerifyTarget& target) {
  BackupFolders folders;
  const bool rootHasList = HoldsChecksumList(target.root);
  if (rootHasList) folders.withList.push_back(target.root);
  std::vector<std::string> dated;
  platform::DirectoryReader reader(target.root);
  platform::DirEntry entry;
  while (reader.next(entry)) {
    if (entry.kind != platform::EntryKind::Directory || entry.status.isSymlink || !IsDatedFolderName(entry.name))
      continue;
    const std::string path = WithTrailingSlash(target.root) + entry.name;
    if (HoldsChecksumList(path)) dated.push_back(path);
  }
  std::sort(dated.begin(), dated.end());
  folders.withList.insert(folders.withList.end(), dated.begin(), dated.end());
  folders.rootWithoutList = !rootHasList && (!target.dated || dated.empty());
  return folders;
}

}  // namespace kalvero
