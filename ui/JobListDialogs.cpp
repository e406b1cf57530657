#include "ui/JobListDialogs.h"

#include <QFileDialog>

namespace kalvero {

void openPairEditor(PageSichern*) {}
void openNegativeListEditor(PageSichern*) {}
void openExtendedView(PageSichern*) {}
bool openDateDialog(QWidget*, const std::string&) { return false; }
void openInfoDialog(QWidget*, const Application&) {}
void showHint(QWidget*, int) {}

QString browseForFolder(QWidget* parent, const QString& title, const QString& current) {
  const QString chosen = QFileDialog::getExistingDirectory(parent, title, current);
  return chosen.isEmpty() ? current : chosen;
}

}  // namespace kalvero
