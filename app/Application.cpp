#include "app/Application.h"

#include <fmt/format.h>
#include <strings.h>

#include "app/SettingsFile.h"
#include "platform/FileSystem.h"
#include "platform/TempFiles.h"
#include "app/VersionConfig.h"

namespace kalvero {

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
    listDirectory_ = platform::privateTemporaryDirectory();
    for (auto& name : listFiles_) name = platform::createUniqueTempFile(listDirectory_);
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
