#include "ui/DlgInfo.h"

#include <QEvent>
#include <QIcon>
#include <QMouseEvent>

#include "ui/DesktopOpener.h"
#include "ui/DialogTexts.h"
#include "ui_DlgInfo.h"

namespace kalvero {

DlgInfo::DlgInfo(const std::string& settingsPath, const std::string& tempPath, const std::string& versionText,
                 QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::DlgInfo>()) {
  ui_->setupUi(this);
  const QIcon icon(QStringLiteral(":/kalvero/icons/kalvero.png"));
  ui_->labelIcon->setPixmap(icon.pixmap(48, 48));
  ui_->labelVersion->setText(QString::fromStdString(versionText));
  ui_->labelCallParameters->setText(QString::fromUtf8(dlgtext::kCallParameters));
  ui_->editIniFile->setText(QString::fromStdString(settingsPath));
  ui_->editTempDir->setText(QString::fromStdString(tempPath));
  ui_->editIniFile->setCursorPosition(0);
  ui_->editTempDir->setCursorPosition(0);
  ui_->btnOk->setToolTip(QString::fromUtf8(dlgtext::kCloseWindowTip));
  ui_->editTempDir->setToolTip(QString::fromUtf8(dlgtext::kTempDirTip));
  ui_->editIniFile->installEventFilter(this);
  ui_->editTempDir->installEventFilter(this);
  connect(ui_->btnOk, &QPushButton::clicked, this, &DlgInfo::accept);
}

DlgInfo::~DlgInfo() = default;

bool DlgInfo::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseButtonDblClick &&
      static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
    if (watched == ui_->editIniFile) openWithDesktop(ui_->editIniFile->text());
    if (watched == ui_->editTempDir) openWithDesktop(ui_->editTempDir->text());
  }
  return QDialog::eventFilter(watched, event);
}

}  // namespace kalvero
