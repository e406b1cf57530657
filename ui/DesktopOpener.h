#pragma once
// Opens a file or folder with the user's default application (xdg-open).
// Tests put a stand-in in its place so that nothing is ever opened.
#include <QString>
#include <functional>

namespace kalvero {

void openWithDesktop(const QString& path);
// An empty function restores the real opener.
void setDesktopOpenerForTests(std::function<void(const QString&)> opener);

}  // namespace kalvero
