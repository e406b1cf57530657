#include "support/Files.h"

#include <gtest/gtest.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

namespace kalvero::test {

namespace fs = std::filesystem;

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void writeFile(const std::string& path, const std::string& content) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << content;
}

bool runningAsRoot() { return geteuid() == 0; }

std::string linkText(const std::string& path) {
  char buf[8192];
  const ssize_t n = readlink(path.c_str(), buf, sizeof buf);
  return n < 0 ? std::string("<kein Link>") : std::string(buf, static_cast<std::size_t>(n));
}

struct stat lstatOf(const std::string& path) {
  struct stat st {};
  EXPECT_EQ(lstat(path.c_str(), &st), 0) << path;
  return st;
}

bool userXattrsWork(const std::string& path) {
  return setxattr(path.c_str(), "user.kalvero.probe", "1", 1, 0) == 0 &&
         removexattr(path.c_str(), "user.kalvero.probe") == 0;
}

std::vector<std::pair<std::string, std::string>> TreeContents(const std::string& root) {
  std::vector<std::pair<std::string, std::string>> out;
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(root, ec); it != fs::recursive_directory_iterator(); ++it) {
    if (it->is_symlink() || !it->is_regular_file()) continue;
    out.emplace_back(fs::relative(it->path(), root).string(), readFile(it->path().string()));
  }
  std::sort(out.begin(), out.end());
  return out;
}

namespace {

std::string userXattrs(const std::string& path) {
  std::string names(4096, '\0');
  const ssize_t n = llistxattr(path.c_str(), names.data(), names.size());
  if (n <= 0) return {};
  std::vector<std::string> out;
  for (std::size_t at = 0; at < static_cast<std::size_t>(n); at += std::strlen(names.data() + at) + 1) {
    const std::string name = names.data() + at;
    if (name.rfind("user.", 0) != 0 || name == "user.kalvero.archived") continue;
    std::string value(256, '\0');
    const ssize_t v = lgetxattr(path.c_str(), name.c_str(), value.data(), value.size());
    out.push_back(name + "=" + value.substr(0, v > 0 ? static_cast<std::size_t>(v) : 0));
  }
  std::sort(out.begin(), out.end());
  std::string joined;
  for (const auto& x : out) joined += " " + x;
  return joined;
}

}  // namespace

std::vector<std::string> DescribeTree(const std::string& root, const TreeAspects& aspects) {
  std::vector<std::string> out;
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(root, ec); it != fs::recursive_directory_iterator(); ++it) {
    const std::string path = it->path().string();
    struct stat st {};
    if (lstat(path.c_str(), &st) != 0) continue;
    std::string line = it->path().lexically_relative(root).string();
    if (S_ISLNK(st.st_mode)) {
      line += " link -> " + fs::read_symlink(it->path()).string();
    } else if (!S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode)) {
      line += " special";
    } else {
      char mode[16];
      std::snprintf(mode, sizeof mode, " %04o", static_cast<unsigned>(st.st_mode & 07777));
      line += (S_ISDIR(st.st_mode) ? " dir" : " file") + std::string(mode);
      if (aspects.owners) line += " " + std::to_string(st.st_uid) + ":" + std::to_string(st.st_gid);
      if (S_ISDIR(st.st_mode)) {
        line += " t=" + std::to_string(st.st_mtim.tv_sec) + "." + std::to_string(st.st_mtim.tv_nsec);
      } else {
        line += " " + std::to_string(st.st_size) + " #" + std::to_string(std::hash<std::string>{}(readFile(path)));
        line += aspects.evenFileSeconds ? " t=" + std::to_string(st.st_mtim.tv_sec / 2)
                                        : " t=" + std::to_string(st.st_mtim.tv_sec) + "." +
                                              std::to_string(st.st_mtim.tv_nsec);
        if (aspects.sparse && st.st_size >= (1 << 20))
          line += st.st_blocks * 512 < st.st_size / 4 ? " sparse" : " dense";
      }
      if (aspects.xattrs) line += userXattrs(path);
    }
    out.push_back(line);
  }
  std::sort(out.begin(), out.end());
  return out;
}

}  // namespace kalvero::test
