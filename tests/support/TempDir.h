#pragma once
// A temporary directory for one test, removed with everything in it at the end.
#include <string>

#include "support/Files.h"  // the file helpers come with every temporary directory

namespace kalvero::test {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }       // without trailing "/"
  std::string operator/(const std::string& rel) const { return path_ + "/" + rel; }

  // Writes a file (creating parent directories) and returns its path.
  std::string write(const std::string& rel, const std::string& content) const;
  std::string read(const std::string& rel) const;
  bool exists(const std::string& rel) const;
  void mkdir(const std::string& rel) const;

 private:
  std::string path_;
};

}  // namespace kalvero::test
