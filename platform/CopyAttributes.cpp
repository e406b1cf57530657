#include "platform/CopyAttributes.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <utility>
#include <vector>

#include "platform/FaultInjection.h"
#include "platform/LevelOpen.h"
#include "platform/SysCall.h"
#include "platform/TreeCopy.h"

namespace kalvero::platform {

namespace {

constexpr const char* kArchiveAttr = "user.kalvero.archived";

// What a copy carries of a file: user xattrs (not the archive marker) and its ACL.
bool carried(const char* name) {
  if (std::strcmp(name, kArchiveAttr) == 0) return false;
  return std::strncmp(name, "user.", 5) == 0 || std::strcmp(name, "system.posix_acl_access") == 0;
}

// Asked once: a run never changes its user, and the compare runs per file.
bool runAsRoot() {
  static const bool root = ::geteuid() == 0;
  return root;
}

// A group this user may give a file: their own or one they belong to.
bool mayGiveGroup(std::uint32_t gid) {
  if (gid == ::getegid()) return true;
  static const std::vector<gid_t> groups = [] {
    const int n = ::getgroups(0, nullptr);
    std::vector<gid_t> g(n > 0 ? static_cast<std::size_t>(n) : 0);
    if (n > 0 && ::getgroups(n, g.data()) != n) g.clear();
    return g;
  }();
  return std::find(groups.begin(), groups.end(), static_cast<gid_t>(gid)) != groups.end();
}

// The carried names of a file, sorted; false when they cannot be read.
bool carriedNames(const std::string& path, std::vector<std::string>& names) {
  std::vector<char> buffer(1024);
  for (;;) {
    if (fault::checkRetrying(fault::Call::GetXattr, path.c_str())) return false;
    const ssize_t n = ::llistxattr(path.c_str(), buffer.data(), buffer.size());
    if (n >= 0) {
      names.clear();
      for (ssize_t i = 0; i < n; i += static_cast<ssize_t>(std::strlen(buffer.data() + i)) + 1)
        if (carried(buffer.data() + i)) names.emplace_back(buffer.data() + i);
      std::sort(names.begin(), names.end());
      return true;
    }
    if (errno == ENOTSUP) {  // a file system without xattrs holds none
      names.clear();
      return true;
    }
    if (errno != EINTR && (errno != ERANGE || buffer.size() > (1u << 20))) return false;
    if (errno == ERANGE) buffer.resize(buffer.size() * 4);
  }
}

bool valueOf(const std::string& path, const std::string& name, std::vector<char>& value) {
  value.resize(256);
  for (;;) {
    const ssize_t n = ::lgetxattr(path.c_str(), name.c_str(), value.data(), value.size());
    if (n >= 0) {
      value.resize(static_cast<std::size_t>(n));
      return true;
    }
    if (errno != EINTR && (errno != ERANGE || value.size() > (1u << 20))) return false;
    if (errno == ERANGE) value.resize(value.size() * 8);
  }
}

// Removes the carried xattrs of out that in no longer has.
void removeStale(int in, int out, const char* pathForFaults) {
  std::vector<char> inNames(65536), outNames(65536);
  const ssize_t ni = ::flistxattr(in, inNames.data(), inNames.size());
  const ssize_t no = ::flistxattr(out, outNames.data(), outNames.size());
  if (ni < 0 || no < 0) return;
  for (ssize_t i = 0; i < no; i += static_cast<ssize_t>(std::strlen(outNames.data() + i)) + 1) {
    const char* name = outNames.data() + i;
    if (!carried(name)) continue;
    bool kept = false;
    for (ssize_t j = 0; j < ni && !kept; j += static_cast<ssize_t>(std::strlen(inNames.data() + j)) + 1)
      kept = std::strcmp(name, inNames.data() + j) == 0;
    if (kept || fault::checkRetrying(fault::Call::SetXattr, pathForFaults)) continue;
    ::fremovexattr(out, name);
  }
}

}  // namespace

bool plainCopyAttributesMatch(const FileStatus& source, const FileStatus& copy) {
  const bool root = runAsRoot();
  if (root && (copy.uid != source.uid || copy.gid != source.gid)) return false;
  if (!root && copy.gid != source.gid && mayGiveGroup(source.gid)) return false;
  std::uint32_t wanted = source.mode & 07777;
  if (copy.uid != source.uid) wanted &= ~static_cast<std::uint32_t>(S_ISUID);
  if (copy.gid != source.gid) wanted &= ~static_cast<std::uint32_t>(S_ISGID);
  return (copy.mode & 07777) == wanted;
}

bool archiveAttributesMatch(const FileStatus& source, const FileStatus& copy) {
  if (runAsRoot() && (copy.uid != source.uid || copy.gid != source.gid)) return false;
  return (copy.mode & 0777 & ~source.mode) == 0;
}

bool mayKeepOwners() { return runAsRoot(); }

bool keepsModesAndOwners(const std::string& dir) {
  // f_type of the file systems that fake one mode for all files.
  static constexpr long kWithout[] = {0x4d44 /* FAT */, 0x2011BAB0 /* exFAT */, 0x7366746e /* ntfs3 */,
                                      0x5346544e /* NTFS */, 0x65735546 /* FUSE */, 0x517B /* SMB */,
                                      static_cast<long>(0xFF534D42) /* CIFS */, static_cast<long>(0xFE534D42) /* SMB2 */};
  std::string path = dir.empty() ? "/" : dir;
  struct statfs fs {};
  while (::statfs(path.c_str(), &fs) != 0) {
    const auto slash = path.find_last_of('/', path.size() > 1 ? path.size() - 2 : 0);
    if (slash == std::string::npos || path == "/") return true;
    path = slash == 0 ? "/" : path.substr(0, slash);
  }
  for (const long type : kWithout)
    if (static_cast<long>(fs.f_type) == type) return false;
  return true;
}

bool changedAfter(const FileStatus& source, const FileStatus& copy) {
  return std::pair(source.ctimeSeconds, source.ctimeNanoseconds) > std::pair(copy.ctimeSeconds, copy.ctimeNanoseconds);
}

bool sameExtendedAttributes(const std::string& source, const std::string& copy) {
  std::vector<std::string> a, b;
  if (!carriedNames(source, a) || !carriedNames(copy, b) || a != b) return false;
  std::vector<char> va, vb;
  for (const std::string& name : a)
    if (!valueOf(source, name, va) || !valueOf(copy, name, vb) || va != vb) return false;
  return true;
}

bool carryAttributes(const std::string& source, const std::string& root, const std::string& copy, int* err) {
  const int in = sys::open(source.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
  if (in < 0) return sys::fail(err, errno);
  const int out = openBelow(root, copy, O_RDONLY | O_NONBLOCK, err);
  struct stat st {}, now {};
  bool ok = out >= 0;
  int e = ok ? 0 : (err ? *err : EIO);
  if (ok && (sys::fstat(in, &st, source.c_str()) != 0 || sys::fstat(out, &now, copy.c_str()) != 0)) {
    ok = false;
    e = errno;
  }
  if (ok && (!S_ISREG(st.st_mode) || !S_ISREG(now.st_mode))) {
    ok = false;
    e = EINVAL;
  }
  if (ok) {
    // User xattrs need the owner's write bit: a read-only copy of ours gets
    // it for the moment, carryMetadata sets the mode last.
    if (now.st_uid == ::geteuid() && !(now.st_mode & S_IWUSR))
      sys::fchmod(out, (now.st_mode & 07777) | S_IWUSR, copy.c_str());
    removeStale(in, out, copy.c_str());
    ok = carryMetadata(in, out, st, copy.c_str());
    e = errno;
  }
  sys::close(in);
  if (out >= 0) sys::close(out);
  return ok || sys::fail(err, e);
}

bool touchChangeTime(const std::string& path) {
  if (fault::checkRetrying(fault::Call::Chown, path.c_str())) return false;
  // A change of owner to the same owner: only the status change time moves.
  return ::lchown(path.c_str(), static_cast<uid_t>(-1), static_cast<gid_t>(-1)) == 0;
}

bool sameLinkTarget(const std::string& a, const std::string& b) {
  std::vector<char> ta(PATH_MAX + 1), tb(PATH_MAX + 1);
  const ssize_t na = ::readlink(a.c_str(), ta.data(), ta.size());
  const ssize_t nb = ::readlink(b.c_str(), tb.data(), tb.size());
  return na >= 0 && na == nb && std::memcmp(ta.data(), tb.data(), static_cast<std::size_t>(na)) == 0;
}

}  // namespace kalvero::platform
