#pragma once
// Texts of the check of a backup against its checksum lists: the lines of
// the findings, the totals, the refusal and the notification.

namespace kalvero::verify_text {

// Our own single-file archives carry this comment (the backup writes it).
inline constexpr const char* kOwnArchiveComment = "Compressed by Kalvero";

// One folder with its own checksum list.
inline constexpr const char* kFolderHeader = "**** Sicherung '%s'";
inline constexpr const char* kNoList =
    "Keine Prüfsummenliste in '%s': Diese Sicherung kann nicht geprüft werden (eine Sicherung mit dieser "
    "Kalvero-Version legt die Liste an).";
inline constexpr const char* kTargetMissing =
    "Das Ziel '%s' ist nicht vorhanden (ist das Laufwerk eingehängt?); es wurde nicht geprüft.";
inline constexpr const char* kListUnreadable = "Die Prüfsummenliste '%s' kann nicht gelesen werden: %s";
inline constexpr const char* kListBadLine = "Zeile %d der Prüfsummenliste '%s' ist unlesbar und wird übergangen.";
inline constexpr const char* kFolderUnreadable = "Das Verzeichnis '%s' kann nicht gelesen werden: %s";

// One line per bad file, each file named once.
inline constexpr const char* kChanged = "Verändert (Inhalt weicht von der Prüfsumme ab): '%s'";
inline constexpr const char* kMissing = "Fehlt: '%s'";
inline constexpr const char* kUnlisted = "Nicht in der Prüfsummenliste: '%s'";
inline constexpr const char* kNotYetChecked =
    "Noch nicht geprüft (nach der Prüfsummenliste ersetzt, etwa von einer abgebrochenen Sicherung): '%s'";
inline constexpr const char* kNotRegular = "Keine gewöhnliche Datei mehr: '%s'";
inline constexpr const char* kUnreadable = "Nicht lesbar: '%s'  %s";
inline constexpr const char* kArchiveDamaged = "Archiv beschädigt (%s): '%s'";
inline constexpr const char* kArchiveBadCrc = "Prüfsumme CRC-32 eines Eintrags falsch";
inline constexpr const char* kArchiveBadData = "komprimierte Daten fehlerhaft";
inline constexpr const char* kArchiveBadFormat = "kein lesbares Zip-Archiv";
inline constexpr const char* kSourceRot =
    "Quelldatei weicht von ihrer Sicherung ab, obwohl Größe und Zeit gleich sind (die nächste Sicherung würde sie "
    "überspringen): '%s'";
inline constexpr const char* kSourceUnreadable = "Quelldatei nicht lesbar: '%s'  %s";

// The totals after the run.
inline constexpr const char* kTotalChecked = "Geprüfte Dateien = %s (%s MByte), Sicherungsordner = %d";
inline constexpr const char* kTotalChanged = "Veränderte Dateien = %d, beschädigte Archive = %d";
inline constexpr const char* kTotalMissing = "Fehlende Dateien = %d, nicht in der Liste = %d";
inline constexpr const char* kTotalNotYetChecked = "Noch nicht geprüft = %d";
inline constexpr const char* kTotalUnreadable = "Nicht lesbar = %d";
inline constexpr const char* kTotalNoList = "Ordner ohne Prüfsummenliste = %d";
inline constexpr const char* kTotalTargetsMissing = "Nicht vorhandene Ziele = %d";
inline constexpr const char* kTotalSource = "Quelldateien gelesen = %d, davon abweichend = %d";
inline constexpr const char* kAllWell = "Alle %s Dateien der Sicherung sind unverändert.";
inline constexpr const char* kSomethingFound = "Die Sicherung ist nicht in Ordnung: %s betroffene Dateien.";
inline constexpr const char* kSomethingFoundOne = "Die Sicherung ist nicht in Ordnung: 1 betroffene Datei.";
inline constexpr const char* kSourceOnly =
    "Alle %s Dateien der Sicherung sind unverändert, aber %s Quelldateien weichen von ihrer Sicherung ab.";
inline constexpr const char* kSourceOnlyOne =
    "Alle %s Dateien der Sicherung sind unverändert, aber eine Quelldatei weicht von ihrer Sicherung ab.";
inline constexpr const char* kCannotCheck = "Die Sicherung konnte nicht vollständig geprüft werden (siehe oben).";
inline constexpr const char* kNothingChecked = "Es wurde keine Datei geprüft.";
inline constexpr const char* kCancelled = "Prüfung abgebrochen.";

// What to do about what was found (the window shows them under the list).
inline constexpr const char* kAdviceDamaged =
    "Veränderte, beschädigte oder fehlende Kopien: Löschen Sie die genannten Kopien und sichern Sie erneut; "
    "die Sicherung kopiert jede Datei neu, deren Kopie fehlt. Häufen sich Fehler, prüfen Sie das Laufwerk.";
inline constexpr const char* kAdviceUnlisted =
    "Nicht in der Liste oder noch nicht geprüft: Die nächste vollständige Sicherung nimmt diese Dateien in die "
    "Liste auf.";
inline constexpr const char* kAdviceSource =
    "Abweichende Quelldateien: Die nächste Sicherung würde sie überspringen. Vergleichen Sie die Datei mit ihrer "
    "Sicherung; ist die Sicherung richtig, sichern Sie die Datei zurück, sonst löschen Sie ihre Kopie und sichern "
    "erneut.";
inline constexpr const char* kAdviceTargetMissing =
    "Nicht vorhandenes Ziel: Schließen Sie das Laufwerk an und prüfen Sie erneut.";
inline constexpr const char* kAdviceNoList =
    "Ohne Prüfsummenliste: Sichern Sie einmal mit dieser Version, dann kann die Sicherung geprüft werden.";

// A destination another run holds.
inline constexpr const char* kBusy =
    "Das Ziel '%s' wird gerade von einem anderen Lauf (Sicherung, Rücksicherung oder Prüfung) benutzt; die "
    "Prüfung wird nicht gestartet.";

// The desktop notification.
inline constexpr const char* kNotifyClean = "Kalvero: Sicherung geprüft, alles in Ordnung";
inline constexpr const char* kNotifyFound = "Kalvero: Sicherung beschädigt oder unvollständig";
inline constexpr const char* kNotifyNotReachable = "Kalvero: Sicherung nicht erreichbar, nicht geprüft";
inline constexpr const char* kNotifyNotStarted = "Kalvero: Prüfung nicht gestartet";
inline constexpr const char* kNotifyCancelled = "Kalvero: Prüfung abgebrochen";

}  // namespace kalvero::verify_text
