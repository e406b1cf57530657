#pragma once
// Copying one file the way a backup needs it: into a hidden temporary file
// beside the destination, then renamed over it. A failure or a cancel
// removes the temporary file and leaves an existing destination as it was.
#include <cstdint>
#include <functional>
#include <string>

#include "platform/OwnTemporary.h"  // the temporary names beside a destination

namespace kalvero::platform {

// Called with (total size, bytes transferred): first with 0, then in steps of
// at most 1 MiB. Returning false cancels the copy (errno ECANCELED).
using CopyProgressFn = std::function<bool(std::uint64_t total, std::uint64_t transferred)>;

// An existing destination that is read-only fails with EACCES before anything
// is written. A source that is a link is not followed (ELOOP). The copy keeps
// the holes of a sparse source and gets its permission bits, times, user
// xattrs (not the archive marker) and ACLs, and as root its owner and group
// (otherwise setuid/setgid are dropped where the owner cannot be kept); what
// the destination refuses is noted in takeMetadataLosses (TreeCopy.h).
bool copyFile(const std::string& source, const std::string& destination,
              const CopyProgressFn& progress, int* err = nullptr);

// copyFile in two steps, so a copy can be checked before it replaces the
// previous one: the finished copy is left under the hidden name temp beside
// destination (temp is "" after a failure, which removed it) ...
bool copyFileToTemporary(const std::string& source, const std::string& destination,
                         const CopyProgressFn& progress, std::string& temp, int* err = nullptr);
// ... and is then renamed over destination (removed when that fails) or discarded.
bool commitTemporary(const std::string& temp, const std::string& destination, int* err = nullptr);
void discardTemporary(const std::string& temp);

}  // namespace kalvero::platform
