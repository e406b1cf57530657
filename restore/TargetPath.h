#pragma once
// Where a restored file may go: below the destination root, never through a
// symbolic link that the run itself made. The user's own links to
// directories that were there before the run are followed, as cp does.
#include <string>
#include <unordered_set>

namespace kalvero {

// Joins root (trailing "/" optional) and a relative name given with "/"
// separators. Empty when the name is empty, absolute, contains a ".."
// component or a NUL byte, or names nothing but "." components; "." and
// empty components are dropped.
std::string JoinBelowRoot(const std::string& root, const std::string& relativeName);

// The directories between root and the file named by target (target must
// start with root): false when one of them exists as something other than a
// directory, or as a symbolic link that does not lead to a directory or is
// named in runLinks (the links this run made). Missing ones are fine (they
// get created). With targetIsDirectory the target itself is checked the
// same way.
bool PathStaysBelowRoot(const std::string& root, const std::string& target, bool targetIsDirectory = false,
                        const std::unordered_set<std::string>* runLinks = nullptr);

// Both checks: the full target path, or "" when the name is refused.
std::string SafeTargetPath(const std::string& root, const std::string& relativeName, bool isDirectory = false,
                           const std::unordered_set<std::string>* runLinks = nullptr);

// Where the single entry of an archive made by this program goes when a
// subfolder of a backup is restored: the archive's own path below the
// restore source without ".zip" (archiveRelative), when the stored name ends
// with it at a "/" (or is it); "" otherwise (the stored name then decides).
std::string SingleEntryPlace(const std::string& archiveRelative, const std::string& storedName);

}  // namespace kalvero
