#pragma once
// The German texts of the restore page, the information page, the log page
// and the parameter sheet. The texts the backup page shares with them
// (captions, searching, files to copy) are in ui/UiTexts.h.
namespace kalvero::ui_texts {

// Log page
inline constexpr const char* kLogColumnText = "Protokolltext";
inline constexpr const char* kLogColumnDate = "Datum";
inline constexpr const char* kLogDateFormat = "dd.MM.yy HH:mm:ss";

// Restore page
inline constexpr const char* kRestoreTitle = "Rücksichern";
inline constexpr const char* kBrowseSourceTitle = "Bitte Quellverzeichnis auswählen";
inline constexpr const char* kBrowseDestinationTitle = "Bitte Zielverzeichnis auswählen";
inline constexpr const char* kCountText = "%d von %d Dateien";
inline constexpr const char* kErrorsText = "%d Fehler";
inline constexpr const char* kPercentText = "%d %%";
inline constexpr const char* kRestoreFinished = "Rücksichern beendet";
inline constexpr const char* kUnpacking = "Dekomprimiere Datei ...";

// Tool tips of the restore page, by control.
inline constexpr const char* kTipPathSrc = "Verzeichnis aller Quelldateien";
inline constexpr const char* kTipPathDst =
    "Verzeichnis, wo die Quelldateien hinkopiert werden.Wenn dieses Verzeichnis nicht vorhanden ist, so wird es neu "
    "angelegt.";
inline constexpr const char* kTipSubVerz = "Wenn angekreuzt, so werden auch alle Unterverzeichnisse mitkopiert";
inline constexpr const char* kTipBrowseSrc = "Quellverzeichnis suchen";
inline constexpr const char* kTipBrowseDst = "Zielverzeichnis suchen";
inline constexpr const char* kTipOnlyByKalvero =
    "Es werden nur die *.ZIP - Dateien dekomprimiert, die auch mit dem Programm Kalvero komprimiert wurden.";
inline constexpr const char* kTipLogFile = "Verzeichnis und Name der verwendeten Protokolldatei";
inline constexpr const char* kTipSave = "Alle Einstellungen werden abgespeichert";
inline constexpr const char* kTipBrowseLog = "Protokolldatei suchen";
inline constexpr const char* kTipStart = "Das Kopieren wird gestartet";
inline constexpr const char* kTipShowLog = "Die gebildete Protokolldatei ansehen";
inline constexpr const char* kTipSymbol =
    "Wenn angekreuzt, so wird dieses Programm nach dem Start minimiert dargestellt";
inline constexpr const char* kTipInfo = "Klick mich !";
inline constexpr const char* kTipTooltip =
    "Wenn angekreuzt, so werden Tooltips (kleine gelbe Hinweisfenster) angezeigt";

// Information page
inline constexpr const char* kInfoTitle = "Information";
inline constexpr const char* kListFileMissing = "Datei: '%s'\nnicht vorhanden.";
inline constexpr const char* kListDirectoryMissing = "Verzeichnis: '%s'\nnicht vorhanden.";

// Parameter sheet
inline constexpr const char* kParameterTitle = "Parameter";
inline constexpr const char* kDirectoriesTitle = "Verzeichnisse";
inline constexpr const char* kReplacementTitle = "Verzeichnis - Ersetzung";
inline constexpr const char* kColumnActive = "Aktiv";
inline constexpr const char* kColumnOld = "Alt";
inline constexpr const char* kColumnNew = "Neu";
inline constexpr const char* kYes = "Ja";
inline constexpr const char* kNo = "Nein";
inline constexpr const char* kBrowseReplacementTitle = "Bitte ein Verzeichnis auswählen";
inline constexpr const char* kDeleteMarkedQuestion = "Sollen alle markierten Einträge gelöscht werden ?\nAnzahl = %d";
inline constexpr const char* kReplaceQuestion =
    "Sollen alle Verzeichnisnamen (Teilnamen) ausgetauscht werden?\r\nEs wird dadurch die INI-Datei modifiziert.";
// The stored list separates its fields by "|" and cuts values at their last ";".
inline constexpr const char* kBarInOldName =
    "Der Name in 'Alt' darf kein Zeichen '|' enthalten, weil die Liste in der INI-Datei die Felder mit '|' trennt.";
inline constexpr const char* kSemicolonInName =
    "Die Namen in 'Alt' und 'Neu' dürfen kein Zeichen ';' enthalten, weil die INI-Datei alles ab dem letzten ';' als "
    "Kommentar liest.";

// Backup page: complete dated states
inline constexpr const char* kTipDatumVollstaendig =
    "Wenn angekreuzt, so enthält jeder Datumsordner alle ausgewählten Dateien des Paares. Unveränderte Dateien "
    "werden nicht erneut kopiert, sondern als feste Verknüpfung auf den vorigen vollständigen Datumsordner "
    "angelegt; ein Tag kostet so nur den Platz der geänderten Dateien.";

}  // namespace kalvero::ui_texts
