#include "RestoreTestSupport.h"

#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <cstring>
#include <functional>

#include "support/TempDir.h"

namespace kalvero::test {

namespace fs = std::filesystem;

namespace {

std::string hex(const std::string& bytes) {
  static const char* digits = "0123456789abcdef";
  std::string out;
  for (unsigned char c : bytes) {
    out += digits[c >> 4];
    out += digits[c & 15];
  }
  return out;
}

}  // namespace

bool MakeZipsWithPython(const std::vector<ZipSpec>& archives) {
  // Names and contents travel as hex in a small script, so any byte works.
  std::string script = "import zipfile\n";
  for (const auto& wanted : archives) {
    fs::create_directories(fs::path(wanted.archive).parent_path());
    script += "z=zipfile.ZipFile(bytes.fromhex('" + hex(wanted.archive) + "').decode(),'w',zipfile.ZIP_DEFLATED)\n";
    for (const auto& m : wanted.members) {
      if (m.directory) {
        script += "i=zipfile.ZipInfo(bytes.fromhex('" + hex(m.name) + "').decode())\n"
                  "i.external_attr=0x10\n"
                  "z.writestr(i,b'')\n";
      } else {
        script += "z.writestr(zipfile.ZipInfo(bytes.fromhex('" + hex(m.name) +
                  "').decode(),(2020,5,17,10,20,30)),bytes.fromhex('" + hex(m.data) +
                  "'),zipfile.ZIP_DEFLATED)\n";
      }
    }
    script += "z.comment=bytes.fromhex('" + hex(wanted.comment) + "')\nz.close()\n";
  }
  if (archives.empty()) return true;
  const std::string scriptPath = archives.front().archive + ".make.py";
  writeFile(scriptPath, script);
  const std::string cmd = "python3 '" + scriptPath + "' >/dev/null 2>&1";
  const int rc = std::system(cmd.c_str());
  fs::remove(scriptPath);
  return rc == 0;
}

RestoreOptions OptionsFor(const std::string& source, const std::string& destination, const std::string& log) {
  RestoreOptions o;
  o.PathSrc = source;
  o.PathDst = destination;
  o.Protokolldatei = log;
  o.SubVerz = 1;
  o.OnlyByKalvero = 1;
  return o;
}

RestoreOutcome RunRestore(const RestoreOptions& options, RecordingReporter* reporter, std::atomic<int>* cancel) {
  std::atomic<int> localCancel{0};
  RestoreRunSetup setup;
  setup.options = options;
  setup.versionText = "1,0,0,0";
  setup.cancel = cancel ? cancel : &localCancel;
  setup.reporter = reporter;
  RestoreRun run(setup);
  run.run();
  return {run.errors(), run.cancelled(), run.totals()};
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
