#pragma once
// German texts of the application core (settings file, start-up, replacement).

namespace kalvero::texts {

// File, system error text.
inline constexpr const char* kSettingsWriteFailed =
    "Die Einstellungen konnten nicht in die Datei '%s' geschrieben werden.  %s";
// File, system error text.
inline constexpr const char* kSettingsReadFailed = "Die Einstellungsdatei '%s' kann nicht gelesen werden.  %s";
// Key, section.
inline constexpr const char* kIncompleteEntrySkipped =
    "Der Eintrag '%s' im Abschnitt [%s] ist unvollständig und wurde übersprungen.";
inline constexpr const char* kReplaceQuestion =
    "Sollen alle Verzeichnisnamen (Teilnamen) ausgetauscht werden.\r\nEs wird dadurch die INI-Datei modifiziert.";
inline constexpr const char* kProgramName = "Kalvero";

}  // namespace kalvero::texts
