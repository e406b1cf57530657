#pragma once
// The German texts of the backup run: log lines, summaries, list headers,
// error messages and the option captions of the backup page.
#include "run/RunTexts.h"

namespace kalvero::texts {

// Run driver
inline constexpr const char* PAIR_LOG_PAGE_HEADER = "**** Quellverzeichnis: \"%s\",   Zielverzeichnis: \"%s\"";
inline constexpr const char* DEST_DIR_FAILED = "Zielverzeichnis: '%s' kann nicht angelegt werden. %s";
inline constexpr const char* GENERAL_ERROR = "Allgemeiner Fehler: %s (Quelldatei: '%s', Zieldatei: '%s'";
inline constexpr const char* LOG_DIR_MISSING = "Verzeichnis der Protokolldatei: '%s'\nnicht vorhanden.";
inline constexpr const char* NO_ACTIVE_PAIR = "Die Auftragsliste enthält kein aktives Paar.";
inline constexpr const char* ARCHIVE_BIT_UNSUPPORTED =
    "Hinweis: Das Archivbit kann unter '%s' nicht gespeichert werden; diese Dateien werden beim nächsten Sichern "
    "erneut kopiert.";

// Run log: pair header
inline constexpr const char* LOG_STARTED = "Sicherung gestartet: %02d.%02d.%04d  %02d:%02d:%02d";
inline constexpr const char* LOG_VERSION = "Version Kalvero = %s";
inline constexpr const char* LOG_SOURCE = "Quellverzeichnis = %s";
inline constexpr const char* LOG_SOURCE_EXISTS = "Das Quellverzeichnis existiert.";
inline constexpr const char* LOG_SOURCE_MISSING = "ACHTUNG: Das Quellverzeichnis existiert nicht !!";
inline constexpr const char* LOG_DESTINATION = "Zielverzeichnis = %s";
inline constexpr const char* LOG_OPTION = "%s = %s";
inline constexpr const char* YES = "Ja";
inline constexpr const char* NO = "Nein";
inline constexpr const char* LOG_NOT_COMPRESSED =
    "Dateien mit folgenden Dateierweiterungen werden nicht komprimiert: '%s'";
inline constexpr const char* LOG_PATTERNS = "%s  \"%s\"";
inline constexpr const char* LOG_FILE_COUNT = "Anzahl der zu kopierenden Dateien = %d";

// Run log: pair summary
inline constexpr const char* LOG_FILES_COPIED = "%d Dateien kopiert";
inline constexpr const char* LOG_FILES_SKIPPED = "%d Dateien übersprungen";
// Complete dated states: of the files counted as copied, those that are a
// second name of the previous state's unchanged copy.
inline constexpr const char* LOG_FILES_LINKED = "%d davon unverändert als feste Verknüpfung auf den vorigen Stand";
inline constexpr const char* LOG_KBYTE_COPIED = "%d KiloByte kopiert";
inline constexpr const char* LOG_MBYTE_COPIED = "%0.3f MegaByte kopiert";
inline constexpr const char* LOG_KBYTE_COMPRESSED = "Auf %d KiloByte komprimiert";
inline constexpr const char* LOG_MBYTE_COMPRESSED = "Auf %0.3f MegaByte komprimiert";
inline constexpr const char* LOG_SMALLEST = "Kleinste Datei (%d KByte) = %s";
inline constexpr const char* LOG_LARGEST = "Größte Datei (%d KByte) = %s";
inline constexpr const char* LOG_ENDED = "Sicherung beendet: %02d.%02d.%04d  %02d:%02d:%02d";
inline constexpr const char* LOG_DURATION = "Benötigte Zeit = %02d:%02d:%02d";
inline constexpr const char* LOG_PAIR_ERRORS = "%d Fehler beim Sichern";
inline constexpr const char* LOG_CANCELLED = "***   Das Sichern wurde abgebrochen!   ***";

// Run log: final summary
inline constexpr const char* SUMMARY_HEADER =
    "************ ZUSAMMENFASSUNG (Sicherung)   am: %02d.%02d.%04d  %02d:%02d:%02d ************";
inline constexpr const char* SUMMARY_SOURCE = "Quellverzeichnis = %s";
inline constexpr const char* SUMMARY_DESTINATION = "Zielverzeichnis = %s";
inline constexpr const char* SUMMARY_SUBDIRS = "Mit Unterverzeichnissen=%s";
inline constexpr const char* SUMMARY_EXCLUDED_TREE =
    "Dieses Verzeichnis: '%s' einschliesslich aller Unterverzeichnisse wurden nicht kopiert.";
inline constexpr const char* SUMMARY_EXCLUDED_DIR = "Nur dieses Verzeichnis: '%s' wurde nicht kopiert.";
inline constexpr const char* SUMMARY_PAIR_COUNTS =
    "Anzahl der kopierten Daten = %d,   Anzahl der übersprungenen Dateien = %d,   Anzahl der Fehler = %d";
inline constexpr const char* SUMMARY_TOTAL_SKIPPED = "Gesamtanzahl der übersprungenen Dateien: %d";
inline constexpr const char* SUMMARY_TOTAL_ERRORS =
    "Gesamtanzahl der Fehler: %d,  Anzahl nicht vorhandener Quellverzeichnisse: %d";

// Copy and verify
inline constexpr const char* COMPRESS_FAILED = "Komprimierung der Datei: '%s' fehlgeschlagen. %s";
inline constexpr const char* COPY_FAILED = "Fehler beim Kopieren der Datei von '%s' nach '%s'.  %s";
inline constexpr const char* DELETE_FAILED = "Fehler beim Löschen der Datei: %s. Fehler: %s";
inline constexpr const char* ATTRIBUTES_FAILED =
    "Fehler beim Lesen oder Schreiben von Dateiattributen in die Datei: %s. Fehler: %s";
inline constexpr const char* COMPARE_OPEN_SOURCE = "Beim Vergleichen - Fehler beim Öffnen der Quelldatei: '%s'";
inline constexpr const char* COMPARE_OPEN_DEST = "Beim Vergleichen - Fehler beim Öffnen der Zieldatei: '%s'";
inline constexpr const char* COMPARE_READ_SOURCE = "Beim Vergleichen - Fehler beim Lesen der Quelldatei: '%s'";
inline constexpr const char* COMPARE_READ_DEST = "Beim Vergleichen - Fehler beim Lesen der Zieldatei: '%s'";
inline constexpr const char* COMPARE_DIFFERENT = "Fehler beim Vergleichen der Dateien: '%s' und '%s'";
inline constexpr const char* COMPARE_SYSTEM_TEXT = "   (Fehlertext: '%s')";

// The source and the copy's name
inline constexpr const char* CHANGED_DURING_COPY =
    "Die Datei '%s' wurde während des Sicherns geändert und wird beim nächsten Sichern erneut kopiert.";
inline constexpr const char* STORED_UNCOMPRESSED =
    "Hinweis: Die Datei '%s' wird unkomprimiert gesichert, weil der Name ihres Archivs schon der Datei '%s' gehört.";
inline constexpr const char* NAME_WITH_LINE_BREAK =
    "Hinweis: Der Name der Datei '%s' enthält einen Zeilenumbruch; sie wird gesichert, aber nicht in die Prüfdatei "
    "und die Dateilisten eingetragen.";
inline constexpr const char* DESTINATION_TAKEN =
    "Die Datei '%s' wird nicht gesichert: ihr Ziel '%s' ist in diesem Lauf schon die Kopie einer anderen Datei.";

// Check file
inline constexpr const char* CHECKFILE_HEADER = ";Gebildet: %s\r\n";
inline constexpr const char* CHECKFILE_LINE = "%s|%d|%lld|%d|%d\r\n";
inline constexpr const char* CHECKFILE_SAVE_FAILED = "Fehler beim Schreiben des neuen Prüffiles: %s (%s).";

// List files
inline constexpr const char* LIST_COPIED_SOURCES = "Kopierte Quelldateien vom %s\r\n";
inline constexpr const char* LIST_NOT_COPIED = "Nicht kopierte Quelldateien vom %s\r\n";
inline constexpr const char* LIST_COPIED_DESTINATIONS = "Kopierte Zieldateien vom %s\r\n";
inline constexpr const char* LIST_SKIPPED = "Nicht kopierte Dateien (wegen Prüfdatei: '%s') vom %s\r\n";
inline constexpr const char* LIST_ENTRY = "%6d %s\r\n";
inline constexpr const char* LIST_SKIPPED_ENTRY = "Von: '%s'\r\nNach: '%s'\r\n\r\n";

// Option captions of the backup page
inline constexpr const char* CAPTION_ARCHIVBIT = "Nur Dateien mit gesetztem Archivbit kopieren";
inline constexpr const char* CAPTION_ARCHIVBIT_RESET = "Archivbit nach dem Kopieren zurücksetzen";
inline constexpr const char* CAPTION_COMPARE = "Nach dem Kopieren alle Dateien vergleichen";
inline constexpr const char* CAPTION_EXIT = "Computer nach dem Sichern ausschalten (nur bei /Batch)";
inline constexpr const char* CAPTION_REBOOT = "Computer neu starten";
inline constexpr const char* CAPTION_SUBVERZDATUM = "Aktuelles Datum an Zielverzeichnis anfügen";
inline constexpr const char* CAPTION_DATUM_VOLLSTAENDIG =
    "Jeder Datumsordner ist vollständig (unveränderte Dateien als feste Verknüpfung)";
inline constexpr const char* CAPTION_COMPRESS = "Dateien komprimieren";
inline constexpr const char* CAPTION_CLOSE = "Nach dem Sichern das Programm Kalvero beenden";
inline constexpr const char* CAPTION_DELETE_ZIELDATEI = "Zieldatei im Fehlerfall löschen";
inline constexpr const char* CAPTION_MUSTER_ERLAUBT = "Nur Dateien sichern, die den Mustern entsprechen:";
inline constexpr const char* CAPTION_MUSTER_NICHT_ERLAUBT = "Alle Dateien NICHT sichern, die den Mustern entsprechen:";
// A name pattern of a form the selection cannot match (pattern, the caption of its field).
inline constexpr const char* PATTERN_FORBIDDEN =
    "Das Muster '%s' bei \"%s\" ist nicht erlaubt: ein '*' darf im Namen und in der Dateierweiterung nur am "
    "Anfang oder nur am Ende stehen (erlaubt sind z.B. *.doc, a*.b*, *a.*b, Test.*).";
inline constexpr const char* PATTERN_NOTHING_COPIED = "Die Sicherung wurde nicht gestartet; es wurde nichts kopiert.";
inline constexpr const char* NOTIFY_BACKUP_NOT_STARTED = "Sicherung nicht gestartet";

// Date label of the backup page
inline constexpr const char* DATE_BETWEEN = "Nur Dateien mit Änderungsdatum zwischen\n'%s' und '%s' sichern";
inline constexpr const char* DATE_FROM = "Nur Dateien mit Änderungsdatum >= '%s' sichern";
inline constexpr const char* DATE_TO = "Nur Dateien mit Änderungsdatum <= '%s' sichern";
inline constexpr const char* DATE_NONE = "Nur Dateien mit Änderungsdatum sichern.\nZur Zeit kein Änderungsdatum angegeben.";
inline constexpr const char* DATE_RELATIVE =
    "Nur Dateien mit Änderungsdatum >= '%s' sichern\nRelatives Datum (Aktuelles Datum - %d Stunden)";

// Shutdown
inline constexpr const char* SHUTDOWN_NO_TOKEN =
    "Der Computer kann nicht ausgeschaltet werden: keine Verbindung zu systemd-logind.";
inline constexpr const char* SHUTDOWN_NOT_ALLOWED =
    "Der Computer darf von diesem Benutzer nicht ausgeschaltet oder neu gestartet werden.";
inline constexpr const char* SHUTDOWN_REBOOT_MESSAGE = "*** Kalvero hat den Computer neu gestartet ***";
inline constexpr const char* SHUTDOWN_POWEROFF_MESSAGE = "*** Kalvero hat den Computer ausgeschaltet ***";

// Links, directories, special files and the destination's drive
inline constexpr const char* UNMOUNTED_DRIVE =
    "Das Ziel '%s' liegt auf einem Laufwerk, das nicht eingehängt ist; das Paar wird nicht gesichert.";
inline constexpr const char* SPECIAL_FILE = "Spezialdatei (kein Inhalt zum Sichern): '%s'";
inline constexpr const char* DIRECTORY_UNREADABLE =
    "Das Verzeichnis '%s' kann nicht gelesen werden; was darin liegt, wird nicht gesichert.  %s";
inline constexpr const char* FILE_VANISHED =
    "Die Datei '%s' ist seit der Suche nach den Dateien verschwunden und wurde nicht gesichert.";
inline constexpr const char* LINK_FAILED =
    "Der symbolische Link '%s' kann nicht als Link nach '%s' gesichert werden.  %s";
inline constexpr const char* DIRECTORY_ATTRIBUTES_FAILED =
    "Rechte und Zeiten des Verzeichnisses '%s' können nicht auf '%s' übertragen werden.  %s";
inline constexpr const char* XATTRS_NOT_KEPT =
    "Hinweis: Erweiterte Attribute und Zugriffslisten (ACLs) können unter '%s' nicht gespeichert werden; die "
    "Kopien haben sie nicht.";
inline constexpr const char* OWNER_NOT_KEPT =
    "Hinweis: Besitzer oder Gruppe können unter '%s' nicht für jede Kopie übernommen werden; Set-UID- und "
    "Set-GID-Rechte wurden dort entfernt.";

// Desktop notification at the end of an unattended backup
inline constexpr const char* NOTIFY_BACKUP_DONE = "Sicherung beendet";
inline constexpr const char* NOTIFY_BACKUP_ERRORS = "Sicherung mit Fehlern beendet";
inline constexpr const char* NOTIFY_BACKUP_CANCELLED = "Sicherung abgebrochen";
inline constexpr const char* NOTIFY_MISSING_SOURCES = "Nicht vorhandene Quellverzeichnisse: %s";

// Kind changes, the other form of a copy and a destination inside its source
inline constexpr const char* KEPT_FOLDER = "%s (Ordner bis %s)";
inline constexpr const char* KEPT_FILE = "%s (Datei bis %s)";
inline constexpr const char* KEPT_LINK = "%s (Verknüpfung bis %s)";
inline constexpr const char* KEPT_NUMBERED = "%s (%d)";
inline constexpr const char* KEPT_DATE = "%04d-%02d-%02d";
inline constexpr const char* KIND_CHANGE_KEPT =
    "Hinweis: '%s' ist in der Quelle jetzt von anderer Art; die bisherige Sicherung bleibt als '%s' erhalten.";
inline constexpr const char* KIND_CHANGE_FAILED =
    "Die bisherige Sicherung '%s' kann nicht beiseitegelegt werden; an ihre Stelle wird nichts gesichert.  %s";
inline constexpr const char* SOURCE_PATH_CHANGED =
    "'%s' wird nicht gesichert: der Eintrag oder ein Verzeichnis auf seinem Weg wurde seit der Suche durch einen "
    "symbolischen Link oder eine Datei ersetzt.";
inline constexpr const char* DESTINATION_IN_SOURCE =
    "Das Ziel '%s' liegt im Quellverzeichnis '%s' (auch über einen Link); das Paar wird nicht gesichert.";

// Mode, owner or xattrs of an unchanged file carried to its copy
inline constexpr const char* ATTRIBUTES_ONLY =
    "Hinweis: Bei %d unveränderten Dateien wurden nur Rechte, Besitzer oder erweiterte Attribute auf die Kopie "
    "übertragen (ohne erneutes Kopieren).";
inline constexpr const char* ATTRIBUTES_CARRY_FAILED =
    "Rechte, Besitzer oder erweiterte Attribute von '%s' können nicht auf '%s' übertragen werden.  %s";

// Compression that a file's name does not allow
inline constexpr const char* NAME_TOO_LONG_FOR_ARCHIVE =
    "Hinweis: Die Datei '%s' wird unkomprimiert gesichert, weil ihr Name mit der Endung '.zip' zu lang wäre.";

// The directory check ("Prüfen ..."): missing directories are errors; a
// destination the first backup will make is only noted.
inline constexpr const char* CHECK_SOURCES_MISSING = "Die folgenden aktiven Quellverzeichnisse sind nicht vorhanden:\n%s";
inline constexpr const char* CHECK_SOURCES_PRESENT = "Alle aktiven Quellverzeichnisse sind vorhanden.";
inline constexpr const char* CHECK_DESTINATIONS_MISSING =
    "Die folgenden aktiven Zielverzeichnisse sind nicht vorhanden:\n%s";
inline constexpr const char* CHECK_DESTINATIONS_PRESENT = "Alle aktiven Zielverzeichnisse sind vorhanden.";
inline constexpr const char* CHECK_DESTINATION_CREATED =
    "Hinweis: Das Zielverzeichnis '%s' ist noch nicht vorhanden und wird beim ersten Sichern angelegt.";

// Another run (the window, the timer, a restore) writes into a destination
// of this run now (the destination, or the check file): nothing starts.
inline constexpr const char* DESTINATION_BUSY =
    "Das Ziel '%s' wird gerade von einem anderen Lauf (Sicherung oder Rücksicherung) benutzt; diese Sicherung "
    "wird nicht gestartet.";
// What a killed run had left in the directories this pair wrote into.
inline constexpr const char* LEFTOVERS_REMOVED =
    "Hinweis: %d unfertige Zwischendateien eines abgebrochenen Laufs wurden entfernt.";
// Thinning the dated states after a pair: each removed folder by name.
inline constexpr const char* THIN_REMOVED = "Ausgedünnt: Der ältere Stand '%s' wurde gelöscht.";
inline constexpr const char* THIN_FINISHED =
    "Hinweis: %d beim letzten Ausdünnen nicht fertig gelöschte Stände wurden jetzt entfernt.";
inline constexpr const char* THIN_FAILED =
    "Der Stand '%s' konnte beim Ausdünnen nicht (ganz) gelöscht werden; das nächste Ausdünnen versucht es "
    "wieder.  %s";
inline constexpr const char* THIN_NOT_HELD =
    "Hinweis: Ohne Sperre des Ziels (kein privates Laufzeitverzeichnis) wird nicht ausgedünnt.";

// A run stopped because the computer went to sleep (lid closed, suspend):
// not a failure, the next run copies what is left.
inline constexpr const char* LOG_STOPPED_FOR_SLEEP =
    "Die Sicherung wurde angehalten, weil der Rechner in den Ruhezustand ging; die nächste Sicherung kopiert den "
    "Rest.";
inline constexpr const char* NOTIFY_BACKUP_SLEEP = "Sicherung wegen Ruhezustand unterbrochen";
inline constexpr const char* NOTIFY_SLEEP_BODY = "Die nächste Sicherung kopiert den Rest.";
// What the desktop shows as the reason it may not sleep yet.
inline constexpr const char* SLEEP_LOCK_WHY = "Sicherung von '%s' nach '%s'";
inline constexpr const char* SLEEP_LOCK_WHY_MORE = "Sicherung von '%s' nach '%s' und %d weiteren Paaren";
inline constexpr const char* SLEEP_LOCK_NONE = "Keine Sperre gegen den Ruhezustand: %s";

// The checksum list of a destination folder (sha256sum's form), kept by every run.
inline constexpr const char* CHECKSUM_LIST_FIRST =
    "Hinweis: '%s' hatte noch keine Prüfsummenliste; %d vorhandene Dateien wurden einmal gelesen und in '%s' "
    "aufgenommen.";
inline constexpr const char* CHECKSUM_LIST_UNREADABLE =
    "%d Dateien in '%s' konnten nicht gelesen werden und stehen nicht in der Prüfsummenliste.";
inline constexpr const char* CHECKSUM_LIST_FAILED =
    "Die Prüfsummenliste '%s' kann nicht geschrieben werden; die nächste Sicherung holt das nach.  %s";
inline constexpr const char* CHECKSUM_LIST_NAME_ARCHIVED =
    "Hinweis: Die Datei '%s' trägt den Namen der Prüfsummenliste und wird deshalb immer als Archiv '%s.zip' "
    "gesichert.";
inline constexpr const char* CHECKSUM_LIST_NAME_NOT_STORED =
    "Die Datei '%s' trägt den Namen der Prüfsummenliste und kann nicht als Archiv gesichert werden (%s); sie "
    "wird nicht gesichert, damit die Liste sie nicht überschreibt.";
// Complete dated states
inline constexpr const char* COMPLETE_MARK_TEXT =
    "Dieser Ordner ist ein vollständiger Stand der Sicherung von '%s' (gesichert am %02d.%02d.%04d um "
    "%02d:%02d:%02d).\n";
inline constexpr const char* COMPLETE_MARK_FAILED =
    "Der Ordner '%s' kann nicht als vollständiger Stand gekennzeichnet werden; die nächste Sicherung dieses "
    "Tages holt das nach.  %s";
inline constexpr const char* COMPLETE_UNMARK_FAILED =
    "Die Kennzeichnung des Ordners '%s' als vollständiger Stand kann nicht entfernt werden.  %s";
inline constexpr const char* HARD_LINKS_UNSUPPORTED =
    "Hinweis: Unter '%s' sind keine festen Verknüpfungen möglich; unveränderte Dateien wurden erneut kopiert.";
// A planned run on battery
inline constexpr const char* NOTIFY_MAINS_WAITING = "Sicherung wartet auf das Netzteil";
inline constexpr const char* MAINS_WAITING =
    "Der Rechner läuft mit Akku: die geplante Sicherung beginnt, sobald er am Netzteil hängt (oder wenn die letzte "
    "Sicherung älter als drei Tage wird).";
inline constexpr const char* MAINS_WAITED = "Die Sicherung hat von %s bis %s auf das Netzteil gewartet.";
}  // namespace kalvero::texts
