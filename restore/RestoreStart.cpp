#include "restore/RestoreStart.h"

#include <fmt/printf.h>

#include "app/SettingsFile.h"
#include "platform/PathUtil.h"
#include "restore/RestoreTexts.h"
#include "run/RunSettings.h"

namespace kalvero {

namespace t = restore_text;

RestoreOptions WithDefaultRestoreLog(RestoreOptions options) {
  if (options.Protokolldatei.empty()) options.Protokolldatei = DefaultRestoreLogPath();
  return options;
}

RestoreOptions LoadRestoreInput(const std::string& settingsPath) {
  return WithDefaultRestoreLog(RunSettings(settingsPath).savedRestoreOptions());
}

RestoreValidation ValidateRestoreOptions(const RestoreOptions& options) {
  RestoreValidation v;
  if (GetPathKind(options.PathSrc) == PathKind::Nothing) {
    v.field = RestoreValidation::Source;
    v.text = fmt::sprintf(t::kSourceMissing, options.PathSrc);
    return v;
  }
  const std::string logDir = ParentDirectory(options.Protokolldatei);
  if (logDir.empty() || GetPathKind(logDir) != PathKind::Directory) {
    v.field = RestoreValidation::LogFile;
    v.text = fmt::sprintf(t::kLogDirMissing, logDir);
    return v;
  }
  if (options.PathDst.empty()) {
    v.field = RestoreValidation::Destination;
    v.text = t::kNoDestination;
  }
  return v;
}

RestoreValidation CheckRestoreStart(const RestoreOptions& options, bool forStart) {
  MakeDefaultLogDirectory(options.Protokolldatei);
  RestoreValidation check = ValidateRestoreOptions(options);
  if (!forStart && check.field == RestoreValidation::Destination) check = RestoreValidation{};
  return check;
}

namespace {

RestoreStart::Field refusedField(RestoreValidation::Field field) {
  switch (field) {
    case RestoreValidation::Source: return RestoreStart::Field::Source;
    case RestoreValidation::LogFile: return RestoreStart::Field::LogFile;
    case RestoreValidation::Destination: return RestoreStart::Field::Destination;
    case RestoreValidation::None: break;
  }
  return RestoreStart::Field::None;
}

}  // namespace

RestoreStart StartRestore(RestoreStartInput in) {
  RestoreStart start;
  start.options = WithDefaultRestoreLog(std::move(in.options));
  const RestoreValidation check = CheckRestoreStart(start.options, true);
  if (!check.ok()) {
    start.field = refusedField(check.field);
    start.text = check.text;
    return start;
  }
  // The run reads "Rueck" again when it begins: it must find what starts it.
  if (in.save) {
    std::string error;
    if (!SettingsFile(in.settingsPath).saveRestoreOptions(start.options, &error)) {
      start.field = RestoreStart::Field::Settings;
      start.kind = MessageKind::Error;
      start.text = error;
      return start;
    }
  }
  RestoreRunSetup setup;
  setup.options = start.options;
  setup.settingsPath = in.save ? in.settingsPath : std::string();
  setup.versionText = Application::versionText();
  setup.cancel = in.cancel;
  setup.reporter = in.reporter;
  if (!in.settingsPath.empty() && RunSettings(in.settingsPath).unattended().Schlafsperre)
    setup.sleepLock = std::make_unique<platform::SleepLock>(
        fmt::sprintf(t::kSleepLockWhy, start.options.PathSrc, start.options.PathDst), in.cancel);
  start.run = std::make_unique<RestoreRun>(std::move(setup));
  return start;
}

}  // namespace kalvero
