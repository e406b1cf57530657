#pragma once
// The checks a job-list pair must pass before it is stored, shared by the
// pair editor and "kalvero-cli pairs add".
#include <string>

#include "app/Records.h"

namespace kalvero {

// "" when the pair may be stored, else one German message: a "|" in the
// source, a line break in any path, a destination inside its own source, an
// excluded directory outside the source. Paths are compared as given
// (callers make them absolute first) and, for the destination, also as the
// directories they lead to (device and inode, through links and "..").
std::string CheckPairInput(const DirPair& pair);

}  // namespace kalvero
