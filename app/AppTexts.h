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

// Checks of a job-list pair (pair editor, kalvero-cli pairs add).
inline constexpr const char* kPairFieldsMissing = "Quell- und Zielverzeichnis müssen angegeben werden.";
inline constexpr const char* kPairBarInSource =
    "Das Quellverzeichnis darf das Zeichen '|' nicht enthalten, weil der Eintrag sonst nicht wieder gelesen werden kann.";
inline constexpr const char* kPairLineBreak = "Verzeichnisnamen dürfen keinen Zeilenumbruch enthalten.";
// Destination, source.
inline constexpr const char* kPairDestinationInSource =
    "Das Ziel '%s' liegt im eigenen Quellverzeichnis '%s'; jede Sicherung würde die letzte Sicherung erneut kopieren.";
// Excluded directory, source.
inline constexpr const char* kPairExcludedOutside =
    "Das ausgeschlossene Verzeichnis '%s' liegt nicht im Quellverzeichnis '%s'.";

// The planned backup (kalvero-cli schedule, the "Zeitplan" dialog).
inline constexpr const char* kScheduleNever = "nie";
inline constexpr const char* kScheduleDaily = "täglich um %02d:%02d";            // hour, minute
inline constexpr const char* kScheduleWeekly = "wöchentlich am %s um %02d:%02d";  // day, hour, minute
inline constexpr const char* kScheduleBadTime = "Die Uhrzeit '%s' ist ungültig; erwartet wird SS:MM, zum Beispiel 20:15.";
inline constexpr const char* kScheduleBadDay =
    "Der Wochentag '%s' ist ungültig; erwartet wird Mo, Di, Mi, Do, Fr, Sa oder So.";
inline constexpr const char* kScheduleBadPath =
    "Der Pfad '%s' ist kein absoluter Pfad ohne Zeilenumbruch und kann nicht in den Zeitplan geschrieben werden.";
inline constexpr const char* kScheduleNoSystemctl =
    "Das Programm 'systemctl' wurde nicht gefunden: Ohne systemd kann kein Zeitplan angelegt werden.";
// Arguments, exit status, its output (systemd's own words, on a line of their own).
inline constexpr const char* kScheduleSystemctlFailed =
    "'systemctl --user %s' ist fehlgeschlagen (Rückgabewert %d); läuft der systemd-Benutzerdienst?\n"
    "Meldung von systemd: %s";
// File, system error text.
inline constexpr const char* kScheduleWriteFailed = "Die Datei '%s' konnte nicht geschrieben werden.  %s";
inline constexpr const char* kScheduleRemoveFailed = "Die Datei '%s' konnte nicht gelöscht werden.  %s";
// The reminder of an overdue backup: what to do.
inline constexpr const char* kReminderPlugIn = "Laufwerk '%s' anschließen.";
inline constexpr const char* kReminderStartNow = "Sicherung jetzt starten.";
// The backup when the destination's drive is plugged in.
inline constexpr const char* kScheduleNoDrive =
    "Kein aktives Ziel liegt auf einem angeschlossenen Laufwerk. Bitte das Laufwerk anschließen (der Desktop "
    "hängt es ein) und es noch einmal versuchen.";
inline constexpr const char* kPluggedPlan = "beim Anschließen des Laufwerks '%s' (UUID %s)";  // name, UUID
inline constexpr const char* kPluggedNoUuid =
    "Das Laufwerk unter '%s' hat keine UUID, an der es beim Anschließen erkannt werden könnte.";

}  // namespace kalvero::texts
