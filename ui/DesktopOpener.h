#pragma once
// Opens a file or folder with the user's default application (xdg-open).
// When no program could open it, a warning box says so: the caller goes on at
// once, the box comes when xdg-open has given up.
// Tests put a stand-in in its place so that nothing is ever opened.
#include <QString>
#include <functional>

class QObject;

namespace kalvero {

class MessageBoxHost;

// context: the failure box is dropped when it is gone; box: where the failure
// box goes (nullptr: the program's own message box).
void openWithDesktop(const QString& path, QObject* context = nullptr, MessageBoxHost* box = nullptr);
// An empty function restores the real opener.
void setDesktopOpenerForTests(std::function<void(const QString&)> opener);
// The program started in place of xdg-open (empty: xdg-open).
void setDesktopProgramForTests(const QString& program);

}  // namespace kalvero
