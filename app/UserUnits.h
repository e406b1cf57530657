#pragma once
// Writing systemd user units and asking the user manager, shared by the
// planned backup, the plug-in trigger, the check and the reminder.
#include <optional>
#include <string>
#include <vector>

namespace kalvero {

// One word of ExecStart=: quoted, with the characters systemd would expand
// or end the word at escaped.
std::string ExecWord(const std::string& text);
// Absolute and without line breaks: fit for a unit file.
bool UsableUnitPath(const std::string& path);
std::optional<std::string> ReadWholeFile(const std::string& path);
// Replaced atomically: systemd never reads half a unit.
bool WriteUnitFile(const std::string& path, const std::string& text, int* err);
// "" when it is gone (or was never there), else the message for the user.
std::string RemoveUnitFile(const std::string& path);
// "" when systemctl --user args... succeeded, else the message for the user.
std::string Systemctl(const std::vector<std::string>& args);
// Its output (trimmed) when it succeeded, else "".
std::string SystemctlOutput(const std::vector<std::string>& args);
// A plan of a timer and its service taken off: the timer stopped and disabled
// first (no run starts from a half-removed plan), both files removed, systemd
// told. "" also when there was no timer.
std::string RemoveTimerUnits(const std::string& timerName, const std::string& serviceName);
// The file's previous text put back (or the file removed when there was none).
void PutBackUnitFile(const std::string& path, const std::optional<std::string>& old);

}  // namespace kalvero
