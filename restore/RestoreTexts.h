#pragma once
// German texts of the restore run and of kalvero-cli restore.
namespace kalvero::restore_text {

// Run log header.
inline constexpr const char* kStarted = "Rücksicherung gestartet: %02d.%02d.%04d  %02d:%02d:%02d";
inline constexpr const char* kSource = "Quellverzeichnis = %s";
inline constexpr const char* kDestination = "Zielverzeichnis = %s";
inline constexpr const char* kOption = "%s = %s";
inline constexpr const char* kYes = "Ja";
inline constexpr const char* kNo = "Nein";
inline constexpr const char* kSubdirCaption = "Unterverzeichnisse mitkopieren";
inline constexpr const char* kFileCount = "Anzahl der zu kopierenden Dateien = %d";

// Failures of one file.
inline constexpr const char* kCopyFailed = "Fehler beim Kopieren der Datei von '%s' nach '%s'.  %s";
inline constexpr const char* kUnpackFailed = "Fehler beim Dekomprimieren der Datei: '%s' aus dem ZIP-Archiv: '%s'";

// Links, directories and special files of the backup, and backup files
// that give the same file.
inline constexpr const char* kNewerTaken =
    "Hinweis: '%s' wird nicht zurückgesichert, weil '%s' dieselbe Datei '%s' ergibt und neuer ist.";
inline constexpr const char* kOlderTaken =
    "Hinweis: Die neuere Sicherung von '%s' konnte nicht zurückgesichert werden; stattdessen wird '%s' "
    "zurückgesichert.";
inline constexpr const char* kSpecialFile = "Spezialdatei (kein Inhalt zum Rücksichern): '%s'";
inline constexpr const char* kDirectoryUnreadable =
    "Das Verzeichnis '%s' kann nicht gelesen werden; was darin liegt, wird nicht zurückgesichert.  %s";
inline constexpr const char* kDirectoryFailed = "Das Verzeichnis '%s' kann nicht angelegt werden.  %s";
inline constexpr const char* kDirectoryAttributesFailed =
    "Rechte und Zeiten des Verzeichnisses '%s' können nicht auf '%s' übertragen werden.  %s";
inline constexpr const char* kXattrsNotKept =
    "Hinweis: Erweiterte Attribute und Zugriffslisten (ACLs) können unter '%s' nicht gespeichert werden; die "
    "zurückgesicherten Dateien haben sie nicht.";
inline constexpr const char* kOwnerNotKept =
    "Hinweis: Besitzer oder Gruppe können unter '%s' nicht für jede Datei übernommen werden; Set-UID- und "
    "Set-GID-Rechte wurden dort entfernt.";

// Work found in the target: kept beside the restored copy, or left as it is.
inline constexpr const char* kKeptLabel = "vor Rücksicherung %04d-%02d-%02d";  // year, month, day
inline constexpr const char* kKeptVersion =
    "Hinweis: '%s' unterschied sich von der Sicherung; die bisherige Fassung bleibt als '%s' erhalten.";
inline constexpr const char* kKeepFailed =
    "'%s' unterscheidet sich von der Sicherung, kann aber nicht daneben erhalten werden; die Datei wird nicht "
    "überschrieben.  %s";

// Summary.
inline constexpr const char* kFilesCopied = "%d Dateien kopiert";
inline constexpr const char* kKiloCopied = "%d KiloByte kopiert";
inline constexpr const char* kMegaCopied = "%0.3f MegaByte kopiert";
inline constexpr const char* kKiloUnpacked = "Auf %d KiloByte dekomprimiert";
inline constexpr const char* kMegaUnpacked = "Auf %0.3f MegaByte dekomprimiert";
inline constexpr const char* kKeptCount = "%d abweichende Dateien im Ziel daneben erhalten (vor Rücksicherung)";
inline constexpr const char* kUnchangedCount = "%d Dateien im Ziel waren schon gleich und wurden nicht neu geschrieben";
inline constexpr const char* kSmallest = "Kleinste Datei (%d Byte) = %s";
inline constexpr const char* kLargest = "Größte Datei (%d Byte) = %s";
inline constexpr const char* kFinished = "Rücksicherung beendet: %02d.%02d.%04d  %02d:%02d:%02d";
inline constexpr const char* kElapsed = "Benötigte Zeit = %02d:%02d:%02d";
inline constexpr const char* kErrors = "%d Fehler beim Rücksichern";
inline constexpr const char* kCancelled = "***   Das Rücksichern wurde abgebrochen!   ***";

// Checks before the start.
inline constexpr const char* kNoDestination = "Kein Zielverzeichnis angegeben.";
inline constexpr const char* kSourceMissing = "Quellverzeichnis: '%s'\nnicht vorhanden.";
inline constexpr const char* kLogDirMissing = "Verzeichnis der Protokolldatei: '%s'\nnicht vorhanden.";

// The archive comment that marks an archive made by this program.
inline constexpr const char* kOwnArchiveComment = "Compressed by Kalvero";

// Another run (a backup, a restore) writes into that tree now: nothing starts.
inline constexpr const char* kTargetBusy =
    "Das Ziel '%s' wird gerade von einem anderen Lauf (Sicherung oder Rücksicherung) benutzt; diese "
    "Rücksicherung wird nicht gestartet.";
// What a killed run had left in the directories this restore wrote into.
inline constexpr const char* kLeftoversRemoved =
    "Hinweis: %d unfertige Zwischendateien eines abgebrochenen Laufs wurden entfernt.";
inline constexpr const char* kNotifyNotStarted = "Rücksicherung nicht gestartet";

// Desktop notification at the end of an unattended restore.
inline constexpr const char* kNotifyDone = "Rücksicherung beendet";
inline constexpr const char* kNotifyErrors = "Rücksicherung mit Fehlern beendet";
inline constexpr const char* kNotifyCancelled = "Rücksicherung abgebrochen";

// A restore stopped because the computer went to sleep: not a failure.
inline constexpr const char* kStoppedForSleep =
    "Die Rücksicherung wurde angehalten, weil der Rechner in den Ruhezustand ging; eine neue Rücksicherung "
    "stellt den Rest her.";
inline constexpr const char* kNotifySleep = "Rücksicherung wegen Ruhezustand unterbrochen";
inline constexpr const char* kNotifySleepBody = "Eine neue Rücksicherung stellt den Rest her.";
inline constexpr const char* kSleepLockWhy = "Rücksicherung von '%s' nach '%s'";
// The versions of one file in the dated folders, and one of them put back beside it.
inline constexpr const char* kVersionsNoPair = "'%s' liegt in keiner Quelle eines aktiven Paares.";
inline constexpr const char* kVersionsNone =
    "Von '%s' gibt es keine Kopie in den Datumsordnern des Paares '%s' -> '%s' (%s).";
inline constexpr const char* kVersionsSearched = "durchsucht: %s";
inline constexpr const char* kVersionsNoDatedFolders = "dort gibt es keine Datumsordner JJJJ_MM_TT";
inline constexpr const char* kVersionsRange = "%s bis %s";
inline constexpr const char* kVersionsStand = "%s (Stand %s)";  // name without extension, date
inline constexpr const char* kVersionsNoParent = "Das Verzeichnis '%s' ist nicht vorhanden.";
inline constexpr const char* kVersionsFailed =
    "Der Stand von '%s' konnte nicht nach '%s' zurückgesichert werden.  %s";
inline constexpr const char* kVersionsUnpackFailed =
    "Die Datei '%s' konnte nicht aus dem ZIP-Archiv '%s' dekomprimiert werden.";
}  // namespace kalvero::restore_text
