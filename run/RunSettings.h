#pragma once
// The one reader of the settings file for a run. What the run decides at its
// start (the check file, the extensions never compressed, the size from which
// a file shows its own bar) is taken once; "Allg" is read again before every
// pair, so options saved during a run count from the next pair on.
#include <optional>
#include <string>

#include "app/Records.h"
#include "app/UnattendedSettings.h"
#include "run/Filters.h"

namespace kalvero {

struct RunStart {
  bool withCheckFile = false;  // MitPrueffile of the start options
  std::string checkFilePath;   // Prueffile of the start options
  NoCompressSet noCompress;    // from NotCompress, empty without Compress
  int minSize = 1000;          // "Info" "MinSize" (1000 without a settings file)
};

class RunSettings {
 public:
  // An empty settingsPath: no file, every pair runs with startOptions. The
  // checks before and around a run give no start options.
  explicit RunSettings(std::string settingsPath, BackupOptions startOptions = {});
  const std::string& path() const { return path_; }

  // Decided at the first call, the same for the rest of the run.
  const RunStart& startSnapshot();
  // "Allg" read again for the next pair. A file that cannot be read now
  // leaves the previous pair's options (its defaults would change what the
  // pair copies, without a word).
  BackupOptions pairSnapshot();

  // The file as it is now, for the checks before and around a run.
  BackupOptions savedOptions() const;
  JobList savedJobs() const;
  UnattendedSettings unattended() const;
  RestoreOptions savedRestoreOptions() const;  // section "Rueck"

 private:
  std::string path_;
  const BackupOptions startOptions_;
  BackupOptions pairOptions_;
  std::optional<RunStart> start_;
};

}  // namespace kalvero
