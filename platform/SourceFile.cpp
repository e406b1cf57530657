#include "platform/SourceFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/ErrorNumber.h"
#include "platform/PathUtil.h"

namespace kalvero::platform {
namespace {

int notRegular(mode_t mode) { return S_ISDIR(mode) ? EISDIR : kErrorNotRegularFile; }

}  // namespace

int openSourceFile(const std::string& path, struct stat* out, bool seenRegular, int dir) {
  const char* name = NameIn(dir, path);
  if (dir < 0) dir = AT_FDCWD;
  // The status first: a FIFO or device is not even opened (an open can wake
  // a writer waiting on a FIFO or move a device).
  struct stat st {};
  if (!seenRegular && ::fstatat(dir, name, &st, AT_SYMLINK_NOFOLLOW) != 0) return -1;
  if (!seenRegular && !S_ISREG(st.st_mode)) {
    errno = notRegular(st.st_mode);
    return -1;
  }
  // Replaced since then: O_NOFOLLOW refuses a link, O_NONBLOCK keeps a FIFO
  // from waiting for a writer; fstat says what was opened.
  int fd;
  do fd = ::openat(dir, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  while (fd < 0 && errno == EINTR);
  if (fd < 0) {
    if (errno == ELOOP) errno = kErrorNotRegularFile;
    return -1;
  }
  int e = 0;
  if (::fstat(fd, &st) != 0)
    e = errno;
  else if (!S_ISREG(st.st_mode))
    e = notRegular(st.st_mode);
  else if (::fcntl(fd, F_SETFL, 0) != 0)  // O_NONBLOCK off: the only flag of ours F_SETFL changes
    e = errno;
  if (e != 0) {
    ::close(fd);
    errno = e;
    return -1;
  }
  if (out) *out = st;
  return fd;
}

}  // namespace kalvero::platform
