#include "ui/MessageBox.h"

#include <QApplication>
#include <QMessageBox>

#include "ui/UiTexts.h"

namespace kalvero {

int QtMessageBoxHost::messageBox(int kind, const std::string& text) {
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QMessageBox::StandardButtons buttons = QMessageBox::Ok;
  QMessageBox::StandardButton defaultButton = QMessageBox::Ok;
  switch (kind) {
    case 1: icon = QMessageBox::Critical; break;
    case 2: icon = QMessageBox::Warning; break;
    case 3:
    case 4: icon = QMessageBox::Information; break;
    case 5:
      icon = QMessageBox::Question;
      buttons = QMessageBox::Yes | QMessageBox::No;
      defaultButton = QMessageBox::No;
      break;
    case 6:
      icon = QMessageBox::Question;
      buttons = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
      defaultButton = QMessageBox::Cancel;
      break;
    default: return MB_RESULT_NONE;
  }
  QWidget* owner = QApplication::activeModalWidget();
  if (!owner) owner = QApplication::activeWindow();
  QMessageBox box(icon, QString::fromUtf8(ui_texts::kCaption), toQt(text), buttons, owner);
  box.setDefaultButton(defaultButton);
  switch (box.exec()) {
    case QMessageBox::Yes: return MB_RESULT_YES;
    case QMessageBox::No: return MB_RESULT_NO;
    case QMessageBox::Cancel: return MB_RESULT_CANCEL;
    case QMessageBox::Ok: return MB_RESULT_OK;
    default: return kind == 5 ? MB_RESULT_NO : kind == 6 ? MB_RESULT_CANCEL : MB_RESULT_OK;
  }
}

}  // namespace kalvero
