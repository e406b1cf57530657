#include "ui/DesktopOpener.h"

#include <QDesktopServices>
#include <QUrl>

namespace kalvero {

namespace {
std::function<void(const QString&)>& standIn() {
  static std::function<void(const QString&)> f;
  return f;
}
}  // namespace

void openWithDesktop(const QString& path) {
  if (standIn()) {
    standIn()(path);
    return;
  }
  QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

void setDesktopOpenerForTests(std::function<void(const QString&)> opener) { standIn() = std::move(opener); }

}  // namespace kalvero
