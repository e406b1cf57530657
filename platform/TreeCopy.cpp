#include "platform/TreeCopy.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <random>
#include <vector>

#include "platform/FaultInjection.h"
#include "platform/OwnTemporary.h"
#include "platform/SysCall.h"

namespace kalvero::platform {

namespace {

thread_local MetadataLosses t_losses;

constexpr const char* kArchiveAttr = "user.kalvero.archived";

// Only what belongs to the user's data travels: user xattrs (not our own
// archive marker) and POSIX ACLs; security and trusted names stay behind.
bool carried(const std::string& name, bool directory) {
  if (name == kArchiveAttr) return false;
  if (name.rfind("user.", 0) == 0) return true;
  if (name == "system.posix_acl_access") return true;
  return directory && name == "system.posix_acl_default";
}

std::vector<std::string> xattrNames(int fd) {
  std::vector<char> buffer(1024);
  for (;;) {
    if (fault::checkRetrying(fault::Call::GetXattr, nullptr)) return {};
    const ssize_t n = ::flistxattr(fd, buffer.data(), buffer.size());
    if (n >= 0) {
      std::vector<std::string> names;
      for (ssize_t i = 0; i < n;) {
        std::string name(buffer.data() + i);
        i += static_cast<ssize_t>(name.size()) + 1;
        names.push_back(std::move(name));
      }
      return names;
    }
    if (errno == EINTR) continue;
    if (errno != ERANGE || buffer.size() > (1u << 20)) return {};  // none, or not readable: nothing to carry
    buffer.resize(buffer.size() * 4);
  }
}

bool readXattr(int fd, const std::string& name, std::vector<char>& value) {
  value.resize(256);
  for (;;) {
    const ssize_t n = ::fgetxattr(fd, name.c_str(), value.data(), value.size());
    if (n >= 0) {
      value.resize(static_cast<std::size_t>(n));
      return true;
    }
    if (errno == EINTR) continue;
    if (errno != ERANGE || value.size() > (1u << 20)) return false;
    value.resize(value.size() * 8);
  }
}

bool writeXattr(int fd, const std::string& name, const std::vector<char>& value, const char* pathForFaults) {
  for (;;) {
    if (int injected = fault::check(fault::Call::SetXattr, pathForFaults)) {
      if (injected == EINTR) continue;
      return false;
    }
    if (::fsetxattr(fd, name.c_str(), value.data(), value.size(), 0) == 0) return true;
    if (errno != EINTR) return false;
  }
}

void carryXattrs(int in, int out, bool directory, const char* pathForFaults) {
  if (in < 0) return;
  std::vector<char> value;
  for (const std::string& name : xattrNames(in)) {
    if (!carried(name, directory) || !readXattr(in, name, value)) continue;
    if (!writeXattr(out, name, value, pathForFaults)) t_losses.extendedAttributes = true;
  }
}

// Hidden name beside destination for a link made in two steps: one of the
// program's own temporaries, which the walk never takes.
std::string temporaryLinkName(const std::string& destination) { return ownTemporaryBeside(destination); }

}  // namespace

MetadataLosses takeMetadataLosses() {
  const MetadataLosses l = t_losses;
  t_losses = {};
  return l;
}

void addMetadataLosses(const MetadataLosses& losses) {
  t_losses.extendedAttributes = t_losses.extendedAttributes || losses.extendedAttributes;
  t_losses.owner = t_losses.owner || losses.owner;
}

bool carryMetadata(int in, int out, const struct stat& st, const char* pathForFaults) {
  const bool directory = S_ISDIR(st.st_mode);
  const uid_t me = ::geteuid();
  bool ownerKept = st.st_uid == me;
  bool groupKept = false;
  if (me == 0) {
    ownerKept = groupKept = !fault::checkRetrying(fault::Call::Chown, pathForFaults) &&
                            ::fchown(out, st.st_uid, st.st_gid) == 0;
    if (!ownerKept) t_losses.owner = true;
  } else {
    struct stat now {};
    groupKept = ::fstat(out, &now) == 0 && now.st_gid == st.st_gid;
    // A group the user belongs to can be given; any other cannot.
    if (!groupKept) groupKept = ::fchown(out, static_cast<uid_t>(-1), st.st_gid) == 0;
  }
  carryXattrs(in, out, directory, pathForFaults);
  mode_t mode = st.st_mode & 07777;
  // No copy is ever setuid or setgid for someone who did not own the source.
  if (!ownerKept) mode &= ~static_cast<mode_t>(S_ISUID);
  if (!groupKept) mode &= ~static_cast<mode_t>(S_ISGID);
  if (mode != (st.st_mode & 07777)) t_losses.owner = true;
  const bool modeSet = sys::fchmod(out, mode, pathForFaults) == 0;
  const int modeError = errno;
  const struct timespec times[2] = {st.st_atim, st.st_mtim};
  if (!fault::check(fault::Call::SetTimes, pathForFaults)) ::futimens(out, times);
  errno = modeError;
  return modeSet;
}

bool copySymlink(const std::string& source, const std::string& destination, int* err) {
  struct stat st {};
  if (sys::lstat(source.c_str(), &st) != 0) return sys::fail(err, errno);
  if (!S_ISLNK(st.st_mode)) return sys::fail(err, EINVAL);
  // A target text is at most PATH_MAX - 1 bytes; one byte more shows truncation.
  std::vector<char> target(PATH_MAX + 1);
  const ssize_t n = ::readlink(source.c_str(), target.data(), target.size());
  if (n < 0) return sys::fail(err, errno);
  if (static_cast<std::size_t>(n) >= target.size()) return sys::fail(err, ENAMETOOLONG);
  target[static_cast<std::size_t>(n)] = 0;

  struct stat existing {};
  if (::lstat(destination.c_str(), &existing) == 0 && S_ISDIR(existing.st_mode)) return sys::fail(err, EISDIR);
  std::string temp;
  for (int attempt = 0;; ++attempt) {
    temp = temporaryLinkName(destination);
    // Creating the link is the creation of a name, as an open with O_CREAT is.
    if (int injected = fault::checkRetrying(fault::Call::Open, temp.c_str())) return sys::fail(err, injected);
    if (::symlink(target.data(), temp.c_str()) == 0) break;
    if (errno != EEXIST || attempt > 100) return sys::fail(err, errno);
  }
  if (::geteuid() == 0 && (fault::checkRetrying(fault::Call::Chown, temp.c_str()) ||
                           ::lchown(temp.c_str(), st.st_uid, st.st_gid) != 0))
    t_losses.owner = true;
  const struct timespec times[2] = {st.st_atim, st.st_mtim};
  ::utimensat(AT_FDCWD, temp.c_str(), times, AT_SYMLINK_NOFOLLOW);
  if (sys::rename(temp.c_str(), destination.c_str()) != 0) {
    const int e = errno;
    ::unlink(temp.c_str());
    return sys::fail(err, e);
  }
  return true;
}

bool makeOwnerWritable(const std::string& dir, int* err) {
  struct stat st {};
  if (sys::lstat(dir.c_str(), &st) != 0) return sys::fail(err, errno);
  constexpr mode_t kNeeded = S_IWUSR | S_IXUSR;
  if (!S_ISDIR(st.st_mode) || st.st_uid != ::geteuid() || (st.st_mode & kNeeded) == kNeeded) return true;
  if (sys::chmod(dir.c_str(), (st.st_mode & 07777) | kNeeded) != 0) return sys::fail(err, errno);
  return true;
}

// A run over an unchanged tree writes nothing to its directories, and no
// inode goes to the journal for them.
bool directoryAttributesMatch(const std::string& source, const std::string& destination) {
  const auto in = lstatPath(source);
  const auto out = in ? lstatPath(destination) : std::nullopt;
  if (!in || !out || in->kind != EntryKind::Directory || out->kind != EntryKind::Directory) return false;
  return sameDirectoryAttributes(*in, *out) && !directoryXattrsToCarry(source);
}

bool sameDirectoryAttributes(const FileStatus& source, const FileStatus& copy) {
  return source.mode == copy.mode && source.uid == copy.uid && source.gid == copy.gid &&
         source.mtimeSeconds == copy.mtimeSeconds && source.mtimeNanoseconds == copy.mtimeNanoseconds;
}

bool directoryXattrsToCarry(const std::string& directory) {
  char names[1024];
  const ssize_t n = ::llistxattr(directory.c_str(), names, sizeof names);
  if (n < 0) return true;  // too many to look at here, or unreadable: the full step decides
  for (ssize_t i = 0; i < n; i += static_cast<ssize_t>(std::strlen(names + i)) + 1)
    if (carried(names + i, true)) return true;
  return false;
}

bool copyDirectoryAttributes(const std::string& source, const std::string& destination, int* err) {
  if (directoryAttributesMatch(source, destination)) return true;
  const int flags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW;
  const int in = sys::open(source.c_str(), flags);
  if (in < 0) return sys::fail(err, errno);
  struct stat st {};
  if (sys::fstat(in, &st, source.c_str()) != 0) {
    const int e = errno;
    sys::close(in);
    return sys::fail(err, e);
  }
  const int out = sys::open(destination.c_str(), flags);
  if (out < 0) {
    const int e = errno;
    sys::close(in);
    return sys::fail(err, e);
  }
  const bool ok = carryMetadata(in, out, st, destination.c_str());
  const int e = errno;
  sys::close(in);
  sys::close(out);
  return ok || sys::fail(err, e);
}

}  // namespace kalvero::platform
