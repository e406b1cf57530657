#include "support/TempDir.h"

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

namespace fs = std::filesystem;

namespace kalvero::test {

TempDir::TempDir() {
  std::string base = fs::temp_directory_path().string() + "/kalvero-test-XXXXXX";
  if (!mkdtemp(base.data())) throw std::runtime_error("mkdtemp failed");
  path_ = base;
}

TempDir::~TempDir() {
  std::error_code ec;
  // Make everything writable again so that removal cannot fail on modes.
  for (auto it = fs::recursive_directory_iterator(path_, fs::directory_options::skip_permission_denied, ec);
       !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
    if (!it->is_symlink()) fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
  }
  fs::remove_all(path_, ec);
}

std::string TempDir::write(const std::string& rel, const std::string& content) const {
  std::string p = path_ + "/" + rel;
  fs::create_directories(fs::path(p).parent_path());
  writeFile(p, content);
  return p;
}

std::string TempDir::read(const std::string& rel) const { return readFile(path_ + "/" + rel); }
bool TempDir::exists(const std::string& rel) const { return fs::exists(fs::symlink_status(path_ + "/" + rel)); }
void TempDir::mkdir(const std::string& rel) const { fs::create_directories(path_ + "/" + rel); }

}  // namespace kalvero::test
