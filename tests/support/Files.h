#pragma once
// Reading, writing and describing the files and trees a test works on.
#include <sys/stat.h>

#include <string>
#include <utility>
#include <vector>

namespace kalvero::test {

// Reads a whole file ("" when missing).
std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& content);
// True when running as root (permission-denial tests skip themselves then).
bool runningAsRoot();
// The target text of a link ("<kein Link>" when path is none).
std::string linkText(const std::string& path);
// lstat of path; a failure fails the test.
struct stat lstatOf(const std::string& path);
// True when the file system of path keeps user xattrs (tests of them skip otherwise).
bool userXattrsWork(const std::string& path);

// Every regular file below root as (relative path, contents), sorted.
std::vector<std::pair<std::string, std::string>> TreeContents(const std::string& root);

// What DescribeTree compares besides names, kinds, link targets and contents.
struct TreeAspects {
  bool owners = false;           // owner and group
  bool xattrs = true;            // user xattrs (not the program's archive marker)
  bool sparse = true;            // whether a big file is mostly holes
  bool evenFileSeconds = false;  // file times in even seconds only (archives keep no more)
};
// One line per entry below root (sorted), kind, mode, the aspects asked for,
// directory times in nanoseconds, file times as asked; FIFOs and other
// special files as "<name> special".
std::vector<std::string> DescribeTree(const std::string& root, const TreeAspects& aspects);

}  // namespace kalvero::test
