#pragma once
// The backup that starts when the desktop mounts a destination's drive: one
// systemd user service per drive, wanted by the drive's mount unit, that runs
// "kalvero-cli backup --plugged UUID". The run itself checks the UUID, so
// another stick mounted at the same place starts nothing.
#include <string>
#include <utility>
#include <vector>

#include "app/DriveIdentity.h"
#include "app/Records.h"

namespace kalvero {

// The drives of the active pairs' destinations, each once; a destination on
// the system's own disk (or on a file system without UUID) is named in
// *elsewhere as (destination, mount point) and left to the timer.
std::vector<Drive> DestinationDrives(const JobList& jobs, std::vector<std::pair<std::string, std::string>>* elsewhere);

// "kalvero-plugged-UUID.service".
std::string PluggedServiceName(const std::string& uuid);
std::string PluggedServiceText(const Drive& drive, const std::string& cliPath, const std::string& settingsPath);

// Writes and enables the service of each drive (replacing those of drives no
// longer named); an empty list removes every one. "" on success, else one
// German message. cliPath and settingsPath must be absolute.
std::string ApplyPlugged(const std::vector<Drive>& drives, const std::string& cliPath,
                         const std::string& settingsPath);
// The drives that have a service now (UUID, label and mount point from its text).
std::vector<Drive> CurrentPlugged();
// "beim Anschließen des Laufwerks 'STICK' (UUID 1234-ABCD)".
std::string PluggedText(const Drive& drive);

}  // namespace kalvero
