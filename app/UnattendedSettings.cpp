#include "app/UnattendedSettings.h"

#include "platform/ProfileFile.h"

namespace kalvero {

UnattendedSettings LoadUnattendedSettings(const std::string& settingsPath) {
  const platform::ProfileFile file(settingsPath);
  UnattendedSettings s;
  s.Schlafsperre = file.readInt("Allg", "Schlafsperre", s.Schlafsperre);
  s.ErinnernNachTagen = file.readInt("Allg", "ErinnernNachTagen", s.ErinnernNachTagen);
  s.Aushaengen = file.readInt("Allg", "Aushaengen", s.Aushaengen);
  return s;
}

}  // namespace kalvero
