#pragma once
// A run started by plugging a drive in: only the pairs whose destination is
// on that drive, at most once a day (the user's own runs are never held back).
#include <string>

#include "app/DriveIdentity.h"
#include "app/Records.h"

namespace kalvero {

// Whether destination lies on the mounted file system with this UUID.
// root as for DriveOfPath.
bool DestinationOnDrive(const std::string& destination, const std::string& uuid, const std::string& root = "");
// The job list with every pair not on the drive switched off (a copy for the
// run: the settings file keeps its own flags). *onDrive counts the active pairs left.
JobList PairsOnDrive(const JobList& jobs, const std::string& uuid, int* onDrive, const std::string& root = "");

// $XDG_STATE_HOME/kalvero/angeschlossen-UUID holds the day of the last
// complete plug-in run.
std::string PluggedStampPath(const std::string& uuid);
bool PluggedRunDoneToday(const std::string& uuid);
void MarkPluggedRunDone(const std::string& uuid);

}  // namespace kalvero
