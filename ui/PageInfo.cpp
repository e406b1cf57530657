#include "ui/PageInfo.h"

#include <QPushButton>
#include <fmt/printf.h>

#include "app/Application.h"
#include "app/SettingsFile.h"
#include "backup/ListFiles.h"
#include "platform/PathUtil.h"
#include "ui/DesktopOpener.h"
#include "ui/DialogTexts.h"
#include "ui/PageTexts.h"
#include "ui/VerifyPanel.h"
#include "ui_PageInfo.h"

namespace kalvero {

PageInfo::PageInfo(Application& app, MessageBoxHost& box, QWidget* parent)
    : QWidget(parent), app_(app), box_(box), ui_(std::make_unique<Ui::PageInfo>()) {
  ui_->setupUi(this);
  setWindowTitle(ui_texts::kInfoTitle);
  // "Sicherung prüfen" below the display options, above the page's free space.
  verify_ = new VerifyPanel(app_, this);
  ui_->layoutMain->insertWidget(2, verify_);
  ui_->labelMinSizeBefore->setBuddy(ui_->editMinSize);
  ui_->labelList1->setBuddy(ui_->editListSources);
  ui_->labelList2->setBuddy(ui_->editListDestinations);
  ui_->labelList3->setBuddy(ui_->editListNotCopied);
  ui_->labelList4->setBuddy(ui_->editListSkipped);
  ui_->labelList3->setStyleSheet(QStringLiteral("color: rgb(255, 0, 0); background: transparent;"));

  QLineEdit* paths[] = {ui_->editListSources, ui_->editListDestinations, ui_->editListNotCopied, ui_->editListSkipped};
  QPushButton* buttons[] = {ui_->btnShowSources, ui_->btnShowDestinations, ui_->btnShowNotCopied,
                            ui_->btnShowSkipped};
  for (int i = 0; i < 4; ++i) {
    paths[i]->setText(QString::fromStdString(app_.listFileName(i)));
    paths[i]->setCursorPosition(0);
    // Four buttons read "Datei anzeigen"; a screen reader tells them apart by their names.
    buttons[i]->setAccessibleName(QString::fromUtf8(dlgtext::kShowListNames[i]));
    connect(buttons[i], &QPushButton::clicked, this, [this, i] { showListFile(i); });
  }
  connect(ui_->btnShowDirectory, &QPushButton::clicked, this, &PageInfo::showDirectory);

  const InfoOptions info = SettingsFile(app_.settingsPath()).loadInfoOptions();
  ui_->chkDeleteSrc->setChecked(info.DeleteSrc != 0);
  ui_->editMinSize->setText(QString::number(info.MinSize));
  // Connected after the values are shown: loading them is not a change.
  connect(ui_->chkDeleteSrc, &QCheckBox::clicked, this, &PageInfo::deleteSrcClicked);
  connect(ui_->editMinSize, &QLineEdit::textEdited, this, &PageInfo::minSizeEdited);
}

PageInfo::~PageInfo() = default;

void PageInfo::showListFile(int index) {
  const std::string& path = app_.listFileName(index);
  // The lists live in the temporary directory, where others may clean up.
  if (GetPathKind(path) != PathKind::File) {
    box_.messageBox(MessageKind::Warning, fmt::sprintf(ui_texts::kListFileMissing, path));
    return;
  }
  openWithDesktop(QString::fromStdString(path));
}

void PageInfo::showDirectory() {
  const std::string dir = ParentDirectory(app_.listFileName(ListFiles::COPIED_SOURCES));
  if (GetPathKind(dir) != PathKind::Directory) {
    box_.messageBox(MessageKind::Warning, fmt::sprintf(ui_texts::kListDirectoryMissing, dir));
    return;
  }
  openWithDesktop(QString::fromStdString(dir));
}

void PageInfo::deleteSrcClicked(bool checked) {
  std::string error;
  if (!SettingsFile(app_.settingsPath()).writeDeleteSrc(checked ? 1 : 0, &error)) box_.messageBox(MessageKind::Error, error);
}

void PageInfo::minSizeEdited(const QString& text) {
  bool ok = false;
  const int value = text.trimmed().toInt(&ok);
  if (!ok) return;  // not (yet) a whole number: the stored value stays
  std::string error;
  if (SettingsFile(app_.settingsPath()).writeMinSize(value, &error)) {
    minSizeWriteFailed_ = false;
  } else if (!minSizeWriteFailed_) {
    minSizeWriteFailed_ = true;
    box_.messageBox(MessageKind::Error, error);
  }
}

}  // namespace kalvero
