#pragma once
// The German texts of the main window and the backup page, in one place.
// They are shown exactly as written here.

namespace kalvero::ui_texts {

// Main window
inline constexpr const char* kCaption = "Kalvero";
inline constexpr const char* kTabSichern = "Sichern";
inline constexpr const char* kTabRuecksichern = "Rücksichern";
inline constexpr const char* kTabInformation = "Information";
inline constexpr const char* kTabProtokoll = "Protokoll";
inline constexpr const char* kParameterButton = "&Parameter ...";
inline constexpr const char* kIncompleteEntries =
    "Die folgenden Einträge der Auftragsliste sind unvollständig und wurden beim Laden übersprungen:\n%s";

// Batch warning
inline constexpr const char* kBatchTitle = "Warnung Batchmodus";
inline constexpr const char* kBatchText = "ACHTUNG:\n\nDer Batchmodus startet in 10 Sekunden !";
inline constexpr const char* kBatchCancel = "&Batchmodus abbrechen";

// Backup page: buttons and captions
inline constexpr const char* kWindowClose = "Fenster schließen";
inline constexpr const char* kCancel = "Abbrechen";
// The same captions with their Alt key ("&" marks the underlined letter): two
// different keys, so Alt+C pressed as a run ends never closes the window.
inline constexpr const char* kWindowCloseKey = "Fenster s&chließen";
inline constexpr const char* kCancelKey = "Abbrec&hen";

// A run that could not go on: the line for the log page when its thread
// could not be started, or when it threw something that carries no text.
inline constexpr const char* kRunNotStarted = "Der Lauf konnte nicht gestartet werden.";
inline constexpr const char* kRunAborted = "Der Lauf wurde durch einen unerwarteten Fehler beendet.";

// Job list
inline constexpr const char* kColKz = "KZ";
inline constexpr const char* kColAktiv = "Aktiv";
inline constexpr const char* kColUnterverzeichnis = "Unterverzeichnis";
inline constexpr const char* kColNegativliste = "Negativliste";
inline constexpr const char* kColQuelle = "Quellverzeichnis";
inline constexpr const char* kColZiel = "Zielverzeichnis";
inline constexpr const char* kJa = "Ja";
inline constexpr const char* kNein = "Nein";
inline constexpr const char* kJobListName = "Auftragsliste";
inline constexpr const char* kEmptyJobList =
    "Noch keine Sicherung eingerichtet: 'Neu / Ändern ...' legt das erste Paar an.";
// The last backup as its run log's last summary tells it: date and time, then how it went.
inline constexpr const char* kLastBackup = "Letzte Sicherung: %02d.%02d.%04d %02d:%02d, %s";
inline constexpr const char* kLastBackupClean = "ohne Fehler";
inline constexpr const char* kLastBackupErrors = "%d Fehler";
inline constexpr const char* kLastBackupMissing = "%d Quellverzeichnis(se) nicht vorhanden";
inline constexpr const char* kLastBackupCancelled = "abgebrochen";

// Popup menu of the job list
inline constexpr const char* kMenuAllInactive = "Alle Listeneinträge auf Aktiv=Nein setzen";
inline constexpr const char* kMenuAllActive = "Alle Listeneinträge auf Aktiv=Ja setzen";
inline constexpr const char* kMenuOneInactive = "Den ausgewählten Eintrag auf Aktiv=Nein setzen";
inline constexpr const char* kMenuOneActive = "Den ausgewählten Eintrag auf Aktiv=Ja setzen";
inline constexpr const char* kMenuOneNoSubdirs = "Den ausgewählten Eintrag auf Unterverzeichnis=Nein setzen";
inline constexpr const char* kMenuOneSubdirs = "Den ausgewählten Eintrag auf Unterverzeichnis=Ja setzen";
inline constexpr const char* kMenuOneDelete = "Den ausgewählten Eintrag löschen (ohne Nachfrage)";

// Messages
inline constexpr const char* kLogDirMissing = "Verzeichnis der Protokolldatei: '%s'\nnicht vorhanden.";
inline constexpr const char* kNothingSelected = "Es sind keine Einträge markiert !";
inline constexpr const char* kDeleteQuestion = "Soll der markierte Eintrag aus der Liste entfernt werden ?";
inline constexpr const char* kNoActivePair = "Die Auftragsliste enthält kein aktives Paar.";
inline constexpr const char* kQuitDuringRun = "Die Sicherung läuft noch. Abbrechen und Kalvero beenden?";
inline constexpr const char* kSaveBeforeClose =
    "Die Einstellungen wurden geändert, aber nicht gespeichert.\nSollen sie vor dem Beenden gespeichert werden?";
// File or folder that no program could open.
inline constexpr const char* kOpenFailed =
    "Für '%s' wurde kein Programm gefunden, das die Datei öffnen kann.\nDie Datei kann mit einem Texteditor "
    "geöffnet werden.";

// Pair editor
// Source, destination.
inline constexpr const char* kPairExists =
    "Das Paar '%s' -> '%s' ist bereits in der Auftragsliste enthalten.\nSoll es trotzdem ein weiteres Mal "
    "hinzugefügt werden ?";
inline constexpr const char* kChangeImpossibleHelp =
    "Änderung ist nicht möglich !\nDas Paar, das geändert werden soll, ist in der Auftragsliste nicht mehr "
    "ausgewählt. Bitte das Paar in der Liste auswählen und \"Neu / Ändern ...\" wählen; \"Hinzufügen\" legt "
    "ein neues Paar an.";

// Progress display
inline constexpr const char* kSearching = "Suche Dateien ...";
inline constexpr const char* kFilesToCopy = "Anzahl der zu kopierenden Dateien = %d";
inline constexpr const char* kFileCount = "%d von %d Dateien";
inline constexpr const char* kCopying = "Kopiere Datei ...";
inline constexpr const char* kCompressing = "Komprimiere Datei ...";
inline constexpr const char* kSkipping = "Überspringe Datei ...";
inline constexpr const char* kComparing = "Vergleiche Datei ...";
inline constexpr const char* kArchiveReset = "Das Archivbit zurücksetzen";
inline constexpr const char* kCheckFileRead = "Prüffile einlesen ...";
inline constexpr const char* kCheckFileWrite = "Prüffile schreiben ...";
inline constexpr const char* kFinished = "Sichern beendet";
inline constexpr const char* kCancelled = "Sichern abgebrochen";
// The end of a run that left something out, had errors, or found nothing to copy.
inline constexpr const char* kFinishedLeftOut = "Sichern beendet, aber nicht alles wurde gesichert:";
inline constexpr const char* kFinishedWithErrors = "Sichern mit %d Fehlern beendet (siehe \"Protokoll\")";
inline constexpr const char* kNothingToCopy = "Keine geänderten Dateien: nichts zu sichern.";
inline constexpr const char* kSourceMissing =
    "Das Quellverzeichnis '%s' existiert nicht; das Paar wurde nicht gesichert.";
inline constexpr const char* kPercent = "%d %%";
inline constexpr const char* kErrors = "%d Fehler";
inline constexpr const char* kSkippedCount = "%d";

// Accessible names of controls whose own text says nothing ("...", "?", icons, edits without label)
inline constexpr const char* kAccInfoIcon = "Information";
inline constexpr const char* kAccPrueffile = "Prüfdatei";
inline constexpr const char* kAccPairBar = "Fortschritt des Verzeichnispaares";
inline constexpr const char* kAccFileBar = "Fortschritt der Datei";

// File dialogs
inline constexpr const char* kChooseLogFile = "Protokolldatei suchen";
inline constexpr const char* kChooseCheckFile = "Prüfdatei suchen";

// Tool tips, by control
namespace tips {
inline constexpr const char* k1003 = "Wenn angekreuzt, so werden nur Dateien mit Archivbit kopiert";
inline constexpr const char* k1004 = "Wenn angekreuzt, so wird jede kopierte Datei mit der Originaldatei verglichen";
inline constexpr const char* k1005 = "Verzeichnis und Name der verwendeten Protokolldatei";
inline constexpr const char* k1011 = "Alle Einstellungen werden abgespeichert";
inline constexpr const char* k1012 = "Protokolldatei suchen";
inline constexpr const char* k1014 = "Das Kopieren wird gestartet";
inline constexpr const char* k1016 =
    "Wenn angekreuzt, so wird bei den Quelldateien das Archivbit und das Schreibschutzbit zurückgesetzt.";
inline constexpr const char* k1017 =
    "Wenn angekreuzt, so wird im Batchmodus nach dem Sichern der Computer ausgeschaltet";
inline constexpr const char* k1019 = "Die gebildete Protokolldatei ansehen";
inline constexpr const char* k1020 = "Wenn angekreuzt, so wird dieses Programm nach dem Start minimiert dargestellt";
inline constexpr const char* k1021 = "Klick mich !";
inline constexpr const char* k1022 =
    "Wenn angekreuzt, so werden Tooltips (kleine gelbe Hinweisfenster) angezeigt";
inline constexpr const char* k1025 = "Prüfdatei suchen";
inline constexpr const char* k1026 = "Die gebildete Prüfdatei ansehen";
inline constexpr const char* k1029 =
    "Wenn angekreuzt, so wird das aktuelle Datum als Unterverzeichnis an das Zielverzeichnis angefügt. "
    "Z.B. '/media/anna/USB/Sicherung/2026_12_09'";
inline constexpr const char* k1030 =
    "Wenn angekreuzt, so werden alle Dateien beim Kopieren komprimiert. An jeden Dateinamen einer "
    "komprimierten Datei wird .zip angefügt.";
inline constexpr const char* k1044 =
    "Wenn angekreuzt, so wird das Programm 'Kalvero' nach dem Sichern beendet.";
inline constexpr const char* k1054 =
    "Es werden nur Dateien gesichert, deren Änderungsdatum im angegebenen Zeitintervall liegt.";
inline constexpr const char* k1055 = "Zeitintervall für Änderungsdatum eingeben";
inline constexpr const char* k1109 =
    "Wenn angekreuzt, so werden nur Dateien mit den unten angegebenen Mustern gesichert.";
inline constexpr const char* k1110 = "Mehrere Dateimuster durch Kommas trennen.";
inline constexpr const char* k1111 =
    "Wenn angekreuzt, so werden alle Dateien mit den unten angegebenen Mustern nicht gesichert.";
inline constexpr const char* k1112 = "Hinweisfenster zur Eingabe von Dateimustern";
inline constexpr const char* k1115 = "Hinweisfenster zur Eingabe von Dateierweiterungen";
inline constexpr const char* k1116 =
    "Dateien mit diesen Dateierweiterungen werden niemals komprimiert.\nMehrere Dateierweiterungen "
    "durch Kommas trennen.";
inline constexpr const char* k1121 =
    "Mit Hilfe der Prüfdatei wird unnötiges Kopieren verhindert, weil hier die bereits erfolgreich "
    "kopierten Zieldateinamen gespeichert werden.";
inline constexpr const char* k1122 = "Verzeichnis und Name der verwendeten Prüfdatei";
}  // namespace tips

}  // namespace kalvero::ui_texts
