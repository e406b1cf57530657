#pragma once
// Removing a whole directory tree that the program itself has set aside (a
// dated state being thinned, a killed run's staging directory). A symbolic
// link inside is removed as a link, never followed, so nothing outside the
// tree is ever touched; hard-linked files lose only this name.
#include <string>

namespace kalvero::platform {

// Removes the directory name of the open directory parentFd and everything
// below it. The directory itself must be a real directory (a link of that
// name is not followed and not removed). Read-only directories of the
// user's own are made writable on the way. False with the first errno in
// err; whatever could not be removed stays.
bool removeTreeAt(int parentFd, const std::string& name, int* err = nullptr);

// The same for a path ("dir/name").
bool removeTree(const std::string& path, int* err = nullptr);

}  // namespace kalvero::platform
