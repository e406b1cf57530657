#pragma once
// Texts of kalvero-cli.

namespace kalvero::cli::texts {

inline constexpr const char* kUsage =
    "Aufruf: kalvero-cli [--ini DATEI | /Ini=DATEI] BEFEHL\n"
    "\n"
    "Befehle:\n"
    "  check    prüft, ob die Quell- und Zielverzeichnisse der aktiven Paare vorhanden sind\n"
    "  list     zeigt, was die nächste Sicherung wohin kopieren würde\n"
    "  backup   sichert alle aktiven Paare\n"
    "  restore  sichert zurück (Einstellungen des Abschnitts \"Rueck\")\n"
    "\n"
    "Optionen:\n"
    "  --ini DATEI   Einstellungsdatei (Vorgabe: ~/.config/kalvero/kalvero.INI)\n"
    "  --help        diese Hilfe\n"
    "  --version     Versionsnummer\n"
    "\n"
    "Rückgabewert: 0 fehlerfrei, 1 mit Fehlern, 2 konnte nicht starten, 3 abgebrochen.\n";
// Usage errors: one line on stderr.
inline constexpr const char* kNoCommand = "kalvero-cli: kein Befehl angegeben (--help zeigt die Befehle)";
inline constexpr const char* kUnknownCommand = "kalvero-cli: unbekannter Befehl '%s' (--help zeigt die Befehle)";
inline constexpr const char* kUnknownOption = "kalvero-cli: unbekannte Option '%s' (--help zeigt die Optionen)";
inline constexpr const char* kMissingIniName = "kalvero-cli: --ini braucht einen Dateinamen";
inline constexpr const char* kExtraArguments = "kalvero-cli: %s: unerwartetes Argument '%s'";
inline constexpr const char* kWarning = "kalvero-cli: Warnung: %s";
// list: stdout could not be written (full disk, closed pipe).
inline constexpr const char* kListWriteFailed = "kalvero-cli: list: Die Ausgabe konnte nicht geschrieben werden.";

}  // namespace kalvero::cli::texts
