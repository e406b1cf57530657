#pragma once
// The user's own directories for what the program keeps beside the settings:
// both are made with mode 0700 and must belong to the user; "" when no such
// directory can be had (another user's, a planted link).
#include <string>

namespace kalvero::platform {

// "$XDG_STATE_HOME/kalvero/" (default ~/.local/state/kalvero/): kept across sessions.
std::string userStateDirectory();
// "$XDG_RUNTIME_DIR/kalvero/" for the session's locks and sockets; without
// XDG_RUNTIME_DIR the user's private temporary directory.
std::string userRuntimeDirectory();

// Makes dir (and missing parents, each 0700) and checks that it is a real
// directory of the calling user that no one else can reach (the mode is
// narrowed when needed); false when it is not.
bool makePrivateDirectory(const std::string& dir);

}  // namespace kalvero::platform
