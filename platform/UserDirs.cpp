#include "platform/UserDirs.h"
#include "platform/PathUtil.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "platform/TempFiles.h"

namespace kalvero::platform {
namespace {

// Plain system calls: these directories are set up once per process, outside
// the fault seam, so an armed fault never moves them for the rest of a test.
bool ownedPrivateDirectory(const std::string& dir) {
  struct stat st {};
  if (::lstat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid()) return false;
  return (st.st_mode & 077) == 0 || ::chmod(dir.c_str(), 0700) == 0;
}

// Missing parents are made as the user's own; existing ones are taken as they are.
void makeParents(const std::string& dir) {
  const auto slash = dir.rfind('/');
  if (slash == 0 || slash == std::string::npos) return;
  const std::string parent = dir.substr(0, slash);
  if (::mkdir(parent.c_str(), 0700) != 0 && errno == ENOENT) {
    makeParents(parent);
    ::mkdir(parent.c_str(), 0700);
  }
}

}  // namespace

bool makePrivateDirectory(const std::string& dirIn) {
  const std::string dir = WithoutTrailingSlash(dirIn);
  if (dir.empty() || dir[0] != '/') return false;
  if (::mkdir(dir.c_str(), 0700) != 0 && errno == ENOENT) {
    makeParents(dir);
    ::mkdir(dir.c_str(), 0700);
  }
  return ownedPrivateDirectory(dir);
}

// The calling user's home: $HOME when it is theirs; run through sudo with
// another user's $HOME, the password database's, so root never makes files
// the user then cannot reach.
static std::string homeDirectory() {
  const char* home = std::getenv("HOME");
  struct stat st {};
  if (home && *home == '/' && ::stat(home, &st) == 0 && st.st_uid == ::geteuid()) return home;
  const struct passwd* pw = ::getpwuid(::geteuid());
  return pw && pw->pw_dir && *pw->pw_dir == '/' ? std::string(pw->pw_dir) : std::string();
}

std::string userStateDirectory() {
  const char* xdg = std::getenv("XDG_STATE_HOME");
  std::string base;
  if (xdg && *xdg == '/') {
    base = xdg;
  } else {
    base = homeDirectory();
    if (base.empty()) return {};
    base += "/.local/state";
  }
  const std::string dir = WithTrailingSlash(base) + "kalvero";
  return makePrivateDirectory(dir) ? dir + "/" : std::string();
}

std::string userRuntimeDirectory() {
  const char* xdg = std::getenv("XDG_RUNTIME_DIR");
  std::string dir;
  if (xdg && *xdg == '/') {
    dir = WithTrailingSlash(xdg) + "kalvero";
  } else {
    // The private temporary directory is 0700 and the user's when it could be
    // made; otherwise it is the shared one, which must not hold locks or sockets.
    const std::string base = temporaryDirectory();
    dir = privateTemporaryDirectory();
    if (dir == base) return {};
    dir.pop_back();
  }
  return makePrivateDirectory(dir) ? dir + "/" : std::string();
}

}  // namespace kalvero::platform
