#pragma once
// The program's own temporary names: a copy or an archive before it replaces
// the previous one, a link made in two steps, the settings and check file
// before their rename, the restore's staging. Each ends in ".kalvero-" and a
// tag that only this user's program makes (a random part and a keyed hash of
// the whole name, the key kept once per user), so a user's file that merely
// looks like one (".x.kalvero-abcdef") is the user's and is backed up, while
// a leftover of a killed run is known as ours and can be removed.
#include <string>

namespace kalvero::platform {

// A new name beside target: "<dir>/.<name>.kalvero-<tag>", the name cut so
// that the whole stays a valid file name. Each call gives another tag.
std::string ownTemporaryBeside(const std::string& target);

// True when fileName (without a directory) is one of the program's own
// temporary names, made by this user.
bool isProgramTemporaryName(const std::string& fileName);

// True when fileName is one of ours made by ownTemporaryBeside(target).
bool isOwnTemporaryOf(const std::string& fileName, const std::string& target);

// Where the user's key is kept ("" while none could be stored: the key then
// lives in memory only, and a killed run's leftovers are plain files to the next).
std::string ownTemporaryKeyFile();

}  // namespace kalvero::platform
