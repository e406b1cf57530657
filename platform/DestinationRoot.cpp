#include "platform/DestinationRoot.h"

#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <cerrno>

#include "platform/SysCall.h"
#include "platform/TreeCopy.h"
#include "platform/PathUtil.h"

namespace kalvero::platform {

void DestinationRoot::begin(const std::string& root) {
  root_ = WithoutTrailingSlash(root);
  struct stat st {};
  // The root may be the user's link to the stick: followed, as the user wrote it.
  existed_ = sys::stat(root_.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
  mode_ = existed_ ? st.st_mode & 07777 : 0;
  if (existed_) makeOwnerWritable(root_);
}

bool DestinationRoot::finish(const std::string& sourceRoot, int* err) {
  struct stat dst {}, src {};
  if (root_.empty() || sys::stat(root_.c_str(), &dst) != 0 || !S_ISDIR(dst.st_mode)) return true;  // nothing made
  // The source root as the user named it, a link to it followed as the walk does.
  char resolved[PATH_MAX];
  const std::string source = ::realpath(sourceRoot.c_str(), resolved) ? std::string(resolved) : sourceRoot;
  if (!existed_) return copyDirectoryAttributes(source, root_, err);
  if ((dst.st_mode & 07777) != mode_ && sys::chmod(root_.c_str(), mode_) != 0) return sys::fail(err, errno);
  if (sys::stat(source.c_str(), &src) != 0) return sys::fail(err, errno);
  // An unchanged root is not written again (a run without changes writes nothing).
  if (dst.st_mtim.tv_sec == src.st_mtim.tv_sec && dst.st_mtim.tv_nsec == src.st_mtim.tv_nsec) return true;
  const struct timespec times[2] = {src.st_atim, src.st_mtim};
  for (;;) {
    if (int injected = fault::check(fault::Call::SetTimes, root_.c_str())) {
      if (injected == EINTR) continue;
      return sys::fail(err, injected);
    }
    if (::utimensat(AT_FDCWD, root_.c_str(), times, 0) == 0) return true;
    if (errno != EINTR) return sys::fail(err, errno);
  }
}

}  // namespace kalvero::platform
