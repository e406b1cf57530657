#pragma once
// The settings of runs nobody watches (laptops, USB drives), in "Allg" next
// to the backup's own keys; each has a default that needs no entry.
#include <string>

namespace kalvero {

struct UnattendedSettings {
  int Schlafsperre = 1;       // a run keeps the computer from sleeping while it copies
  int ErinnernNachTagen = 7;  // remind when a pair's last backup is this many days old; 0 = never
  int Aushaengen = 0;         // unmount the drive after a run started by plugging it in
};

UnattendedSettings LoadUnattendedSettings(const std::string& settingsPath);

}  // namespace kalvero
