#pragma once
// How a backup starts, the same for the window and kalvero-cli backup: the
// log directory is checked (the default one made), a job list without an
// active pair is refused, the settings are saved, and the run is set up.
#include <array>
#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "app/Application.h"
#include "app/Records.h"
#include "backup/BackupRun.h"
#include "run/RunNotification.h"

namespace kalvero {

class CheckFile;

// What a front end holds when the start is asked for: the window its
// controls, kalvero-cli the settings file as LoadBackupInput reads it.
struct BackupStartInput {
  std::string settingsPath;
  BackupOptions options;
  JobList jobs;
  DateFilter dateFilter;
  std::string dateLabel;  // caption of the date option, as the page shows it
  std::array<std::string, 4> listFiles;
  std::atomic<int>* cancel = nullptr;
  RunReporter* reporter = nullptr;
  CheckFile* checkFile = nullptr;  // the run makes its own when null
  // A run started by plugging in this drive (file system UUID): only the
  // pairs on it run; the settings file keeps every pair as it is.
  std::string driveUuid;
};

// The options, job list and date filter of a settings file as the backup
// page loads them: "Datum" is off while the filter holds no valid date.
// Incomplete job entries are passed over and named in warnings.
BackupStartInput LoadBackupInput(const std::string& settingsPath, std::vector<std::string>* warnings);

struct BackupStart {
  enum class Field { None, LogFile, JobList, Settings, AllowedPatterns, ExcludedPatterns };
  Field field = Field::None;  // the input a refusal concerns
  MessageKind kind = MessageKind::Warning;
  std::string text;               // the refusal's message
  std::unique_ptr<BackupRun> run;  // set when the run may start
  bool ok() const { return run != nullptr; }
};

// "" when the log file's directory exists (the default one is made here, at
// the first start); otherwise the refusal "Verzeichnis der Protokolldatei: ...".
std::string LogDirectoryRefusal(const std::string& logFile);

// "" when the switched-on pattern fields hold only allowed patterns; otherwise
// the message naming the first forbidden one, and *field names its field.
std::string PatternRefusal(const BackupOptions& options, BackupStart::Field* field = nullptr);

// The checks and the save before a run, in this order: the name patterns are
// allowed, the log file's directory exists, an active pair is there, the
// settings are saved.
BackupStart StartBackup(BackupStartInput input);

// logind's lock against sleep for a run, unless the setting "Schlafsperre"
// is 0; a lock without a system bus holds nothing and stops nothing.
std::unique_ptr<platform::SleepLock> TakeSleepLock(const std::string& settingsPath, const std::string& why,
                                                   std::atomic<int>* cancel);

// The critical desktop notification of a start that was refused, so that a
// scheduled run does not fail unseen.
RunNotification RefusalNotification(const BackupStart& refused);

}  // namespace kalvero
