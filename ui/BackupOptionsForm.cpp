#include "ui/BackupOptionsForm.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QToolButton>

#include "app/Application.h"
#include "app/SettingsFile.h"
#include "backup/BackupStart.h"
#include "backup/DateLabel.h"
#include "platform/PathUtil.h"
#include "ui/DesktopOpener.h"
#include "ui/DialogTexts.h"
#include "ui/DlgHinweis.h"
#include "ui/JobListDialogs.h"
#include "ui/PageTexts.h"
#include "ui/PathInput.h"
#include "ui/TextColor.h"
#include "ui/ToolTip.h"
#include "ui/UiTexts.h"
#include "ui/ui_PageSichern.h"

namespace kalvero {

namespace t = ui_texts;

namespace {

QString text(const char* plain) { return QString::fromUtf8(plain); }

const QColor kRed(255, 0, 0);

}  // namespace

BackupOptionsForm::BackupOptionsForm(Ui::PageSichern& form, Application& app, MessageBoxHost& box, QWidget* page)
    : QObject(page), ui_(form), app_(app), box_(box), page_(page) {
  for (QCheckBox* c : {ui_.chkExit, ui_.chkReboot}) setTextColor(c, kRed);
  // Controls whose own text says nothing to a screen reader.
  ui_.editPrueffile->setAccessibleName(text(t::kAccPrueffile));
  ui_.btnBrowsePrueffile->setAccessibleName(text(t::kChooseCheckFile));
  ui_.btnBrowseProtokolldatei->setAccessibleName(text(t::kChooseLogFile));
  ui_.btnHintExtensions->setAccessibleName(text(t::tips::k1115));
  ui_.btnHintPatterns1->setAccessibleName(text(dlgtext::kHintAllowedName));
  ui_.btnHintPatterns2->setAccessibleName(text(dlgtext::kHintExcludedName));
  ui_.editMusterErlaubt->setAccessibleName(text(dlgtext::kPatternsAllowedName));
  ui_.editMusterNichtErlaubt->setAccessibleName(text(dlgtext::kPatternsExcludedName));
  ui_.btnDatum->setAccessibleName(text(t::tips::k1055));
  setUpTooltips();
  connectControls();
}

void BackupOptionsForm::setUpTooltips() {
  namespace k = t::tips;
  Ui::PageSichern& u = ui_;
  const std::pair<QWidget*, const char*> table[] = {
      {u.chkArchivbit, k::k1003},        {u.chkCompare, k::k1004},
      {u.editProtokolldatei, k::k1005},  {u.btnSave, k::k1011},
      {u.btnBrowseProtokolldatei, k::k1012}, {u.btnStart, k::k1014},
      {u.chkArchivbitReset, k::k1016},   {u.chkExit, k::k1017},
      {u.btnShowProtokolldatei, k::k1019}, {u.chkSymbol, k::k1020},
      {u.btnInfo, k::k1021},             {u.chkTooltip, k::k1022},
      {u.btnBrowsePrueffile, k::k1025},  {u.btnShowPrueffile, k::k1026},
      {u.chkSubVerzDatum, k::k1029},     {u.chkCompress, k::k1030},
      {u.chkClose, k::k1044},            {u.chkDatum, k::k1054},
      {u.btnDatum, k::k1055},            {u.chkMusterErlaubt, k::k1109},
      {u.editMusterErlaubt, k::k1110},   {u.editMusterNichtErlaubt, k::k1110},
      {u.chkMusterNichtErlaubt, k::k1111}, {u.btnHintPatterns1, k::k1112},
      {u.btnHintPatterns2, k::k1112},    {u.btnHintExtensions, k::k1115},
      {u.editNotCompress, k::k1116},     {u.chkMitPrueffile, k::k1121},
      {u.editPrueffile, k::k1122},       {u.chkDatumVollstaendig, t::kTipDatumVollstaendig},
  };
  for (const auto& [widget, tip] : table) {
    // Rich text, so that Qt wraps long tips instead of showing one wide line; screen readers get the plain text.
    const QString plain = QString::fromUtf8(tip);
    tips_.emplace_back(widget, richToolTip(plain));
    widget->setAccessibleDescription(plain);
  }
}

void BackupOptionsForm::applyTooltips(bool on) {
  for (const auto& [widget, tip] : tips_) widget->setToolTip(on ? tip : QString());
}

void BackupOptionsForm::connectControls() {
  Ui::PageSichern& u = ui_;
  connect(u.chkTooltip, &QCheckBox::toggled, this, [this](bool on) { applyTooltips(on); });
  for (QCheckBox* c :
       {u.chkCompress, u.chkMusterErlaubt, u.chkMusterNichtErlaubt, u.chkMitPrueffile, u.chkExit, u.chkSubVerzDatum})
    connect(c, &QCheckBox::toggled, this, [this] { applyEnablingRules(); });
  connect(u.btnHintExtensions, &QToolButton::clicked, this, [this] { showHint(page_, HintKind::Extensions); });
  connect(u.btnHintPatterns1, &QToolButton::clicked, this, [this] { showHint(page_, HintKind::Patterns); });
  connect(u.btnHintPatterns2, &QToolButton::clicked, this, [this] { showHint(page_, HintKind::Patterns); });
  connect(u.editPrueffile, &QLineEdit::editingFinished, this, [this] { updateShowButtons(); });
  connect(u.editProtokolldatei, &QLineEdit::editingFinished, this, [this] { updateShowButtons(); });
  connect(u.btnBrowsePrueffile, &QToolButton::clicked, this, [this] { chooseFile(false); });
  connect(u.btnBrowseProtokolldatei, &QToolButton::clicked, this, [this] { chooseFile(true); });
  connect(u.btnShowPrueffile, &QPushButton::clicked, this,
          [this] { openWithDesktop(ui_.editPrueffile->text(), page_, &box_); });
  connect(u.btnShowProtokolldatei, &QPushButton::clicked, this,
          [this] { openWithDesktop(ui_.editProtokolldatei->text(), page_, &box_); });
  connect(u.btnDatum, &QToolButton::clicked, this, [this] {
    if (openDateDialog(page_, app_.settingsPath())) rebuildDateLabel();
  });
}

void BackupOptionsForm::show(const BackupOptions& options) {
  options_ = options;
  rebuildDateLabel();
  optionsToControls();
  applyEnablingRules();
  updateShowButtons();
}

const BackupOptions& BackupOptionsForm::take() {
  controlsToOptions();
  return options_;
}

bool BackupOptionsForm::takeChecked() {
  if (!takeTypedPaths()) return false;
  controlsToOptions();
  BackupStart::Field field = BackupStart::Field::None;
  const std::string refusal = PatternRefusal(options_, &field);
  if (refusal.empty()) return true;
  QWidget* edit = field == BackupStart::Field::AllowedPatterns ? ui_.editMusterErlaubt : ui_.editMusterNichtErlaubt;
  return refuse(edit, QString::fromStdString(refusal));
}

bool BackupOptionsForm::takeTypedPaths() {
  for (QLineEdit* edit : {ui_.editProtokolldatei, ui_.editPrueffile}) {
    const TypedPath typed = typedPath(edit->text());
    if (!typed.ok()) return refuse(edit, typed.refusal);
    if (typed.path != edit->text()) edit->setText(typed.path);
  }
  return true;
}

bool BackupOptionsForm::refuse(QWidget* field, const QString& message) {
  box_.messageBox(MessageKind::Warning, message.toStdString());
  field->setFocus();
  return false;
}

QString BackupOptionsForm::controlState() const {
  QString state;
  for (const QCheckBox* c : page_->findChildren<QCheckBox*>())
    state += c->objectName() + (c->isChecked() ? QStringLiteral("=1\n") : QStringLiteral("=0\n"));
  for (const QLineEdit* e : page_->findChildren<QLineEdit*>()) state += e->objectName() + '=' + e->text() + '\n';
  return state;
}

void BackupOptionsForm::rebuildDateLabel() {
  dateFilter_ = SettingsFile(app_.settingsPath()).loadDateFilter(DateTime::now());
  const DateLabel label = BuildDateLabel(dateFilter_);
  ui_.chkDatum->setText(QString::fromStdString(label.text));
  if (!label.enabled) {
    options_.Datum = 0;
    ui_.chkDatum->setChecked(false);
  }
  ui_.chkDatum->setEnabled(label.enabled);
}

void BackupOptionsForm::optionsToControls() {
  Ui::PageSichern& u = ui_;
  const BackupOptions& o = options_;
  u.chkArchivbit->setChecked(o.Archivbit);
  u.chkCompare->setChecked(o.Compare);
  u.chkTooltip->setChecked(o.Tooltip);
  u.chkCompress->setChecked(o.Compress);
  u.editNotCompress->setText(QString::fromStdString(o.NotCompress));
  u.chkMusterErlaubt->setChecked(o.MusterFlagErlaubt);
  u.editMusterErlaubt->setText(QString::fromStdString(o.MusterErlaubt));
  u.chkMusterNichtErlaubt->setChecked(o.MusterFlagNichtErlaubt);
  u.editMusterNichtErlaubt->setText(QString::fromStdString(o.MusterNichtErlaubt));
  u.chkMitPrueffile->setChecked(o.MitPrueffile);
  u.editPrueffile->setText(QString::fromStdString(o.Prueffile));
  u.chkSymbol->setChecked(o.Symbol);
  u.chkArchivbitReset->setChecked(o.ArchivbitReset);
  u.chkExit->setChecked(o.Exit);
  u.chkReboot->setChecked(o.Reboot);
  u.chkSubVerzDatum->setChecked(o.SubVerzDatum);
  u.chkDatumVollstaendig->setChecked(o.DatumVollstaendig);
  u.chkClose->setChecked(o.Close);
  u.chkDatum->setChecked(o.Datum);
  u.chkDeleteZieldatei->setChecked(o.DeleteZieldatei);
  u.editProtokolldatei->setText(QString::fromStdString(o.Protokolldatei));
  // Long paths show their beginning, as typed.
  for (QLineEdit* e : {u.editNotCompress, u.editMusterErlaubt, u.editMusterNichtErlaubt, u.editPrueffile,
                       u.editProtokolldatei})
    e->setCursorPosition(0);
  applyTooltips(o.Tooltip);
}
void BackupOptionsForm::controlsToOptions() {
  Ui::PageSichern& u = ui_;
  BackupOptions& o = options_;
  o.Archivbit = u.chkArchivbit->isChecked();
  o.Compare = u.chkCompare->isChecked();
  o.Tooltip = u.chkTooltip->isChecked();
  o.Compress = u.chkCompress->isChecked();
  o.NotCompress = u.editNotCompress->text().toStdString();
  o.MusterFlagErlaubt = u.chkMusterErlaubt->isChecked();
  o.MusterErlaubt = u.editMusterErlaubt->text().toStdString();
  o.MusterFlagNichtErlaubt = u.chkMusterNichtErlaubt->isChecked();
  o.MusterNichtErlaubt = u.editMusterNichtErlaubt->text().toStdString();
  o.MitPrueffile = u.chkMitPrueffile->isChecked();
  o.Prueffile = u.editPrueffile->text().toStdString();
  o.Symbol = u.chkSymbol->isChecked();
  o.ArchivbitReset = u.chkArchivbitReset->isChecked();
  o.Exit = u.chkExit->isChecked();
  o.Reboot = u.chkReboot->isChecked();
  o.SubVerzDatum = u.chkSubVerzDatum->isChecked();
  o.DatumVollstaendig = u.chkDatumVollstaendig->isChecked();
  o.Close = u.chkClose->isChecked();
  o.Datum = u.chkDatum->isChecked();
  o.DeleteZieldatei = u.chkDeleteZieldatei->isChecked();
  o.Protokolldatei = u.editProtokolldatei->text().toStdString();
}

void BackupOptionsForm::applyEnablingRules() {
  Ui::PageSichern& u = ui_;
  u.chkReboot->setEnabled(u.chkExit->isChecked());
  u.editMusterErlaubt->setEnabled(u.chkMusterErlaubt->isChecked());
  u.editMusterNichtErlaubt->setEnabled(u.chkMusterNichtErlaubt->isChecked());
  u.editNotCompress->setEnabled(u.chkCompress->isChecked());
  u.editPrueffile->setEnabled(u.chkMitPrueffile->isChecked());
  u.chkDatumVollstaendig->setEnabled(u.chkSubVerzDatum->isChecked());
}

void BackupOptionsForm::updateShowButtons() {
  ui_.btnShowProtokolldatei->setEnabled(GetPathKind(ui_.editProtokolldatei->text().toStdString()) == PathKind::File);
  ui_.btnShowPrueffile->setEnabled(GetPathKind(ui_.editPrueffile->text().toStdString()) == PathKind::File);
}

void BackupOptionsForm::chooseFile(bool logFile) {
  controlsToOptions();
  QLineEdit* edit = logFile ? ui_.editProtokolldatei : ui_.editPrueffile;
  // A name that does not exist yet is accepted: the run creates the file.
  QFileDialog dialog(page_, text(logFile ? t::kChooseLogFile : t::kChooseCheckFile));
  dialog.setObjectName(QStringLiteral("fileDialog"));
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::AnyFile);
  const QString current = edit->text();
  if (!current.isEmpty()) {
    const QFileInfo info(current);
    if (info.dir().exists()) dialog.setDirectory(info.dir());
    dialog.selectFile(info.fileName());
  }
  if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) {
    const std::string chosen = dialog.selectedFiles().first().toStdString();
    (logFile ? options_.Protokolldatei : options_.Prueffile) = chosen;
  }
  optionsToControls();
  applyEnablingRules();
  updateShowButtons();
}

}  // namespace kalvero
