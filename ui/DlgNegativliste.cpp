#include "ui/DlgNegativliste.h"

#include "app/Application.h"
#include "ui/DialogTexts.h"
#include "ui/DlgPaar.h"
#include "ui/JobListDialogs.h"
#include "ui/PathInput.h"
#include "ui_DlgNegativliste.h"

namespace kalvero {

DlgNegativliste::DlgNegativliste(DlgPaar& pairEditor, MessageBoxHost& box)
    : QDialog(&pairEditor), ui_(std::make_unique<Ui::DlgNegativliste>()), pairEditor_(pairEditor), box_(box) {
  ui_->setupUi(this);
  setModal(false);
  connect(ui_->btnAdd, &QPushButton::clicked, this, &DlgNegativliste::add);
  connect(ui_->btnChange, &QPushButton::clicked, this, &DlgNegativliste::change);
  connect(ui_->btnClose, &QPushButton::clicked, this, &DlgNegativliste::reject);
  connect(ui_->btnBrowse, &QPushButton::clicked, this, [this] {
    ui_->editDirectory->setText(
        browseForFolder(this, QString::fromUtf8(dlgtext::kBrowseExcluded), ui_->editDirectory->text()));
  });
}

DlgNegativliste::~DlgNegativliste() = default;

void DlgNegativliste::load(bool selected) {
  loadedRow_ = -1;
  if (!selected) {
    ui_->btnChange->setEnabled(false);
    return;
  }
  const int row = pairEditor_.firstSelectedNegativeRow();
  if (row < 0) return;
  const ExcludedDir& dir = pairEditor_.negativeList()[static_cast<size_t>(row)];
  ui_->editDirectory->setText(QString::fromStdString(dir.directory));
  ui_->checkSubdirs->setChecked(dir.withSubdirs != 0);
  loadedRow_ = row;
  ui_->btnChange->setEnabled(true);
}

bool DlgNegativliste::takeDirectory(QString& directory) {
  directory = ui_->editDirectory->text();
  if (directory.isEmpty()) {
    box_.messageBox(MessageKind::Warning, dlgtext::kFieldsMissing);
    return false;
  }
  if (hasLineBreak(directory)) {
    box_.messageBox(MessageKind::Warning, dlgtext::kLineBreakInPath);
    return false;
  }
  // A relative name could never lie inside the pair's source: refused here, as the pair editor does.
  const TypedPath typed = typedPath(directory);
  if (!typed.ok()) {
    box_.messageBox(MessageKind::Warning, typed.refusal.toStdString());
    ui_->editDirectory->setFocus();
    return false;
  }
  directory = withoutTrailingSlash(typed.path);
  ui_->editDirectory->setText(directory);
  return true;
}

void DlgNegativliste::add() {
  QString directory;
  if (!takeDirectory(directory)) return;
  pairEditor_.appendNegative(ExcludedDir{ui_->checkSubdirs->isChecked() ? 1 : 0, directory.toStdString()});
}

void DlgNegativliste::change() {
  if (loadedRow_ < 0 || loadedRow_ >= static_cast<int>(pairEditor_.negativeList().size())) {
    box_.messageBox(MessageKind::Warning, dlgtext::kChangeImpossible);
    return;
  }
  QString directory;
  if (!takeDirectory(directory)) return;
  if (pairEditor_.selectedNegativeCount() > 1) box_.messageBox(MessageKind::Information, dlgtext::kSeveralSelected);
  pairEditor_.replaceNegative(loadedRow_,
                              ExcludedDir{ui_->checkSubdirs->isChecked() ? 1 : 0, directory.toStdString()});
}

}  // namespace kalvero
