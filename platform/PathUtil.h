#pragma once
// Path utilities used by every run and page.
#include <string>
#include <string_view>
#include <vector>


namespace kalvero {

// What a path names: an existing directory, an existing file, or nothing
// (also for a path of PATH_MAX characters or more). The values are the ones
// the program has always used.
enum class PathKind { Directory = -1, Nothing = 0, File = 1 };
PathKind GetPathKind(const std::string& path);

// Creates the directory and every missing parent; true when it exists afterwards.
// *err receives the errno of the failed creation.
bool MakeDirectories(const std::string& path, int* err = nullptr);

// MakeDirectories for a run writing into its own destination tree below root:
// an existing directory there that the user owns without the owner's write or
// search bit (the copy of a read-only source directory) gets them, so the
// run's files go in; the run's directory step sets its mode back afterwards.
// root itself and everything above it are never changed.
bool MakeDestinationDirectories(const std::string& root, const std::string& path, int* err = nullptr);

// path ending in one "/" ("" becomes "/"), and path without trailing "/"
// (the root "/" stays "/").
std::string WithTrailingSlash(std::string path);
std::string WithoutTrailingSlash(std::string path);

// The directory part with its trailing "/": "/a/b" -> "/a/", "b" -> "".
std::string ParentDirectory(const std::string& path);

// The last name of path, inside path: "/a/b" -> "b".
inline const char* LastName(const std::string& path) { return path.c_str() + (path.rfind('/') + 1); }
// What path is opened by in dir: its last name where dir is path's directory
// held open, path itself where dir is negative (none, or AT_FDCWD).
inline const char* NameIn(int dir, const std::string& path) { return dir < 0 ? path.c_str() : LastName(path); }

// dir (with its trailing "/"), fname, ext (with its dot).
struct SplitPath {
  explicit SplitPath(const std::string& path);
  std::string dir, fname, ext;
};

// Field n (1-based) of text split at separator; false when there is no field n.
bool ExtractField(std::string& out, const std::string& text, int n, char separator);


// A name with a line break ("\n" or "\r") would split its line in the check
// file and the lists: such names are never written there.
bool HasLineBreak(std::string_view name);

}  // namespace kalvero
