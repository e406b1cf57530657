#pragma once
// The line the backup page shows once a run log exists: the date and the
// result of the last backup, read from the log's last final summary.
#include <QString>
#include <string>

namespace kalvero {

// "Letzte Sicherung: 09.12.2026 20:15, ohne Fehler"; "" when the log holds no summary (or cannot be read).
QString LastBackupText(const std::string& runLogPath);

// The same from the log's text (its end is enough).
QString LastBackupTextOf(const std::string& logText);

}  // namespace kalvero
