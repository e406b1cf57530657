#pragma once
// Which drive a destination lies on: the mounted file system from the mount
// table, named by its UUID (and label) from /dev/disk/by-uuid and by-label.
// A run started by plugging a drive in backs up only the pairs on that drive,
// so another stick mounted at the same place starts nothing.
#include <string>

namespace kalvero {

struct Drive {
  std::string uuid;        // of the file system; "" when it has none
  std::string label;       // "" when it has none
  std::string mountPoint;  // where it is mounted now
  std::string device;      // the mount's source, e.g. "/dev/sdb1"
};

// The system's files are read below root ("" in the program; a tests'
// directory that holds proc/self/mountinfo and dev/disk/...). A path that
// does not exist yet counts by its nearest existing parent. False when the
// mount table cannot be read.
bool DriveOfPath(const std::string& path, Drive* drive, const std::string& root = "");

// The unit name systemd gives the mount at mountPoint ("/media/anna/STICK"
// -> "media-anna-STICK.mount"), as systemd-escape --path --suffix=mount does.
std::string MountUnitName(const std::string& mountPoint);

// "STICK" when the drive has a label, else its UUID.
std::string DriveName(const Drive& drive);

}  // namespace kalvero
