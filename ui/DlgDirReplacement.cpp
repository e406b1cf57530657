#include "ui/DlgDirReplacement.h"

#include "app/Application.h"
#include "ui/DialogTexts.h"
#include "ui/JobListDialogs.h"
#include "ui/PageTexts.h"
#include "ui_DlgDirReplacement.h"

namespace kalvero {

DlgDirReplacement::DlgDirReplacement(MessageBoxHost& box, const DirReplacement& entry, QWidget* parent)
    : QDialog(parent), box_(box), ui_(std::make_unique<Ui::DlgDirReplacement>()) {
  ui_->setupUi(this);
  setWindowTitle(ui_texts::kReplacementTitle);
  ui_->labelOld->setBuddy(ui_->editOld);
  ui_->labelNew->setBuddy(ui_->editNew);
  ui_->btnBrowseOld->setAccessibleName(QString::fromUtf8(dlgtext::kBrowseOldName));
  ui_->btnBrowseNew->setAccessibleName(QString::fromUtf8(dlgtext::kBrowseNewName));
  ui_->editOld->setText(QString::fromStdString(entry.oldName));
  ui_->editNew->setText(QString::fromStdString(entry.newName));
  ui_->chkActive->setChecked(entry.active != 0);
  connect(ui_->btnOk, &QPushButton::clicked, this, &DlgDirReplacement::accept);
  connect(ui_->btnCancel, &QPushButton::clicked, this, &DlgDirReplacement::reject);
  connect(ui_->btnBrowseOld, &QPushButton::clicked, this, [this] { browse(0); });
  connect(ui_->btnBrowseNew, &QPushButton::clicked, this, [this] { browse(1); });
  setMinimumWidth(fontMetrics().horizontalAdvance(QLatin1Char('x')) * 70);
}

DlgDirReplacement::~DlgDirReplacement() = default;

DirReplacement DlgDirReplacement::entry() const {
  DirReplacement e;
  e.oldName = ui_->editOld->text().toStdString();
  e.newName = ui_->editNew->text().toStdString();
  e.active = ui_->chkActive->isChecked() ? 1 : 0;
  return e;
}

QString DlgDirReplacement::refusalOf(const QString& oldName, const QString& newName, int* field) {
  if (oldName.contains(QLatin1Char('|'))) {
    if (field) *field = 0;
    return QString::fromUtf8(ui_texts::kBarInOldName);
  }
  if (oldName.contains(QLatin1Char(';')) || newName.contains(QLatin1Char(';'))) {
    if (field) *field = oldName.contains(QLatin1Char(';')) ? 0 : 1;
    return QString::fromUtf8(ui_texts::kSemicolonInName);
  }
  return {};
}

void DlgDirReplacement::accept() {
  int field = 0;
  const QString refusal = refusalOf(ui_->editOld->text(), ui_->editNew->text(), &field);
  if (!refusal.isEmpty()) {
    box_.messageBox(MessageKind::Warning, refusal.toStdString());
    QLineEdit* edit = field == 0 ? ui_->editOld : ui_->editNew;
    edit->setFocus(Qt::OtherFocusReason);
    return;  // the dialog stays open with the fields as typed
  }
  QDialog::accept();
}

void DlgDirReplacement::browse(int field) {
  QLineEdit* edit = field == 0 ? ui_->editOld : ui_->editNew;
  const QString chosen = browseForFolder(this, ui_texts::kBrowseReplacementTitle, edit->text());
  activateWindow();
  if (chosen != edit->text()) edit->setText(chosen);
  edit->setFocus(Qt::OtherFocusReason);
}

}  // namespace kalvero
