#include "ui/SheetParameter.h"

#include "app/Application.h"
#include "ui/DialogTexts.h"
#include "ui/PageDirReplacement.h"
#include "ui/PageTexts.h"
#include "ui_SheetParameter.h"

namespace kalvero {

SheetParameter::SheetParameter(Application& app, MessageBoxHost& box, QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::SheetParameter>()), box_(box) {
  ui_->setupUi(this);
  setWindowTitle(ui_texts::kParameterTitle);
  page_ = new PageDirReplacement(app, box, ui_->tabs);
  ui_->tabs->addTab(page_, ui_texts::kDirectoriesTitle);
  ui_->tabs->setAccessibleName(QString::fromUtf8(dlgtext::kPagesName));
  connect(ui_->btnOk, &QPushButton::clicked, this, &SheetParameter::accept);
  connect(ui_->btnCancel, &QPushButton::clicked, this, &SheetParameter::reject);
}

SheetParameter::~SheetParameter() = default;

void SheetParameter::accept() {
  // Asked before anything is stored, so that "Nein" leaves the file as it was.
  const bool chosen = page_->replacementChosen();
  confirmed_ = chosen && box_.messageBox(MessageKind::YesNo, ui_texts::kReplaceQuestion) == MB_RESULT_YES;
  if (chosen && !confirmed_) return;
  if (!page_->apply()) return;
  QDialog::accept();
}

}  // namespace kalvero
