#include "app/DriveIdentity.h"

#include <dirent.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cctype>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <vector>

#include "platform/FileSystem.h"
#include "platform/PathUtil.h"

namespace kalvero {

namespace {

struct Mount {
  unsigned major = 0, minor = 0;
  std::string point, source;
};

// mountinfo writes blank, tab, line feed and backslash as \ooo.
std::string unescapeMountField(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 3 < text.size() && text[i + 1] >= '0' && text[i + 1] <= '3') {
      out += static_cast<char>((text[i + 1] - '0') * 64 + (text[i + 2] - '0') * 8 + (text[i + 3] - '0'));
      i += 3;
    } else {
      out += text[i];
    }
  }
  return out;
}

std::vector<Mount> readMounts(const std::string& root, bool* ok) {
  std::vector<Mount> mounts;
  std::ifstream in(root + "/proc/self/mountinfo");
  *ok = static_cast<bool>(in);
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    std::string id, parent, numbers, mountRoot, point, word;
    if (!(fields >> id >> parent >> numbers >> mountRoot >> point)) continue;
    Mount m;
    if (std::sscanf(numbers.c_str(), "%u:%u", &m.major, &m.minor) != 2) continue;
    m.point = unescapeMountField(point);
    while (fields >> word && word != "-") {
    }
    std::string type;
    fields >> type >> m.source;
    m.source = unescapeMountField(m.source);
    mounts.push_back(m);
  }
  return mounts;
}

bool below(const std::string& path, const std::string& point) {
  if (point == "/") return true;
  return path.compare(0, point.size(), point) == 0 && (path.size() == point.size() || path[point.size()] == '/');
}

// The nearest existing directory of path, with its links resolved.
std::string existingReal(std::string path) {
  for (;;) {
    char buffer[PATH_MAX];
    if (realpath(path.c_str(), buffer)) return buffer;
    if (path.empty() || path == "/") return "/";
    path = ParentDirectory(WithoutTrailingSlash(path));
    if (path.empty()) return "/";
  }
}

// The name in dev/disk/<folder>/ whose link leads to the mount's device:
// by the device's name, or (for mapper devices and the like) by its number.
std::string linkNameOf(const std::string& root, const char* folder, const Mount& m) {
  const std::string dir = root + "/dev/disk/" + folder + "/";
  DIR* d = opendir(dir.c_str());
  if (!d) return {};
  const std::string sourceName = m.source.substr(m.source.rfind('/') + 1);
  std::string found;
  while (dirent* e = readdir(d)) {
    const std::string name = e->d_name;
    if (name == "." || name == "..") continue;
    char target[PATH_MAX];
    const ssize_t n = readlink((dir + name).c_str(), target, sizeof target - 1);
    if (n <= 0) continue;
    const std::string text(target, static_cast<std::size_t>(n));
    struct stat st {};
    const bool sameName = !sourceName.empty() && text.substr(text.rfind('/') + 1) == sourceName;
    const bool sameNumber = stat((dir + name).c_str(), &st) == 0 && S_ISBLK(st.st_mode) &&
                            major(st.st_rdev) == m.major && minor(st.st_rdev) == m.minor;
    if (sameName || sameNumber) {
      found = name;
      break;
    }
  }
  closedir(d);
  return found;
}

// udev writes special characters of a label as \xNN.
std::string unescapeUdev(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    unsigned value = 0;
    if (text.compare(i, 2, "\\x") == 0 && i + 3 < text.size() && std::sscanf(text.c_str() + i + 2, "%2x", &value) == 1) {
      out += static_cast<char>(value);
      i += 3;
    } else {
      out += text[i];
    }
  }
  return out;
}

}  // namespace

bool DriveOfPath(const std::string& path, Drive* drive, const std::string& root) {
  bool ok = false;
  const std::vector<Mount> mounts = readMounts(root, &ok);
  if (!ok) return false;
  const std::string real = root.empty() ? existingReal(path) : path;
  const Mount* best = nullptr;
  // The longest mount point above the path; of equal ones the last, mounted on top.
  for (const Mount& m : mounts)
    if (below(real, m.point) && (!best || m.point.size() >= best->point.size())) best = &m;
  if (!best) return false;
  drive->mountPoint = best->point;
  drive->device = best->source;
  drive->uuid = unescapeUdev(linkNameOf(root, "by-uuid", *best));
  drive->label = unescapeUdev(linkNameOf(root, "by-label", *best));
  return true;
}

std::string MountUnitName(const std::string& mountPoint) {
  std::string trimmed = mountPoint;
  while (trimmed.size() > 1 && trimmed.back() == '/') trimmed.pop_back();
  std::size_t start = 0;
  while (start < trimmed.size() && trimmed[start] == '/') ++start;
  trimmed = trimmed.substr(start);
  if (trimmed.empty()) return "-.mount";
  std::string out;
  for (std::size_t i = 0; i < trimmed.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(trimmed[i]);
    if (c == '/') {
      if (trimmed[i - 1] != '/') out += '-';  // "//" is one separator
    } else if ((std::isalnum(c) && c < 0x80) || c == ':' || c == '_' || (c == '.' && i > 0)) {
      out += static_cast<char>(c);
    } else {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02x", c);
      out += hex;
    }
  }
  return out + ".mount";
}

std::string DriveName(const Drive& drive) { return drive.label.empty() ? drive.uuid : drive.label; }

}  // namespace kalvero
