#pragma once
// What a check covers: the destination of each active pair (with its source
// for the source comparison), or one folder named by the user; and the
// backup folders below such a destination that carry a checksum list (the
// destination itself, and each dated folder).
#include <string>
#include <vector>

namespace kalvero {

struct VerifyTarget {
  std::string root;    // a pair's destination, or the folder given
  std::string source;  // the pair's source ("" when not known)
  bool dated = false;  // the pair writes dated folders: its root need not hold a list
};

// The active pairs of the settings file, each destination once.
std::vector<VerifyTarget> TargetsOfSettings(const std::string& settingsPath);

// A folder given by the user: its pair's source when it is an active pair's
// destination or one of its dated folders (settingsPath may be "" or missing).
VerifyTarget TargetOfFolder(const std::string& folder, const std::string& settingsPath);

struct BackupFolders {
  std::vector<std::string> withList;  // the root first when it has a list, then the dated folders by name
  bool rootWithoutList = false;       // the root should have had a list and has none
};
BackupFolders FoldersOf(const VerifyTarget& target);

}  // namespace kalvero
