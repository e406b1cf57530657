#pragma once
// Copying one file the way a backup needs it: into a hidden temporary file
// beside the destination, then renamed over it. A failure or a cancel
// removes the temporary file and leaves an existing destination as it was.
#include <cstdint>
#include <functional>
#include <string>

namespace kalvero::platform {

// Called with (total size, bytes transferred): first with 0, then in steps of
// at most 1 MiB. Returning false cancels the copy (errno ECANCELED).
using CopyProgressFn = std::function<bool(std::uint64_t total, std::uint64_t transferred)>;

// An existing destination that is read-only fails with EACCES before anything
// is written. The copy gets the source's permission bits and last-write time.
bool copyFile(const std::string& source, const std::string& destination,
              const CopyProgressFn& progress, int* err = nullptr);

// Name of the hidden temporary file used for a destination (".name.kalvero-XXXXXX" pattern prefix).
bool isProgramTemporaryName(const std::string& fileName);

}  // namespace kalvero::platform
