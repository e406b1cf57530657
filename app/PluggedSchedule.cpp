#include "app/PluggedSchedule.h"

#include <dirent.h>
#include <fmt/printf.h>

#include <algorithm>
#include <cctype>

#include "app/AppTexts.h"
#include "app/Schedule.h"
#include "app/UserUnits.h"
#include "diag/ErrorText.h"
#include "platform/PathUtil.h"

namespace kalvero {

namespace {

constexpr const char* kPrefix = "kalvero-plugged-";
constexpr const char* kSuffix = ".service";

// A UUID fit for a unit name and a command line: what file systems use.
bool usableUuid(const std::string& uuid) {
  return !uuid.empty() && uuid.size() <= 64 &&
         std::all_of(uuid.begin(), uuid.end(), [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) || c == '-'; });
}

std::vector<std::string> serviceNames() {
  std::vector<std::string> names;
  DIR* d = opendir(UserUnitDirectory().c_str());
  if (!d) return names;
  while (dirent* e = readdir(d)) {
    const std::string name = e->d_name;
    if (name.rfind(kPrefix, 0) == 0 && name.size() > std::string(kPrefix).size() + std::string(kSuffix).size() &&
        name.compare(name.size() - std::string(kSuffix).size(), std::string::npos, kSuffix) == 0)
      names.push_back(name);
  }
  closedir(d);
  std::sort(names.begin(), names.end());
  return names;
}

// systemd reads "%" in a unit's values as the start of a specifier.
std::string withoutSpecifiers(const std::string& text) {
  std::string out;
  for (char c : text) out += c == '%' ? std::string("%%") : std::string(1, c);
  return out;
}

// The value after "\n" + key in a unit's text, to the end of its line.
std::string valueOf(const std::string& text, const std::string& key) {
  const auto at = text.find("\n" + key);
  if (at == std::string::npos) return {};
  const auto start = at + 1 + key.size();
  return text.substr(start, text.find('\n', start) - start);
}

std::string removeService(const std::string& name) {
  // Disabled first, so the mount no longer wants a unit that is about to go.
  if (std::string e = Systemctl({"disable", name}); !e.empty()) return e;
  return RemoveUnitFile(UserUnitDirectory() + name);
}

std::string writeAll(const std::vector<Drive>& drives, const std::string& cliPath, const std::string& settingsPath) {
  const std::string dir = UserUnitDirectory();
  int err = 0;
  if (!MakeDirectories(dir, &err)) return fmt::sprintf(texts::kScheduleWriteFailed, dir, SystemErrorText(err));
  for (const Drive& d : drives) {
    const std::string path = dir + PluggedServiceName(d.uuid);
    if (!WriteUnitFile(path, PluggedServiceText(d, cliPath, settingsPath), &err))
      return fmt::sprintf(texts::kScheduleWriteFailed, path, SystemErrorText(err));
  }
  if (std::string e = Systemctl({"daemon-reload"}); !e.empty()) return e;
  for (const Drive& d : drives)
    if (std::string e = Systemctl({"enable", PluggedServiceName(d.uuid)}); !e.empty()) return e;
  return {};
}

}  // namespace

std::vector<Drive> DestinationDrives(const JobList& jobs, std::vector<std::pair<std::string, std::string>>* elsewhere) {
  std::vector<Drive> drives;
  for (const DirPair& pair : jobs) {
    if (!pair.active) continue;
    Drive d;
    if (!DriveOfPath(pair.destination, &d) || d.mountPoint == "/" || d.uuid.empty()) {
      if (elsewhere) elsewhere->emplace_back(pair.destination, d.mountPoint.empty() ? "/" : d.mountPoint);
      continue;
    }
    if (std::none_of(drives.begin(), drives.end(), [&](const Drive& o) { return o.uuid == d.uuid; }))
      drives.push_back(d);
  }
  return drives;
}

std::string PluggedServiceName(const std::string& uuid) { return kPrefix + uuid + kSuffix; }

std::string PluggedServiceText(const Drive& drive, const std::string& cliPath, const std::string& settingsPath) {
  const std::string mount = MountUnitName(drive.mountPoint);
  return "# Written by kalvero-cli schedule; \"kalvero-cli schedule plugged off\" removes it.\n"
         "[Unit]\n"
         "Description=Kalvero: Sicherung beim Anschließen des Laufwerks\n"
         "Documentation=man:kalvero-cli(1)\n"
         "X-Kalvero-Label=" + drive.label + "\n"
         "X-Kalvero-Mount=" + drive.mountPoint + "\n"
         // Started once the desktop has mounted the drive; not bound to the
         // mount, so the run's own unmount at its end does not stop it.
         "After=" + mount + "\n"
         "ConditionPathIsMountPoint=" + withoutSpecifiers(drive.mountPoint) + "\n"
         "\n"
         "[Service]\n"
         "Type=oneshot\n"
         "ExecStart=" + ExecWord(cliPath) + " --ini " + ExecWord(settingsPath) + " backup --notify --plugged " +
         drive.uuid + "\n"
         "Nice=19\n"
         "IOSchedulingClass=idle\n"
         "\n"
         "[Install]\n"
         "WantedBy=" + mount + "\n";
}

std::string ApplyPlugged(const std::vector<Drive>& drives, const std::string& cliPath,
                         const std::string& settingsPath) {
  for (const Drive& d : drives) {
    if (!usableUuid(d.uuid)) return fmt::sprintf(texts::kPluggedNoUuid, d.mountPoint);
    if (!UsableUnitPath(d.mountPoint) || d.label.find_first_of("\r\n") != std::string::npos)
      return fmt::sprintf(texts::kScheduleBadPath, d.mountPoint);
  }
  for (const std::string* path : {&cliPath, &settingsPath})
    if (!drives.empty() && !UsableUnitPath(*path)) return fmt::sprintf(texts::kScheduleBadPath, *path);
  // Services of drives no longer named go; the named ones are written anew.
  bool removed = false;
  for (const std::string& name : serviceNames()) {
    const bool kept = std::any_of(drives.begin(), drives.end(),
                                  [&](const Drive& d) { return PluggedServiceName(d.uuid) == name; });
    if (kept) continue;
    if (std::string e = removeService(name); !e.empty()) return e;
    removed = true;
  }
  if (drives.empty()) return removed ? Systemctl({"daemon-reload"}) : std::string();
  return writeAll(drives, cliPath, settingsPath);
}

std::vector<Drive> CurrentPlugged() {
  std::vector<Drive> drives;
  for (const std::string& name : serviceNames()) {
    const auto text = ReadWholeFile(UserUnitDirectory() + name);
    if (!text) continue;
    Drive d;
    d.uuid = name.substr(std::string(kPrefix).size(), name.size() - std::string(kPrefix).size() - std::string(kSuffix).size());
    d.label = valueOf(*text, "X-Kalvero-Label=");
    d.mountPoint = valueOf(*text, "X-Kalvero-Mount=");
    drives.push_back(d);
  }
  return drives;
}

std::string PluggedText(const Drive& drive) { return fmt::sprintf(texts::kPluggedPlan, DriveName(drive), drive.uuid); }

}  // namespace kalvero
