#pragma once
// The German texts of the job list dialogs, the date dialog, the information
// dialog and the hint window, in one place.

namespace kalvero::dlgtext {

// Pair editor and negative-list editor.
inline constexpr char kPairTitle[] = "Neu oder Ändern";
inline constexpr char kNegativeTitle[] = "Neu oder Ändern (Negativliste)";
inline constexpr char kBrowseSource[] = "Bitte Quellverzeichnis auswählen";
inline constexpr char kBrowseDestination[] = "Bitte Zielverzeichnis auswählen";
inline constexpr char kBrowseExcluded[] = "Bitte Verzeichnis auswählen, dass nicht kopiert werden soll";
inline constexpr char kFieldsMissing[] = "Nicht alle Felder ausgefüllt !";            // 113
inline constexpr char kChangeImpossible[] = "Änderung ist nicht möglich !";          // 114
inline constexpr char kNothingMarked[] = "Es sind keine Einträge markiert !";       // 188
inline constexpr char kDeleteOne[] = "Soll der markierte Eintrag aus der Liste entfernt werden ?";      // 151
inline constexpr char kDeleteSeveral[] = "Sollen die %d markierten Einträge aus der Liste entfernt werden ?";  // 213
inline constexpr char kSeveralSelected[] =
    "Es sind mehrere Zeilen selektiert.\nEs wird jedoch nur die 1. selektierte Zeile geaendert.";  // 212
// The stored pair keeps the source before the destination, separated by "|".
inline constexpr char kBarInSource[] =
    "Das Quellverzeichnis darf das Zeichen '|' nicht enthalten,\n"
    "weil der Eintrag sonst nicht wieder gelesen werden kann.";
inline constexpr char kLineBreakInPath[] = "Verzeichnisnamen dürfen keinen Zeilenumbruch enthalten.";
// A relative path typed into any path field of the window (%1: the path).
inline constexpr char kRelativePath[] =
    "'%1' ist kein vollständiger Pfad.\nBitte einen Pfad angeben, der mit '/' beginnt (oder mit '~/' für das "
    "persönliche Verzeichnis).";
inline constexpr char kColumnWithSubdirs[] = "Mit Unterverzeichnisse";  // 207
inline constexpr char kColumnDirectory[] = "Verzeichnis";            // 208
inline constexpr char kYes[] = "Ja";
inline constexpr char kNo[] = "Nein";

// "Sichern - Erweitert".
inline constexpr char kExtendedTitle[] = "Sichern - Erweitert";
inline constexpr char kExtendedDeleteOne[] = "Sollen der eine markierte Eintrag aus der Liste entfernt werden ?";  // 190
inline constexpr char kExtendedDeleteSeveral[] =
    "Sollen die %d markierten Einträge aus der Liste entfernt werden ?";  // 189

// Date dialog.
inline constexpr char kDateTitle[] = "Datumswerte eingeben";
inline constexpr char kBetween[] = "Nur Dateien mit Änderungsdatum zwischen\n'%s' und '%s' sichern";       // 165
inline constexpr char kNoDate[] = "Nur Dateien mit Änderungsdatum sichern.\nZur Zeit kein Änderungsdatum angegeben.";  // 166
inline constexpr char kFromOnly[] = "Nur Dateien mit Änderungsdatum >= '%s' sichern";  // 167
inline constexpr char kToOnly[] = "Nur Dateien mit Änderungsdatum <= '%s' sichern";    // 168
inline constexpr char kFromAfterTo[] = "Das Von-Datum muß kleiner gleich dem Bis-Datum sein!";  // 191
inline constexpr char kExplanation[] =
    "Es werden alle Dateien gesichert, deren Änderungsdatum größer oder gleich dem aktuellem Datum  minus "
    "einer bestimmten Anzahl von Stunden ist.";
// Shown beside a date field whose numbers form no date.
inline constexpr char kInvalidDate[] = "Ungültiges Datum";
inline constexpr char kDateFormat[] = "%d.%m.%Y %H:%M:%S";

// Information dialog.
inline constexpr char kInfoTitle[] = "Info über Kalvero";
inline constexpr char kCallParameters[] =
    "Aufrufparameter:\n/Batch\t\tBatchmodus (automatischer Start)\n/Ini=Inidatei\tVerzeichnis und Name der INI-Datei";
inline constexpr char kCloseWindowTip[] = "Fenster schließen";                                     // 145
inline constexpr char kTempDirTip[] = "Verzeichnis, wo temporäre Dateien abgelegt werden";         // 146

// Hint window.
inline constexpr char kHintPatternsTitle[] = "Hinweise für die Eingabe von Dateimustern";        // 219
inline constexpr char kHintExtensionsTitle[] = "Hinweise für die Eingabe von Dateierweiterungen";  // 220
inline constexpr char kHintPatterns[] =
    "Mehrere Muster durch Komma trennen.\r\nErlaubte Muster: *.doc, a*.b*, *a.*b, Test.*\r\n"
    "Unerlaubte Muster: a*b.doc, *b*.doc, Test.*a*\r\n";
inline constexpr char kHintExtensions[] =
    "Dateien mit den angegebenen Dateierweiterungen werden nicht komprimiert.\r\n"
    "Mehrere Dateierweiterungen müssen durch Kommas getrennt werden.\r\n"
    "Dateierweiterungen können mit oder ohne Punkt angegeben werden.\r\n"
    "Zum Beispiel: .zip,jpg,pdf\r\n";

// Accessible names of controls whose caption says too little or repeats on one page.
inline constexpr char kInfoIconName[] = "Information";
// The tab widgets of the main window and the parameter sheet.
inline constexpr char kPagesName[] = "Seiten";
inline constexpr char kReplacementListName[] = "Liste der Verzeichnis-Ersetzungen";
// The two "?" buttons of the backup page beside the allowed and the excluded file patterns.
inline constexpr char kHintAllowedName[] = "Hinweisfenster zur Eingabe der erlaubten Dateimuster";
inline constexpr char kHintExcludedName[] = "Hinweisfenster zur Eingabe der nicht erlaubten Dateimuster";
// The two "..." buttons of "Verzeichnis - Ersetzung".
inline constexpr char kBrowseOldName[] = "Verzeichnis für 'Alt' auswählen";
inline constexpr char kBrowseNewName[] = "Verzeichnis für 'Neu' auswählen";
// The two "Muster" fields of the backup page.
inline constexpr char kPatternsAllowedName[] = "Muster der Dateien, die gesichert werden";
inline constexpr char kPatternsExcludedName[] = "Muster der Dateien, die NICHT gesichert werden";
// The log page's list and the full text of its current row below it.
inline constexpr char kLogListName[] = "Protokollzeilen";
inline constexpr char kLogCurrentName[] = "Ausgewählte Protokollzeile";
// The four "Datei anzeigen" buttons of the information page, in the order of the list files.
inline constexpr const char* kShowListNames[] = {
    "Liste der kopierten Quelldateien anzeigen", "Liste der kopierten Zieldateien anzeigen",
    "Liste der nicht kopierten Quelldateien anzeigen", "Liste der übersprungenen Dateien anzeigen"};

// Schedule dialog ("Zeitplan ..." in the main window's tab-bar corner).
inline constexpr char kScheduleButton[] = "Zeitp&lan ...";
inline constexpr char kScheduleTitle[] = "Zeitplan";
inline constexpr char kScheduleDailyTime[] = "Uhrzeit der täglichen Sicherung";
inline constexpr char kScheduleWeekday[] = "Wochentag der wöchentlichen Sicherung";
inline constexpr char kScheduleWeeklyTime[] = "Uhrzeit der wöchentlichen Sicherung";
inline constexpr char kScheduleNextRun[] = "Nächster geplanter Lauf";
inline constexpr char kScheduleNoRun[] = "keiner";
// Shown when a timer is planned but systemd does not say when it runs next.
inline constexpr char kScheduleNextUnknown[] = "unbekannt (%s)";
inline constexpr const char* kWeekdays[] = {"Montag", "Dienstag", "Mittwoch", "Donnerstag",
                                            "Freitag", "Samstag", "Sonntag"};

}  // namespace kalvero::dlgtext
