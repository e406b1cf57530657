#pragma once
#include <string>

namespace kalvero::platform {

// The program's own error number (beyond every errno): a file of a tree is
// no regular file any more (a link, FIFO, socket or device) and is not read.
inline constexpr int kErrorNotRegularFile = 10001;

// The C library's description of an error number ("" when unknown); the
// program's own numbers have German ones.
std::string errorDescription(int err);

}  // namespace kalvero::platform
