#include "platform/ErrorNumber.h"

#include <cstring>

#include "platform/PlatformTexts.h"

namespace kalvero::platform {

std::string errorDescription(int err) {
  if (err == kErrorNotRegularFile) return texts::kNotRegularFile;
  // strerrordesc_np knows exactly the numbers the C library describes, so an
  // unknown number gives "" instead of "Unknown error N".
  if (strerrordesc_np(err) == nullptr) return {};
  char buffer[512];
  const char* text = strerror_r(err, buffer, sizeof buffer);  // GNU variant: may return a static string
  return text ? std::string(text) : std::string();
}

}  // namespace kalvero::platform
