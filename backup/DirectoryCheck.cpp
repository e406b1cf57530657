#include "backup/DirectoryCheck.h"

#include <fmt/printf.h>

#include "backup/MountGuard.h"
#include "platform/PathUtil.h"

namespace kalvero {
namespace {

// Texts of the directory check ("Prüfen ...").
constexpr const char* kSourcesMissing = "Die folgenden aktiven Quellverzeichnisse sind nicht vorhanden:\n%s";
constexpr const char* kSourcesPresent = "Alle aktiven Quellverzeichnisse sind vorhanden.";
constexpr const char* kDestinationsMissing = "Die folgenden aktiven Zielverzeichnisse sind nicht vorhanden:\n%s";
constexpr const char* kDestinationsPresent = "Alle aktiven Zielverzeichnisse sind vorhanden.";

}  // namespace

DirectoryCheckResult CheckDirectories(const JobList& jobs) {
  std::string sources, destinations;
  for (const DirPair& pair : jobs) {
    if (pair.active == 0) continue;
    if (GetPathKind(pair.source) != -1) sources += pair.source + "\r\n";
    if (GetPathKind(pair.destination) != -1) destinations += pair.destination + "\r\n";
  }
  DirectoryCheckResult r;
  if (!sources.empty())
    r.text = fmt::sprintf(kSourcesMissing, sources) + "\r\n";
  else
    r.text = std::string(kSourcesPresent) + "\r\n\r\n";
  if (!destinations.empty())
    r.text += fmt::sprintf(kDestinationsMissing, destinations) + "\r\n";
  else
    r.text += std::string(kDestinationsPresent) + "\r\n\r\n";
  r.anythingMissing = !sources.empty() || !destinations.empty();
  // A destination on a drive that is not plugged in: its pair would not be run.
  for (const DirPair& pair : jobs) {
    const std::string unmounted = pair.active ? UnmountedDriveText(pair.destination) : std::string();
    if (!unmounted.empty()) r.text += unmounted + "\r\n";
  }
  return r;
}

}  // namespace kalvero
