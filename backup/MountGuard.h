#pragma once
// A backup never goes onto a drive that is not plugged in: a destination that
// would have to be created directly inside a directory where removable media
// are mounted would fill the internal disk instead, and be hidden under the
// drive once it is mounted again.
#include <string>

namespace kalvero {

// True when destination would have to be created directly inside a mount
// directory that holds no drive; false when it may be used (it exists, or what
// is missing of it lies below an existing drive or outside the mount
// directories). The mount directories are /media, /media/*,
// /run/media/* and /mnt ("*" is one name); the environment variable
// KALVERO_MOUNT_ROOTS replaces them (colon-separated absolute directories,
// the same "*" form), for tests. A mount directory that is itself a mount
// point holds a drive, so what lies below it is created as usual.
bool IsOnUnmountedDrive(const std::string& destination);

// The line that leaves the pair out: "Das Ziel '%s' liegt auf einem Laufwerk,
// das nicht eingehängt ist; ..." with destination filled in.
std::string UnmountedDriveLine(const std::string& destination);

}  // namespace kalvero
