#pragma once
// The German texts of the restore page, the information page, the log page
// and the parameter sheet.
#include <QString>

namespace kalvero::ui_texts {

// Log page
inline const QString kLogColumnText = QStringLiteral("Protokolltext");
inline const QString kLogColumnDate = QStringLiteral("Datum");
inline const QString kLogDateFormat = QStringLiteral("dd.MM.yy HH:mm:ss");

// Restore page
inline const QString kRestoreTitle = QStringLiteral("Rücksichern");
inline const QString kBrowseSourceTitle = QStringLiteral("Bitte Quellverzeichnis auswählen");
inline const QString kBrowseDestinationTitle = QStringLiteral("Bitte Zielverzeichnis auswählen");
inline const QString kCloseWindow = QStringLiteral("Fenster schließen");
inline const QString kCancel = QStringLiteral("Abbrechen");
inline constexpr const char* kFilesToCopy = "Anzahl der zu kopierenden Dateien = %d";
inline constexpr const char* kCountText = "%d von %d Dateien";
inline constexpr const char* kErrorsText = "%d Fehler";
inline constexpr const char* kPercentText = "%d %%";
inline const QString kSearching = QStringLiteral("Suche Dateien ...");
inline const QString kRestoreFinished = QStringLiteral("Rücksichern beendet");
inline const QString kUnpacking = QStringLiteral("Dekomprimiere Datei ...");

// Tool tips of the restore page, by control.
inline const QString kTipPathSrc = QStringLiteral("Verzeichnis aller Quelldateien");
inline const QString kTipPathDst = QStringLiteral(
    "Verzeichnis, wo die Quelldateien hinkopiert werden.Wenn dieses Verzeichnis nicht vorhanden ist, so wird es neu "
    "angelegt.");
inline const QString kTipSubVerz = QStringLiteral("Wenn angekreuzt, so werden auch alle Unterverzeichnisse mitkopiert");
inline const QString kTipBrowseSrc = QStringLiteral("Quellverzeichnis suchen");
inline const QString kTipBrowseDst = QStringLiteral("Zielverzeichnis suchen");
inline const QString kTipOnlyByKalvero = QStringLiteral(
    "Es werden nur die *.ZIP - Dateien dekomprimiert, die auch mit dem Programm Kalvero.exe komprimiert wurden.");
inline const QString kTipLogFile = QStringLiteral("Verzeichnis und Name der verwendeten Protokolldatei");
inline const QString kTipSave = QStringLiteral("Alle Einstellungen werden abgespeichert");
inline const QString kTipBrowseLog = QStringLiteral("Protokolldatei suchen");
inline const QString kTipStart = QStringLiteral("Das Kopieren wird gestartet");
inline const QString kTipShowLog = QStringLiteral("Die gebildete Protokolldatei ansehen");
inline const QString kTipSymbol =
    QStringLiteral("Wenn angekreuzt, so wird dieses Programm nach dem Start minimiert dargestellt");
inline const QString kTipInfo = QStringLiteral("Klick mich !");
inline const QString kTipTooltip =
    QStringLiteral("Wenn angekreuzt, so werden Tooltips (kleine gelbe Hinweisfenster) angezeigt");

// Information page
inline const QString kInfoTitle = QStringLiteral("Information");
inline constexpr const char* kListFileMissing = "Datei: '%s'\nnicht vorhanden.";
inline constexpr const char* kListDirectoryMissing = "Verzeichnis: '%s'\nnicht vorhanden.";

// Parameter sheet
inline const QString kParameterTitle = QStringLiteral("Parameter");
inline const QString kDirectoriesTitle = QStringLiteral("Verzeichnisse");
inline const QString kReplacementTitle = QStringLiteral("Verzeichnis - Ersetzung");
inline const QString kColumnActive = QStringLiteral("Aktiv");
inline const QString kColumnOld = QStringLiteral("Alt");
inline const QString kColumnNew = QStringLiteral("Neu");
inline const QString kYes = QStringLiteral("Ja");
inline const QString kNo = QStringLiteral("Nein");
inline const QString kBrowseReplacementTitle = QStringLiteral("Bitte ein Verzeichnis auswählen");
inline constexpr const char* kDeleteQuestion = "Sollen alle markierten Einträge gelöscht werden ?\nAnzahl = %d";
inline constexpr const char* kReplaceQuestion =
    "Sollen alle Verzeichnisnamen (Teilnamen) ausgetauscht werden.\r\nEs wird dadurch die INI-Datei modifiziert.";
// The stored list separates its fields by "|" and cuts values at their last ";".
inline constexpr const char* kBarInOldName =
    "Der Name in 'Alt' darf kein Zeichen '|' enthalten, weil die Liste in der INI-Datei die Felder mit '|' trennt.";
inline constexpr const char* kSemicolonInName =
    "Die Namen in 'Alt' und 'Neu' dürfen kein Zeichen ';' enthalten, weil die INI-Datei alles ab dem letzten ';' als "
    "Kommentar liest.";

}  // namespace kalvero::ui_texts
