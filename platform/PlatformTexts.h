#pragma once
// German sentences of the platform's file exception, one per cause, each
// naming the file ("%s").

namespace kalvero::platform::texts {

inline constexpr const char* kFileErrorGeneric = "Bei der Datei '%s' ist ein Fehler aufgetreten.";
inline constexpr const char* kFileErrorNotFound = "Die Datei '%s' wurde nicht gefunden.";
inline constexpr const char* kFileErrorBadPath = "Der Pfad '%s' ist ungültig oder nicht vollständig vorhanden.";
inline constexpr const char* kFileErrorTooManyOpen = "Beim Öffnen von '%s' waren zu viele Dateien geöffnet.";
inline constexpr const char* kFileErrorAccessDenied = "Der Zugriff auf '%s' wurde verweigert.";
inline constexpr const char* kFileErrorInvalidFile = "Für '%s' wurde eine ungültige Dateikennung verwendet.";
inline constexpr const char* kFileErrorDirectoryFull = "Das Verzeichnis für '%s' ist voll.";
inline constexpr const char* kFileErrorBadSeek = "Beim Positionieren in '%s' ist ein Fehler aufgetreten.";
inline constexpr const char* kFileErrorHardIo = "Beim Zugriff auf '%s' ist ein Ein-/Ausgabefehler des Geräts aufgetreten.";
inline constexpr const char* kFileErrorSharing = "Beim Zugriff auf '%s' ist eine Freigabeverletzung aufgetreten.";
inline constexpr const char* kFileErrorLock = "Beim Sperren eines Bereichs von '%s' ist eine Sperrverletzung aufgetreten.";
inline constexpr const char* kFileErrorDiskFull = "Beim Schreiben von '%s' war der Datenträger voll.";
inline constexpr const char* kFileErrorEndOfFile = "Beim Lesen von '%s' wurde das Dateiende überschritten.";
inline constexpr const char* kFileErrorNotRegular =
    "Die Datei '%s' ist keine gewöhnliche Datei mehr (eine Verknüpfung, eine Pipe, ein Gerät oder ein Socket) "
    "und wird nicht gelesen.";
// The description of that error number, after "Fehlernummer = N".
inline constexpr const char* kNotRegularFile =
    "Die Datei ist keine gewöhnliche Datei mehr (eine Verknüpfung, eine Pipe, ein Gerät oder ein Socket) und wird "
    "nicht gelesen.";

}  // namespace kalvero::platform::texts
