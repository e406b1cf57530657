#pragma once
// German texts that both runs show.

namespace kalvero::texts {

inline constexpr const char* REMAINING_TIME = "Geschätzte Restzeit (Std:Min:Sek): %s";

// Desktop notification at the end of an unattended run, lines of both runs
inline constexpr const char* NOTIFY_FILES_COPIED = "%d Dateien kopiert";
inline constexpr const char* NOTIFY_ERRORS = "%d Fehler";
inline constexpr const char* NOTIFY_RUN_LOG = "Protokolldatei: %s";
inline constexpr const char* NOTIFY_NOT_SHOWN = "Die Benachrichtigung konnte nicht angezeigt werden: %s";

}  // namespace kalvero::texts
