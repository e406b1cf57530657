#include "platform/Leftovers.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <functional>
#include <vector>

#include "platform/OwnTemporary.h"
#include "platform/PathUtil.h"
#include "platform/TreeRemoval.h"

namespace kalvero::platform {
namespace {

// Plain system calls: a sweep that fails leaves the entry for the next run,
// and the run goes on either way.

// Another user's file is never ours: only root's temporaries get their
// source's owner.
bool mayBeOurs(const struct stat& st) { return ::geteuid() == 0 || st.st_uid == ::geteuid(); }

std::vector<std::string> namesIn(int fd) {
  std::vector<std::string> names;
  const int dup = ::dup(fd);
  if (dup < 0) return names;
  DIR* d = ::fdopendir(dup);
  if (!d) {
    ::close(dup);
    return names;
  }
  while (const dirent* e = ::readdir(d)) {
    const std::string name = e->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  ::closedir(d);
  return names;
}

int sweep(const std::string& dir, const std::function<bool(const std::string&)>& ours) {
  const int fd = ::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return 0;
  int removed = 0;
  for (const std::string& name : namesIn(fd)) {
    if (!ours(name)) continue;
    struct stat st {};
    if (::fstatat(fd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 || !mayBeOurs(st)) continue;
    if (S_ISDIR(st.st_mode) ? removeTreeAt(fd, name) : ::unlinkat(fd, name.c_str(), 0) == 0) ++removed;
  }
  ::close(fd);
  return removed;
}

}  // namespace

int SweepOwnLeftovers(const std::string& dir) { return sweep(dir, isProgramTemporaryName); }

int SweepOwnLeftoversOf(const std::string& file) {
  const auto slash = file.rfind('/');
  const std::string dir = slash == std::string::npos ? std::string() : file.substr(0, slash + 1);
  return sweep(dir, [&file](const std::string& name) { return isOwnTemporaryOf(name, file); });
}

void LeftoverSweep::visit(const std::string& dirIn) {
  if (!enabled_) return;
  const std::string dir = WithoutTrailingSlash(dirIn);
  if (visited_.insert(dir).second) removed_ += SweepOwnLeftovers(dir);
}

int LeftoverSweep::takeRemoved() {
  const int n = removed_;
  removed_ = 0;
  return n;
}

}  // namespace kalvero::platform
