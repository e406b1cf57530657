#include "app/Application.h"

#include <fmt/format.h>
#include <strings.h>

#include <cerrno>

#include "app/SettingsFile.h"
#include "platform/ArchiveFile.h"
#include "platform/FileSystem.h"
#include "platform/FileTime.h"
#include "platform/TempFiles.h"
#include "platform/TraceSocket.h"
#include "platform/UserDirs.h"
#include "app/VersionConfig.h"

namespace kalvero {
namespace {

// What each list file holds, in the order of the run's four lists.
constexpr const char* kListFileKinds[4] = {"kopierte-quelldateien", "kopierte-zieldateien",
                                           "nicht-kopierte-dateien", "wegen-pruefdatei-uebersprungen"};

// The user's cache directory for the lists; the private temporary directory
// when the cache cannot be had as the user's own (another owner, a planted link).
std::string ListDirectory() {
  const std::string cache = XdgBaseDirectory("XDG_CACHE_HOME", "/.cache") + "kalvero/";
  if (platform::makePrivateDirectory(cache)) return cache;
  return platform::privateTemporaryDirectory();
}

// "<dir><kind>-<date_time>-<pid>.txt", created exclusively (0600); a second
// program run in the same second gets "-2", "-3" ... so no two runs share a list.
std::string CreateListFile(const std::string& dir, const char* kind, const std::string& runTag) {
  for (int n = 1; n <= 100; ++n) {
    std::string name = dir + kind + "-" + runTag + (n > 1 ? fmt::format("-{}", n) : "") + ".txt";
    int err = 0;
    if (platform::createExclusiveFile(name, &err)) return name;
    if (err != EEXIST) break;
  }
  return {};
}

std::string RunTag() {
  const platform::LocalTime t = platform::localNow();
  return fmt::format("{:04}-{:02}-{:02}_{:02}-{:02}-{:02}-{}", t.year, t.month, t.day, t.hour, t.minute, t.second,
                     platform::processId());
}

}  // namespace

CommandLine ParseCommandLine(const std::vector<std::string>& args) {
  CommandLine cl;
  for (const std::string& arg : args) {
    std::string text = arg;
    if (!text.empty() && (text[0] == '/' || text[0] == '-')) text.erase(0, 1);
    if (strcasecmp(text.c_str(), "Batch") == 0)
      cl.batchMode = 1;
    else if (text.size() >= 4 && strncasecmp(text.c_str(), "Ini=", 4) == 0)
      cl.iniFile = text.substr(4);
  }
  return cl;
}

Application::Application(const std::vector<std::string>& args, ListFiles lists) {
  // The list files come first, so "/Ini=" has no say in where they are.
  if (lists == ListFiles::Create) {
    listDirectory_ = ListDirectory();
    const std::string tag = RunTag();
    for (int i = 0; i < 4; ++i) listFiles_[i] = CreateListFile(listDirectory_, kListFileKinds[i], tag);
  }
  CommandLine cl = ParseCommandLine(args);
  batchMode_ = cl.batchMode;
  settingsPath_ = ResolveSettingsPath(cl.iniFile);
  debugLevel_ = SettingsFile(settingsPath_).readDebug();
  tempPath_ = platform::temporaryDirectory();
}

Application::~Application() {
  if (keepListFiles_) return;
  if (SettingsFile(settingsPath_).loadInfoOptions().DeleteSrc == 0) return;
  for (const auto& name : listFiles_)
    if (!name.empty()) platform::removeFile(name);
}

std::string Application::versionText() {
  return fmt::format("{},{},{},{}", KALVERO_VERSION_MAJOR, KALVERO_VERSION_MINOR, KALVERO_VERSION_PATCH,
                     KALVERO_VERSION_TWEAK);
}

}  // namespace kalvero
