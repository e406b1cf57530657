#pragma once
// A temporary directory for one test, removed with everything in it at the end.
#include <sys/stat.h>

#include <string>

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

// Reads a whole file ("" when missing).
std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& content);
// True when running as root (permission-denial tests skip themselves then).
bool runningAsRoot();
// The target text of a link ("<kein Link>" when path is none).
std::string linkText(const std::string& path);
// lstat of path; a failure fails the test.
struct stat lstatOf(const std::string& path);

}  // namespace kalvero::test
