#pragma once
// Where a restored file may go: below the destination root only, never
// through a symbolic link that lies in the way.
#include <string>

namespace kalvero {

// Joins root (trailing "/" optional) and a relative name given with "/"
// separators. Empty when the name is empty, absolute, contains a ".."
// component or a NUL byte, or names nothing but "." components; "." and
// empty components are dropped.
std::string JoinBelowRoot(const std::string& root, const std::string& relativeName);

// The directories between root and the file named by target (target must
// start with root): false when one of them exists as a symbolic link or as
// something other than a directory. Missing ones are fine (they get created).
// With targetIsDirectory the target itself is checked the same way.
bool PathStaysBelowRoot(const std::string& root, const std::string& target, bool targetIsDirectory = false);

// Both checks: the full target path, or "" when the name is refused.
std::string SafeTargetPath(const std::string& root, const std::string& relativeName, bool isDirectory = false);

}  // namespace kalvero
