#include "run/RunSettings.h"

#include "app/SettingsFile.h"

namespace kalvero {

RunSettings::RunSettings(std::string settingsPath, BackupOptions startOptions)
    : path_(std::move(settingsPath)), startOptions_(startOptions), pairOptions_(std::move(startOptions)) {}

const RunStart& RunSettings::startSnapshot() {
  if (start_) return *start_;
  RunStart s;
  s.withCheckFile = startOptions_.MitPrueffile != 0;
  s.checkFilePath = startOptions_.Prueffile;
  if (startOptions_.Compress) s.noCompress = BuildNoCompressSet(startOptions_.NotCompress);
  if (!path_.empty()) s.minSize = SettingsFile(path_).loadInfoOptions().MinSize;
  start_ = std::move(s);
  return *start_;
}

BackupOptions RunSettings::pairSnapshot() {
  if (path_.empty()) return pairOptions_;
  bool readOk = false;
  BackupOptions reloaded = SettingsFile(path_).loadBackupOptions(&readOk);
  if (readOk) pairOptions_ = std::move(reloaded);
  return pairOptions_;
}

BackupOptions RunSettings::savedOptions() const { return SettingsFile(path_).loadBackupOptions(); }

JobList RunSettings::savedJobs() const { return SettingsFile(path_).loadJobList(); }

UnattendedSettings RunSettings::unattended() const { return LoadUnattendedSettings(path_); }

RestoreOptions RunSettings::savedRestoreOptions() const { return SettingsFile(path_).loadRestoreOptions(); }

}  // namespace kalvero
