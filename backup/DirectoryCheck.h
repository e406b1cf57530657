#pragma once
// The check behind "Prüfen ...": which directories of the active pairs are
// missing, and which destinations lie on a drive that is not plugged in.
#include <string>

#include "app/Records.h"

namespace kalvero {

// The message text and whether anything is missing.
struct DirectoryCheckResult {
  std::string text;
  bool anythingMissing = false;
};
DirectoryCheckResult CheckDirectories(const JobList& jobs);

}  // namespace kalvero
