#include "ui/SheetParameter.h"

#include "ui/DialogTexts.h"
#include "ui/PageParamVerz.h"
#include "ui/PageTexts.h"
#include "ui_SheetParameter.h"

namespace kalvero {

SheetParameter::SheetParameter(Application& app, MessageBoxHost& box, QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::SheetParameter>()) {
  ui_->setupUi(this);
  setWindowTitle(ui_texts::kParameterTitle);
  page_ = new PageParamVerz(app, box, ui_->tabs);
  ui_->tabs->addTab(page_, ui_texts::kDirectoriesTitle);
  ui_->tabs->setAccessibleName(QString::fromUtf8(dlgtext::kPagesName));
  connect(ui_->btnOk, &QPushButton::clicked, this, &SheetParameter::accept);
  connect(ui_->btnCancel, &QPushButton::clicked, this, &SheetParameter::reject);
}

SheetParameter::~SheetParameter() = default;

void SheetParameter::accept() {
  if (!page_->apply()) return;
  QDialog::accept();
}

}  // namespace kalvero
