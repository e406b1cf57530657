#pragma once
#include <string>

namespace kalvero::platform {

// errno of the calling thread.
int lastError();
// The C library's description of an error number ("" when unknown).
std::string errorDescription(int err);

}  // namespace kalvero::platform
