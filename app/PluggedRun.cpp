#include "app/PluggedRun.h"

#include <fmt/format.h>

#include "app/SettingsFile.h"
#include "app/UserUnits.h"
#include "platform/FileTime.h"
#include "platform/Files.h"
#include "platform/PathUtil.h"

namespace kalvero {

namespace {

std::string today() {
  const platform::LocalTime t = platform::localNow();
  return fmt::format("{:04d}-{:02d}-{:02d}\n", t.year, t.month, t.day);
}

}  // namespace

bool DestinationOnDrive(const std::string& destination, const std::string& uuid, const std::string& root) {
  Drive d;
  return DriveOfPath(destination, &d, root) && d.mountPoint != "/" && d.uuid == uuid;
}

JobList PairsOnDrive(const JobList& jobs, const std::string& uuid, int* onDrive, const std::string& root) {
  JobList run = jobs;
  *onDrive = 0;
  for (DirPair& p : run) {
    if (!p.active) continue;
    if (DestinationOnDrive(p.destination, uuid, root))
      ++*onDrive;
    else
      p.active = 0;
  }
  return run;
}

std::string PluggedStampPath(const std::string& uuid) {
  return XdgBaseDirectory("XDG_STATE_HOME", "/.local/state") + "kalvero/angeschlossen-" + uuid;
}

bool PluggedRunDoneToday(const std::string& uuid) { return ReadWholeFile(PluggedStampPath(uuid)) == today(); }

void MarkPluggedRunDone(const std::string& uuid) {
  const std::string path = PluggedStampPath(uuid);
  int err = 0;
  // Without the stamp the next plug-in only runs once more: nothing is lost.
  if (MakeDirectories(ParentDirectory(path), &err)) {
    platform::AtomicFileWriter writer(path, 0600);
    if (writer.open(&err) && writer.write(today(), &err)) writer.commit(&err);
  }
}

}  // namespace kalvero
