#include "platform/TempFiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <random>

#include <fmt/format.h>

#include "platform/SysCall.h"
#include "platform/PathUtil.h"

namespace kalvero::platform {

std::string temporaryDirectory() {
  const char* env = std::getenv("TMPDIR");
  return WithTrailingSlash((env && *env) ? env : "/tmp");
}

std::string privateTemporaryDirectory() {
  std::string base = temporaryDirectory();
  std::string dir = base + "Kalvero-" + std::to_string(geteuid());
  if (sys::mkdir(dir.c_str(), 0700) == 0) return dir + "/";
  if (errno != EEXIST) return base;
  // Someone else's directory (or a planted symlink) must never receive our list files.
  struct stat st {};
  if (sys::lstat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != geteuid()) return base;
  if ((st.st_mode & 077) != 0 && sys::chmod(dir.c_str(), 0700) != 0) return base;
  return dir + "/";
}

std::string createUniqueTempFile(const std::string& dir, const std::string& prefix, int* err) {
  std::string d = dir;
  if (!d.empty() && d.back() != '/') d += '/';
  std::random_device rd;
  unsigned start = rd() & 0xFFFF;
  int lastErr = EEXIST;
  // Every one of the 65536 names is tried once, from a random start, before giving up.
  for (unsigned i = 0; i < 0x10000; ++i) {
    unsigned number = (start + i) & 0xFFFF;
    if (number == 0) continue;  // "0000" is never produced, as with the platform's own names
    std::string name = d + prefix + fmt::format("{:04X}", number) + ".TMP";
    int fd = sys::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
    if (fd >= 0) {
      sys::close(fd);
      return name;
    }
    lastErr = errno;
    if (lastErr != EEXIST) break;
  }
  if (err) *err = lastErr;
  return {};
}

}  // namespace kalvero::platform
