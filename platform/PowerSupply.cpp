#include "platform/PowerSupply.h"

#include <dirent.h>

#include <fstream>

namespace kalvero::platform {

namespace {

std::string firstLine(const std::string& path) {
  std::ifstream in(path);
  std::string line;
  std::getline(in, line);
  return line;
}

}  // namespace

PowerSource CurrentPowerSource(const std::string& root) {
  DIR* d = opendir(root.c_str());
  if (!d) return PowerSource::Unknown;
  bool mains = false, discharging = false;
  while (dirent* e = readdir(d)) {
    const std::string name = e->d_name;
    if (name == "." || name == "..") continue;
    const std::string dir = root + "/" + name + "/";
    const std::string type = firstLine(dir + "type");
    if ((type == "Mains" || type == "USB") && firstLine(dir + "online") == "1") mains = true;
    if (type == "Battery" && firstLine(dir + "status") == "Discharging") discharging = true;
  }
  closedir(d);
  if (mains) return PowerSource::Mains;
  return discharging ? PowerSource::Battery : PowerSource::Unknown;
}

}  // namespace kalvero::platform
