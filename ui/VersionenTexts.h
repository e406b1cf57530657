#pragma once
// The German texts of "Versionen ...": the states of one file or folder in
// the dated folders, and one of them put back beside it.
namespace kalvero::versionen_text {

inline constexpr const char* kButton = "&Versionen ...";
inline constexpr const char* kButtonTip =
    "Zeigt die Stände einer Datei oder eines Ordners in den Datumsordnern der Sicherung und legt einen "
    "davon neben das Original";
inline constexpr const char* kAskTitle = "Datei oder Ordner auswählen (Ordner: öffnen und 'Auswählen')";
inline constexpr const char* kAskAccept = "Auswählen";
inline constexpr const char* kTitle = "Versionen von %s";
inline constexpr const char* kColumnState = "Stand";
inline constexpr const char* kColumnSize = "Größe (Byte)";
inline constexpr const char* kColumnTime = "Geändert";
inline constexpr const char* kIncomplete = "%s (unvollständig)";
inline constexpr const char* kFolder = "Ordner";
inline constexpr const char* kRestored = "Stand %s wiederhergestellt als:\n%s";
inline constexpr const char* kNoneChosen = "Bitte zuerst einen Stand in der Liste auswählen.";

}  // namespace kalvero::versionen_text
