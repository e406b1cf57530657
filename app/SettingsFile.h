#pragma once
// Every section and key of the settings file, with the load and save
// operations of the program. A composite save is one replacement of the
// file; when it fails, the error text says why and nothing was changed.
#include <string>
#include <vector>

#include "app/Records.h"

namespace kalvero {

class SettingsFile {
 public:
  explicit SettingsFile(std::string path);
  const std::string& path() const { return path_; }
  // False (with the message in *error) when the file exists but cannot be
  // read, e.g. a directory or no permission. A missing file is readable.
  bool readable(std::string* error = nullptr) const;

  // Whether the file is there at all (a first start when not).
  bool exists() const;

  // Section "Allg" (with the legacy keys per "SichQZ" "Version"). A file that
  // does not exist yet gives the run log DefaultRunLogPath().
  // *readOk (when given) is false when the file exists but could not be read (all defaults then).
  BackupOptions loadBackupOptions(bool* readOk = nullptr) const;
  // Job list; entries that are present but incomplete are skipped and their
  // keys named in *warnings.
  JobList loadJobList(std::vector<std::string>* warnings = nullptr) const;
  // "Allg", "Version" and the whole job list in one replacement. Every save
  // reports a failure by false and *error = SettingsWriteFailedText(...).
  bool saveBackupSettings(const BackupOptions& options, const JobList& jobs, std::string* error = nullptr);

  // A file that does not exist yet gives the restore log DefaultRestoreLogPath().
  RestoreOptions loadRestoreOptions() const;
  bool saveRestoreOptions(const RestoreOptions& options, std::string* error = nullptr);

  InfoOptions loadInfoOptions() const;
  bool writeDeleteSrc(int value, std::string* error = nullptr);
  bool writeMinSize(int value, std::string* error = nullptr);

  DirReplacementList loadDirReplacementList() const;
  bool saveDirReplacementList(const DirReplacementList& list, std::string* error = nullptr);

  // Date filter as the backup page holds it (relative form: from = now - hours).
  DateFilter loadDateFilter() const;
  DateFilter loadDateFilter(const DateTime& now) const;
  // Typ 0 writes DatumVon/DatumBis, Typ 1 writes Stunden (text), then Typ.
  bool saveDateFilter(int typ, const DateTime& from, const DateTime& to, const std::string& hoursText,
                      std::string* error = nullptr);

  int readDebug() const;

 private:
  std::string path_;
};

// "Die Einstellungen konnten nicht in die Datei '%s' geschrieben werden.  %s"
std::string SettingsWriteFailedText(const std::string& file, int error);

// The default settings file: $XDG_CONFIG_HOME/kalvero/kalvero.INI (~/.config/...).
std::string DefaultSettingsPath();
// Its directory, with trailing "/"; made at the first save.
std::string DefaultSettingsDirectory();
// $VARIABLE when it is an absolute path, else $HOME + belowHome; with trailing "/".
std::string XdgBaseDirectory(const char* variable, const char* belowHome);
// The file a "/Ini=" name stands for: "" the default file, a bare name in the
// default directory, a name with a directory part absolute against the
// current directory.
std::string ResolveSettingsPath(const std::string& name);

// Where a fresh settings file keeps its run logs: $XDG_DATA_HOME/kalvero/
// (default ~/.local/share/kalvero/), with trailing "/".
std::string DefaultDataDirectory();
std::string DefaultRunLogPath();      // .../sichern.log
std::string DefaultRestoreLogPath();  // .../ruecksichern.log
// Made at the first run: creates the directory of logPath when logPath is one
// of the two default logs (any other log directory is the user's and is only
// checked). False with *err when it cannot be made.
bool MakeDefaultLogDirectory(const std::string& logPath, int* err = nullptr);

}  // namespace kalvero
