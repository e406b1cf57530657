#include "restore/HardLinks.h"

#include <cerrno>

#include "platform/FileCopy.h"
#include "platform/FileSystem.h"
#include "platform/OwnTemporary.h"

namespace kalvero {

namespace {

// destination becomes a name of earlier: linked under a hidden name beside
// it, then renamed over whatever destination held. False leaves nothing.
bool LinkInPlace(const std::string& earlier, const std::string& destination) {
  const auto copy = platform::lstatPath(earlier);
  if (!copy || copy->kind != platform::EntryKind::File || copy->isSymlink) return false;
  const auto present = platform::lstatPath(destination);
  // A rename onto another name of the same file would leave both names.
  if (present && present->device == copy->device && present->inode == copy->inode) return true;
  for (int attempt = 0; attempt < 10; ++attempt) {
    const std::string temporary = platform::ownTemporaryBeside(destination);
    int err = 0;
    if (platform::linkPath(earlier, temporary, &err)) return platform::commitTemporary(temporary, destination);
    if (err != EEXIST) return false;
  }
  return false;
}

}  // namespace

bool RestoredHardLinks::copyOrLink(const std::string& source, const std::string& destination, int* err) {
  const auto status = platform::lstatPath(source);
  if (!status || status->links < 2) return platform::copyFile(source, destination, {}, err);
  const auto key = std::make_pair(status->device, status->inode);
  if (const auto found = restored_.find(key); found != restored_.end() && LinkInPlace(found->second, destination))
    return true;
  if (!platform::copyFile(source, destination, {}, err)) return false;
  restored_.emplace(key, destination);
  return true;
}

}  // namespace kalvero
