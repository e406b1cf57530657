#pragma once
// Unmounting a drive the way the desktop's "safely remove" does: through
// udisks2 on the system bus (the user may unmount what the desktop mounted).
#include <string>

namespace kalvero::platform {

// Unmounts the file system on device ("/dev/sdb1") and powers its drive off.
// False with *error when the unmount failed; a drive that cannot be powered
// off (many card readers) is unmounted all the same and counts as done.
bool UnmountAndPowerOff(const std::string& device, std::string* error);

// udisks2's object path of a block device: "/dev/sdb1" ->
// "/org/freedesktop/UDisks2/block_devices/sdb1" (links resolved first).
std::string UdisksBlockPath(const std::string& device);

}  // namespace kalvero::platform
