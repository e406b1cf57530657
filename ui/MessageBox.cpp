#include "ui/MessageBox.h"

#include <QApplication>
#include <QMessageBox>

#include "ui/UiTexts.h"

namespace kalvero {

int QtMessageBoxHost::messageBox(int kind, const std::string& text) {
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QMessageBox::StandardButtons buttons = QMessageBox::Ok;
  QMessageBox::StandardButton defaultButton = QMessageBox::Ok;
  const auto which = static_cast<MessageKind>(kind);
  switch (which) {
    case MessageKind::Error: icon = QMessageBox::Critical; break;
    case MessageKind::Warning: icon = QMessageBox::Warning; break;
    case MessageKind::Information:
    case MessageKind::Note: icon = QMessageBox::Information; break;
    case MessageKind::YesNo:
      icon = QMessageBox::Question;
      buttons = QMessageBox::Yes | QMessageBox::No;
      defaultButton = QMessageBox::No;
      break;
    case MessageKind::YesNoCancel:
      icon = QMessageBox::Question;
      buttons = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
      defaultButton = QMessageBox::Cancel;
      break;
    default: return MB_RESULT_NONE;
  }
  QWidget* owner = QApplication::activeModalWidget();
  if (!owner) owner = QApplication::activeWindow();
  QMessageBox box(icon, QString::fromUtf8(ui_texts::kCaption), QString::fromStdString(text), buttons, owner);
  box.setDefaultButton(defaultButton);
  switch (box.exec()) {
    case QMessageBox::Yes: return MB_RESULT_YES;
    case QMessageBox::No: return MB_RESULT_NO;
    case QMessageBox::Cancel: return MB_RESULT_CANCEL;
    case QMessageBox::Ok: return MB_RESULT_OK;
    default:
      return which == MessageKind::YesNo         ? MB_RESULT_NO
             : which == MessageKind::YesNoCancel ? MB_RESULT_CANCEL
                                                 : MB_RESULT_OK;
  }
}

}  // namespace kalvero
