#pragma once
// Texts of "Sicherung prüfen" on the information page.

namespace kalvero::verify_panel_text {

inline constexpr char kGroupTitle[] = "Sicherung prüfen";
inline constexpr char kIntro[] =
    "Liest jede Datei der Sicherungen aller aktiven Paare und vergleicht sie mit der Prüfsummenliste der "
    "Sicherung, ohne die Quelle und ohne etwas zu verändern.";
inline constexpr char kStartButton[] = "Sicherung p&rüfen ...";
inline constexpr char kCancelButton[] = "Prüfung abbrec&hen";
inline constexpr char kSearching[] = "Suche Dateien in '%s' ...";
inline constexpr char kProgress[] = "Prüfe '%s': %d von %d Dateien";
inline constexpr char kNoActivePair[] =
    "Es ist kein aktives Paar eingerichtet: Auf der Seite \"Sichern\" legt \"Neu / Ändern ...\" eines an.";
inline constexpr char kResultName[] = "Ergebnis der Prüfung";
inline constexpr char kProgressName[] = "Fortschritt der Prüfung";
inline constexpr char kWhatToDo[] = "Was tun?";

}  // namespace kalvero::verify_panel_text
