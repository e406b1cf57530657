#include "ui/PageSichern.h"

#include <fmt/printf.h>

#include <QAccessible>
#include <QCoreApplication>
#include <QFileDialog>
#include <QHeaderView>
#include <QMenu>
#include <QMessageBox>
#include <QScrollBar>
#include <algorithm>

#include "backup/DirectoryCheck.h"
#include "app/Application.h"
#include "app/SettingsFile.h"
#include "ui/BatchNotification.h"
#include "ui/EndOfRunSound.h"
#include "ui/PowerControlSeam.h"
#include "backup/BackupRun.h"
#include "backup/BackupStart.h"
#include "backup/DateLabel.h"
#include "run/Estimator.h"
#include "platform/PathUtil.h"
#include "backup/Shutdown.h"
#include "ui/BatchWarning.h"
#include "ui/DesktopOpener.h"
#include "ui/ElidedText.h"
#include "ui/DialogTexts.h"
#include "ui/DlgHinweis.h"
#include "ui/ImageList.h"
#include "ui/JobListDialogs.h"
#include "ui/MessageBox.h"
#include "ui/QtRunReporter.h"
#include "ui/RunWorker.h"
#include "ui/ToolTip.h"
#include "ui/UiTexts.h"
#include "ui/ui_PageSichern.h"

namespace kalvero {

namespace t = ui_texts;

namespace {

template <typename... Args>
QString text(const char* format, const Args&... args) {
  return QString::fromStdString(fmt::sprintf(format, args...));
}
QString text(const char* plain) { return QString::fromUtf8(plain); }

const QColor kNavy(0, 0, 128);
const QColor kDarkRed(128, 0, 0);
const QColor kDarkGreen(0, 128, 0);
const QColor kRed(255, 0, 0);

void setTextColor(QWidget* w, const QColor& c) {
  QPalette p = w->palette();
  p.setColor(QPalette::WindowText, c);
  p.setColor(QPalette::ButtonText, c);
  p.setColor(QPalette::Text, c);
  w->setPalette(p);
}

// Range and position from the same bytes as the percent beside the bar, so
// the two always agree (a pair of a few small files fills its bar).
void setBar(QProgressBar* bar, std::uint64_t done, std::uint64_t total) {
  const BarValues v = ByteBarOf(done, total);
  bar->setRange(0, v.range);
  bar->setValue(v.position);
}

constexpr int kColumnPadding = 12;
constexpr int kColumns = 6;
constexpr int kVisibleRows = 6;

}  // namespace

PageSichern::PageSichern(Application& app, MessageBoxHost& box, QWidget* parent)
    : QWidget(parent), app_(app), box_(box), ui_(std::make_unique<Ui::PageSichern>()) {
  initResources();
  ui_->setupUi(this);
  worker_ = std::make_unique<RunWorker>(QStringLiteral("BackupRun"));
  connect(worker_.get(), &RunWorker::failed, this, &PageSichern::logLine);
  connect(worker_.get(), &RunWorker::finished, this, &PageSichern::runEnded);
  setUpJobList();
  ui_->btnInfo->setIcon(QIcon(QStringLiteral(":/kalvero/icons/kalvero.png")));
  for (QLabel* l : {ui_->lblAction, ui_->lblFileCount, ui_->lblRemaining}) setTextColor(l, kNavy);
  for (QCheckBox* c : {ui_->chkExit, ui_->chkReboot}) setTextColor(c, kRed);
  for (QLabel* l : {ui_->lblPairErrors, ui_->lblRunErrors}) setTextColor(l, Qt::black);
  // Controls whose own text says nothing to a screen reader.
  ui_->btnInfo->setAccessibleName(text(t::kAccInfoIcon));
  ui_->editPrueffile->setAccessibleName(text(t::kAccPrueffile));
  ui_->btnBrowsePrueffile->setAccessibleName(text(t::kChooseCheckFile));
  ui_->btnBrowseProtokolldatei->setAccessibleName(text(t::kChooseLogFile));
  ui_->btnHintExtensions->setAccessibleName(text(t::tips::k1115));
  ui_->btnHintPatterns1->setAccessibleName(text(dlgtext::kHintAllowedName));
  ui_->btnHintPatterns2->setAccessibleName(text(dlgtext::kHintExcludedName));
  ui_->editMusterErlaubt->setAccessibleName(text(dlgtext::kPatternsAllowedName));
  ui_->editMusterNichtErlaubt->setAccessibleName(text(dlgtext::kPatternsExcludedName));
  ui_->btnDatum->setAccessibleName(text(t::tips::k1055));
  ui_->barPair->setAccessibleName(text(t::kAccPairBar));
  ui_->barFile->setAccessibleName(text(t::kAccFileBar));
  ui_->listJobs->setAccessibleName(text(t::kJobListName));
  for (QProgressBar* bar : {ui_->barPair, ui_->barFile}) setBar(bar, 0, 0);
  setUpTooltips();
  connectControls();

  loadSettings();
  ui_->lblAction->clear();
  setElidedText(ui_->lblSource, QString());
  setElidedText(ui_->lblDestination, QString());
  ui_->lblPairPercent->clear();
  ui_->lblFilePercent->clear();
  ui_->lblPairErrors->clear();
  ui_->lblRunErrors->clear();
  ui_->lblFileCount->clear();
  ui_->lblSkipped->clear();
  ui_->lblRemaining->clear();
  ui_->btnClose->setText(text(t::kWindowCloseKey));
  pageBatchMode_ = app_.batchMode();
}

// The worker goes first (it is the last member): it stops a run still going.
PageSichern::~PageSichern() = default;

// ---- job list -------------------------------------------------------------

void PageSichern::setUpJobList() {
  QTableWidget* list = ui_->listJobs;
  list->setColumnCount(kColumns);
  list->setHorizontalHeaderLabels({text(t::kColKz), text(t::kColAktiv), text(t::kColUnterverzeichnis),
                                   text(t::kColNegativliste), text(t::kColQuelle), text(t::kColZiel)});
  list->verticalHeader()->hide();
  list->setSelectionBehavior(QAbstractItemView::SelectRows);
  list->setSelectionMode(QAbstractItemView::SingleSelection);
  list->setEditTriggers(QAbstractItemView::NoEditTriggers);
  list->setShowGrid(true);
  list->setWordWrap(false);
  // Tab leaves the list (rows are chosen with the arrow keys); long paths keep both ends.
  list->setTabKeyNavigation(false);
  list->setTextElideMode(Qt::ElideMiddle);
  list->setIconSize(QSize(kImageListWidth, kImageListHeight));
  list->horizontalHeader()->setSectionsMovable(true);
  list->horizontalHeader()->setStretchLastSection(true);
  list->horizontalHeader()->setHighlightSections(false);
  list->setContextMenuPolicy(Qt::CustomContextMenu);
  list->verticalHeader()->setDefaultSectionSize(std::max(list->verticalHeader()->defaultSectionSize(),
                                                         kImageListHeight + 6));
  // Six pairs are visible at the window's first size, a horizontal scroll bar included.
  list->setMinimumHeight(list->horizontalHeader()->sizeHint().height() +
                         kVisibleRows * list->verticalHeader()->defaultSectionSize() + 2 * list->frameWidth() +
                         list->horizontalScrollBar()->sizeHint().height());
  const QFontMetrics fm(list->horizontalHeader()->font());
  const int margin = 2 * list->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, list);
  for (int c = 0; c < kColumns; ++c)
    list->setColumnWidth(c, fm.horizontalAdvance(list->horizontalHeaderItem(c)->text()) + kColumnPadding + margin);
  list->setColumnWidth(0, std::max(list->columnWidth(0), kImageListWidth + kColumnPadding + margin));
}

void PageSichern::fillRow(int row, const DirPair& pair) {
  QTableWidget* list = ui_->listJobs;
  auto cell = [&](int col) {
    QTableWidgetItem* item = list->item(row, col);
    if (!item) {
      item = new QTableWidgetItem;
      list->setItem(row, col, item);
    }
    return item;
  };
  const QString ja = text(t::kJa), nein = text(t::kNein);
  const int image = imageIndexOf(pair);
  cell(0)->setIcon(sharedImage(image));
  // The image alone says nothing to a screen reader: its index rule in words.
  cell(0)->setData(Qt::UserRole, image);
  cell(0)->setData(Qt::AccessibleTextRole, QStringLiteral("KZ %1").arg(image));
  cell(0)->setToolTip(QString());
  cell(1)->setText(pair.active ? ja : nein);
  cell(2)->setText(pair.withSubdirs ? ja : nein);
  cell(3)->setText(pair.excluded.empty() ? nein : ja);
  for (int col : {4, 5}) {
    const QString path = QString::fromStdString(col == 4 ? pair.source : pair.destination);
    cell(col)->setText(path);
    cell(col)->setToolTip(path);
  }
}

void PageSichern::widenColumns(int row) {
  QTableWidget* list = ui_->listJobs;
  const QFontMetrics fm(list->font());
  for (int c = 1; c < kColumns; ++c) {
    const int wanted = fm.horizontalAdvance(list->item(row, c)->text()) + kColumnPadding;
    if (wanted > list->columnWidth(c)) list->setColumnWidth(c, wanted);
  }
}

int PageSichern::currentRow() const {
  const auto rows = ui_->listJobs->selectionModel()->selectedRows();
  return rows.isEmpty() ? -1 : rows.first().row();
}

void PageSichern::selectRow(int row) {
  QTableWidget* list = ui_->listJobs;
  if (row < 0 || row >= list->rowCount()) {
    list->clearSelection();
    return;
  }
  list->selectRow(row);
  list->setCurrentCell(row, 1);
}

void PageSichern::addPair(const DirPair& pair) {
  jobs_.push_back(pair);
  const int row = ui_->listJobs->rowCount();
  ui_->listJobs->insertRow(row);
  fillRow(row, pair);
  widenColumns(row);
}

void PageSichern::replacePair(int row, const DirPair& pair) {
  if (row < 0 || row >= static_cast<int>(jobs_.size())) return;
  jobs_[static_cast<size_t>(row)] = pair;
  fillRow(row, pair);
  widenColumns(row);
}

void PageSichern::setJobList(const JobList& jobs) {
  QTableWidget* list = ui_->listJobs;
  list->setRowCount(0);
  jobs_.clear();
  list->setUpdatesEnabled(false);
  for (const DirPair& pair : jobs) addPair(pair);
  list->setUpdatesEnabled(true);
  selectRow(0);
  emit jobListReplaced();
}

void PageSichern::selectPair(int row) {
  QTableWidget* list = ui_->listJobs;
  if (row < 0 || row >= list->rowCount()) return;
  selectRow(row);
  list->scrollToItem(list->item(row, 1));
  // During a run the focus stays where the user put it (on "Abbrechen", say).
  if (isIdle()) list->setFocus();
}

void PageSichern::deleteSelected(bool ask) {
  const int row = currentRow();
  if (row < 0) {
    if (ask) box_.messageBox(2, t::kNothingSelected);
    return;
  }
  if (ask && box_.messageBox(5, t::kDeleteQuestion) != MB_RESULT_YES) return;
  jobs_.erase(jobs_.begin() + row);
  ui_->listJobs->removeRow(row);
  ui_->listJobs->clearSelection();
  emit selectionChanged(-1);
  if (!jobs_.empty()) selectRow(0);
  notifyPairEditor(this, false);  // the editor's row may be gone
}

void PageSichern::setActiveAll(int active) {
  for (size_t i = 0; i < jobs_.size(); ++i) {
    jobs_[i].active = active;
    fillRow(static_cast<int>(i), jobs_[i]);
  }
  emit selectionChanged(currentRow());
  notifyPairEditor(this, currentRow() >= 0);
}

void PageSichern::changeSelected(int active, int withSubdirs) {
  const int row = currentRow();
  if (row < 0 || ui_->listJobs->selectionModel()->selectedRows().size() != 1) return;
  DirPair& pair = jobs_[static_cast<size_t>(row)];
  if (active >= 0) pair.active = active;
  if (withSubdirs >= 0) pair.withSubdirs = withSubdirs;
  fillRow(row, pair);
  emit selectionChanged(row);
  notifyPairEditor(this, true);
}

void PageSichern::popupMenu(const QPoint& pos) {
  if (!isIdle()) return;  // the running backup keeps its rows
  QMenu menu(this);
  menu.addAction(text(t::kMenuAllInactive), this, [this] { setActiveAll(0); });
  menu.addAction(text(t::kMenuAllActive), this, [this] { setActiveAll(1); });
  menu.addSeparator();
  menu.addAction(text(t::kMenuOneInactive), this, [this] { changeSelected(0, -1); });
  menu.addAction(text(t::kMenuOneActive), this, [this] { changeSelected(1, -1); });
  menu.addSeparator();
  menu.addAction(text(t::kMenuOneNoSubdirs), this, [this] { changeSelected(-1, 0); });
  menu.addAction(text(t::kMenuOneSubdirs), this, [this] { changeSelected(-1, 1); });
  menu.addSeparator();
  menu.addAction(text(t::kMenuOneDelete), this, [this] { deleteSelected(false); });
  // Horizontally centred on the cursor.
  QPoint global = ui_->listJobs->viewport()->mapToGlobal(pos);
  global.rx() -= menu.sizeHint().width() / 2;
  menu.exec(global);
}

// ---- options and controls -----------------------------------------------

void PageSichern::setUpTooltips() {
  namespace k = t::tips;
  const std::pair<QWidget*, const char*> table[] = {
      {ui_->chkArchivbit, k::k1003},        {ui_->chkCompare, k::k1004},
      {ui_->editProtokolldatei, k::k1005},  {ui_->btnSave, k::k1011},
      {ui_->btnBrowseProtokolldatei, k::k1012}, {ui_->btnStart, k::k1014},
      {ui_->chkArchivbitReset, k::k1016},   {ui_->chkExit, k::k1017},
      {ui_->btnShowProtokolldatei, k::k1019}, {ui_->chkSymbol, k::k1020},
      {ui_->btnInfo, k::k1021},             {ui_->chkTooltip, k::k1022},
      {ui_->btnBrowsePrueffile, k::k1025},  {ui_->btnShowPrueffile, k::k1026},
      {ui_->chkSubVerzDatum, k::k1029},     {ui_->chkCompress, k::k1030},
      {ui_->chkClose, k::k1044},            {ui_->chkDatum, k::k1054},
      {ui_->btnDatum, k::k1055},            {ui_->chkMusterErlaubt, k::k1109},
      {ui_->editMusterErlaubt, k::k1110},   {ui_->editMusterNichtErlaubt, k::k1110},
      {ui_->chkMusterNichtErlaubt, k::k1111}, {ui_->btnHintPatterns1, k::k1112},
      {ui_->btnHintPatterns2, k::k1112},    {ui_->btnHintExtensions, k::k1115},
      {ui_->editNotCompress, k::k1116},     {ui_->chkMitPrueffile, k::k1121},
      {ui_->editPrueffile, k::k1122},
  };
  for (const auto& [widget, tip] : table) {
    // Rich text, so that Qt wraps long tips instead of showing one wide line; screen readers get the plain text.
    const QString plain = QString::fromUtf8(tip);
    tips_.emplace_back(widget, richToolTip(plain));
    widget->setAccessibleDescription(plain);
  }
}

void PageSichern::applyTooltips(bool on) {
  for (const auto& [widget, tip] : tips_) widget->setToolTip(on ? tip : QString());
}

void PageSichern::connectControls() {
  Ui::PageSichern& u = *ui_;
  connect(u.listJobs, &QTableWidget::itemSelectionChanged, this, [this] { emit selectionChanged(currentRow()); });
  connect(u.listJobs, &QTableWidget::cellDoubleClicked, this, [this] {
    if (isIdle()) openPairEditor(this);
  });
  connect(u.listJobs, &QWidget::customContextMenuRequested, this, &PageSichern::popupMenu);
  connect(u.btnLoeschen, &QPushButton::clicked, this, [this] { deleteSelected(true); });
  connect(u.btnNeuAendern, &QPushButton::clicked, this, [this] { openPairEditor(this); });
  connect(u.btnPruefen, &QPushButton::clicked, this, [this] {
    const DirectoryCheckResult r = CheckDirectories(jobs_);
    box_.messageBox(r.anythingMissing ? 1 : 3, r.text);
  });
  connect(u.btnErweitert, &QPushButton::clicked, this, [this] { openExtendedView(this); });
  connect(u.chkTooltip, &QCheckBox::toggled, this, [this](bool on) { applyTooltips(on); });
  for (QCheckBox* c : {u.chkCompress, u.chkMusterErlaubt, u.chkMusterNichtErlaubt, u.chkMitPrueffile, u.chkExit})
    connect(c, &QCheckBox::toggled, this, [this] { applyEnablingRules(); });
  connect(u.btnHintExtensions, &QToolButton::clicked, this, [this] { showHint(this, HintKind::Extensions); });
  connect(u.btnHintPatterns1, &QToolButton::clicked, this, [this] { showHint(this, HintKind::Patterns); });
  connect(u.btnHintPatterns2, &QToolButton::clicked, this, [this] { showHint(this, HintKind::Patterns); });
  connect(u.editPrueffile, &QLineEdit::editingFinished, this, [this] { updateShowButtons(); });
  connect(u.editProtokolldatei, &QLineEdit::editingFinished, this, [this] { updateShowButtons(); });
  connect(u.btnBrowsePrueffile, &QToolButton::clicked, this, [this] { chooseFile(false); });
  connect(u.btnBrowseProtokolldatei, &QToolButton::clicked, this, [this] { chooseFile(true); });
  connect(u.btnShowPrueffile, &QPushButton::clicked, this,
          [this] { openWithDesktop(ui_->editPrueffile->text(), this, &box_); });
  connect(u.btnShowProtokolldatei, &QPushButton::clicked, this,
          [this] { openWithDesktop(ui_->editProtokolldatei->text(), this, &box_); });
  connect(u.btnDatum, &QToolButton::clicked, this, [this] {
    if (openDateDialog(this, app_.settingsPath())) rebuildDateLabel();
  });
  connect(u.btnInfo, &QToolButton::clicked, this, [this] { openInfoDialog(this, app_); });
  connect(u.btnStart, &QPushButton::clicked, this, &PageSichern::startBackup);
  connect(u.btnSave, &QPushButton::clicked, this, &PageSichern::saveSettings);
  connect(u.btnClose, &QPushButton::clicked, this, [this] {
    if (isIdle())
      window()->close();
    else
      requestCancel();
  });
}

void PageSichern::loadSettings() {
  SettingsFile settings(app_.settingsPath());
  options_ = settings.loadBackupOptions();
  std::vector<std::string> warnings;
  const JobList jobs = settings.loadJobList(&warnings);
  loadWarnings_.clear();
  for (const auto& w : warnings) loadWarnings_ << QString::fromStdString(w);
  setJobList(jobs);
  rebuildDateLabel();
  optionsToControls();
  applyEnablingRules();
  updateShowButtons();
}

void PageSichern::reloadFromSettings() { loadSettings(); }

void PageSichern::rebuildDateLabel() {
  dateFilter_ = SettingsFile(app_.settingsPath()).loadDateFilter(DateTime::now());
  const DateLabel label = BuildDateLabel(dateFilter_);
  ui_->chkDatum->setText(QString::fromStdString(label.text));
  if (!label.enabled) {
    options_.Datum = 0;
    ui_->chkDatum->setChecked(false);
  }
  ui_->chkDatum->setEnabled(label.enabled);
}

void PageSichern::optionsToControls() {
  Ui::PageSichern& u = *ui_;
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

void PageSichern::controlsToOptions() {
  Ui::PageSichern& u = *ui_;
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
  o.Close = u.chkClose->isChecked();
  o.Datum = u.chkDatum->isChecked();
  o.DeleteZieldatei = u.chkDeleteZieldatei->isChecked();
  o.Protokolldatei = u.editProtokolldatei->text().toStdString();
}

void PageSichern::applyEnablingRules() {
  Ui::PageSichern& u = *ui_;
  u.chkReboot->setEnabled(u.chkExit->isChecked());
  u.editMusterErlaubt->setEnabled(u.chkMusterErlaubt->isChecked());
  u.editMusterNichtErlaubt->setEnabled(u.chkMusterNichtErlaubt->isChecked());
  u.editNotCompress->setEnabled(u.chkCompress->isChecked());
  u.editPrueffile->setEnabled(u.chkMitPrueffile->isChecked());
}

void PageSichern::updateShowButtons() {
  ui_->btnShowProtokolldatei->setEnabled(GetPathKind(ui_->editProtokolldatei->text().toStdString()) == 1);
  ui_->btnShowPrueffile->setEnabled(GetPathKind(ui_->editPrueffile->text().toStdString()) == 1);
}

void PageSichern::chooseFile(bool logFile) {
  controlsToOptions();
  QLineEdit* edit = logFile ? ui_->editProtokolldatei : ui_->editPrueffile;
  // A name that does not exist yet is accepted: the run creates the file.
  QFileDialog dialog(this, text(logFile ? t::kChooseLogFile : t::kChooseCheckFile));
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

bool PageSichern::checkLogDirectory() {
  const std::string refusal = LogDirectoryRefusal(options_.Protokolldatei);
  if (refusal.empty()) return true;
  box_.messageBox(MessageKind::Warning, refusal);
  ui_->editProtokolldatei->setFocus();
  return false;
}

bool PageSichern::saveSettings() {
  if (!isIdle()) return false;
  controlsToOptions();
  if (!checkLogDirectory()) return false;
  std::string error;
  if (!SettingsFile(app_.settingsPath()).saveBackupSettings(options_, jobs_, &error)) {
    box_.messageBox(1, error);
    return false;
  }
  return true;
}

// ---- the run --------------------------------------------------------------

void PageSichern::setRunningControls(bool running) {
  Ui::PageSichern& u = *ui_;
  u.btnSave->setEnabled(!running);
  u.btnStart->setEnabled(!running);
  // The list keeps its rows while a backup runs through them.
  u.btnLoeschen->setEnabled(!running);
  u.btnNeuAendern->setEnabled(!running);
  u.btnErweitert->setEnabled(!running);
  u.btnClose->setText(text(running ? t::kCancelKey : t::kWindowCloseKey));
}

void PageSichern::startBackup() {
  if (!isIdle()) return;
  controlsToOptions();
  RunSink sink;
  sink.progress = [this](int code, const ProgressInfo& info) { showProgress(code, info); };
  sink.clearLog = [this] { emit logCleared(); };
  sink.logLine = [this](const QString& line) { emit logLine(line); };
  sink.selectPair = [this](int row) { selectPair(row); };
  sink.playEndSound = [this](std::function<void()> done) { playEndOfRunSound(this, std::move(done)); };
  reporter_ = std::make_unique<QtRunReporter>(worker_->channel(), std::move(sink));

  BackupStartInput input;
  input.settingsPath = app_.settingsPath();
  input.options = options_;
  input.jobs = jobs_;
  input.dateFilter = dateFilter_;
  input.dateLabel = ui_->chkDatum->text().toStdString();
  input.listFiles = app_.listFileNames();
  input.cancel = &cancel_;
  input.reporter = reporter_.get();
  BackupStart start = StartBackup(std::move(input));
  if (!start.ok()) {
    reporter_.reset();
    if (start.field == BackupStart::Field::Settings) {
      cancel_ = 0;
      updateShowButtons();
    }
    box_.messageBox(start.kind, start.text);
    if (start.field == BackupStart::Field::LogFile) ui_->editProtokolldatei->setFocus();
    return;
  }
  setRunningControls(true);
  idle_ = 0;
  cancel_ = 0;
  updateShowButtons();
  closeAfterRun_ = false;
  batchNotified_ = false;
  run_ = std::move(start.run);

  BackupRun* run = run_.get();
  const bool exitOn = options_.Exit != 0, closeOn = options_.Close != 0;
  const bool started = worker_->start(
      [this, run, exitOn, closeOn] {
        // The batch flag reads 0 while the run goes (no countdown starts meanwhile).
        const int batch = pageBatchMode_.exchange(0);
        run->run();
        finishRun(batch, exitOn, closeOn);
      },
      &cancel_);
  emit runStarted();
  if (started && options_.Symbol) window()->showMinimized();
}

void PageSichern::finishRun(int batch, bool exitOn, bool closeOn) {
  // On the worker, after the end-of-run sound, in this order: the batch flag
  // back, the page idle, the shutdown step (only with "Exit" in batch mode),
  // closing with "Close" unless a shutdown was requested.
  pageBatchMode_.store(batch);
  worker_->channel().call([this] { returnToIdle(); });
  const bool shutdownRequested = exitOn && batch && runShutdownStep();
  if (!shutdownRequested && closeOn) closeAfterRun_ = true;
}

void PageSichern::returnToIdle() {
  setRunningControls(false);
  idle_ = 1;
  cancel_ = 0;
}

bool PageSichern::runShutdownStep() {
  // Runs on the worker; the boxes of its failures are shown on this page's thread.
  const BackupOptions options = SettingsFile(app_.settingsPath()).loadBackupOptions();
  // Told before the session goes: nobody watched this run.
  if (!batchNotified_.exchange(true)) sendBatchNotification(run_->totals(), options.Protokolldatei);
  auto power = makePowerControl();
  return ShutdownAfterBackup(options, pageBatchMode_, *power, [this](const std::string& message) {
    worker_->channel().call([this, &message] { box_.messageBox(MessageKind::Error, message); });
  });
}

void PageSichern::runEnded() {
  const RunTotals totals = run_ ? run_->totals() : RunTotals{};
  run_.reset();
  reporter_.reset();
  if (!isIdle()) returnToIdle();
  emit runFinished();
  if (closeAfterRun_.exchange(false)) {
    // An unattended run that ends the program tells how it went.
    if (pageBatchMode_ && !batchNotified_.exchange(true)) sendBatchNotification(totals, options_.Protokolldatei);
    window()->close();
  }
}

// ---- progress display ---------------------------------------------------

int PageSichern::percentOf(std::uint64_t done, std::uint64_t total) { return PercentOf(done, total); }

void PageSichern::setPairPercent(const ProgressInfo& info) {
  const QString percent = text(t::kPercent, percentOf(info.pairBytesDone, info.pairBytes));
  ui_->lblPairPercent->setText(percent);
  if (window()->isMinimized()) window()->setWindowTitle(percent);
}

void PageSichern::showFileProgress(const ProgressInfo& info) {
  setElidedText(ui_->lblSource, QString::fromStdString(info.currentSource));
  setElidedText(ui_->lblDestination, QString::fromStdString(info.currentDestination));
  ui_->lblFileCount->setText(text(t::kFileCount, info.filesDone, info.filesInPair));
  setBar(ui_->barPair, info.pairBytesDone, info.pairBytes);
  setPairPercent(info);
}

void PageSichern::refreshCounters(const ProgressInfo& info) {
  setTextColor(ui_->lblPairErrors, info.pairErrors ? kDarkRed : kDarkGreen);
  ui_->lblPairErrors->setText(text(t::kErrors, info.pairErrors));
  setTextColor(ui_->lblRunErrors, info.runErrors ? kDarkRed : kDarkGreen);
  ui_->lblRunErrors->setText(text(t::kErrors, info.runErrors));
  ui_->lblSkipped->setText(text(t::kSkippedCount, info.runSkipped));
}

void PageSichern::showProgress(int code, const ProgressInfo& info) {
  Ui::PageSichern& u = *ui_;
  auto names = [&] {
    setElidedText(u.lblSource, QString::fromStdString(info.currentSource));
    setElidedText(u.lblDestination, QString::fromStdString(info.currentDestination));
  };
  // Whenever the run may have moved the pair on, bar and percent follow together.
  auto pair = [&] {
    setBar(u.barPair, info.pairBytesDone, info.pairBytes);
    setPairPercent(info);
  };
  switch (code) {
    case NOTIFY_RESET:
      u.lblAction->clear();
      setElidedText(u.lblSource, QString());
      setElidedText(u.lblDestination, QString());
      u.lblFileCount->clear();
      u.lblRemaining->clear();
      setBar(u.barPair, 0, 0);
      u.lblPairPercent->clear();
      setBar(u.barFile, 0, 0);
      u.lblFilePercent->clear();
      break;
    case NOTIFY_SEARCHING: u.lblAction->setText(text(t::kSearching)); break;
    case NOTIFY_FILES_FOUND:
      setElidedText(u.lblSource, text(t::kFilesToCopy, info.filesInPair));
      setElidedText(u.lblDestination, QString());
      u.lblFileCount->setText(text(t::kFileCount, info.filesDone, info.filesInPair));
      setBar(u.barPair, info.pairBytesDone, info.pairBytes);
      break;
    case NOTIFY_COPYING:
      u.lblAction->setText(text(t::kCopying));
      showFileProgress(info);
      break;
    case NOTIFY_COMPRESSING:
      u.lblAction->setText(text(t::kCompressing));
      showFileProgress(info);
      break;
    case NOTIFY_SKIPPING:
      u.lblAction->setText(text(t::kSkipping));
      showFileProgress(info);
      break;
    case NOTIFY_COMPARING:
      u.lblAction->setText(text(t::kComparing));
      names();
      pair();
      break;
    case NOTIFY_ARCHIVE_RESET:
      u.lblAction->setText(text(t::kArchiveReset));
      names();
      pair();
      break;
    case NOTIFY_CHECKFILE_READ:
      u.lblAction->setText(text(t::kCheckFileRead));
      names();
      break;
    case NOTIFY_CHECKFILE_WRITE:
      u.lblAction->setText(text(t::kCheckFileWrite));
      names();
      break;
    case NOTIFY_FINISHED:
      // A cancelled run must not look finished.
      u.lblAction->setText(text(cancel_ ? t::kCancelled : t::kFinished));
      setElidedText(u.lblSource, QString());
      setElidedText(u.lblDestination, QString());
      u.lblFileCount->setText(text(t::kFileCount, info.filesDone, info.filesInPair));
      setBar(u.barPair, info.pairBytesDone, info.pairBytes);
      setPairPercent(info);
      break;
    case NOTIFY_LOG_OPENED:
      updateShowButtons();
      return;  // no counter refresh
    case NOTIFY_FILE_START:
      setBar(u.barFile, info.fileDone, info.fileSize);
      u.lblFilePercent->setText(text(t::kPercent, 0));
      break;
    case NOTIFY_FILE_STEP:
      pair();  // the pair moves with the copy of a large file too
      setBar(u.barFile, info.fileDone, info.fileSize);
      u.lblFilePercent->setText(text(t::kPercent, percentOf(info.fileDone, info.fileSize)));
      break;
    case NOTIFY_REMAINING_TIME:
      u.lblRemaining->setText(QString::fromStdString(info.remainingTimeText));
      pair();
      break;
    default: break;
  }
  refreshCounters(info);
}

// ---- batch mode -----------------------------------------------------------

void PageSichern::startBatchCountdown() {
  if (!pageBatchMode_) return;
  auto* warning = new BatchWarning(this);
  warning->setAttribute(Qt::WA_DeleteOnClose);
  connect(warning, &QDialog::finished, this, [this, warning] {
    if (warning->timedOut())
      QMetaObject::invokeMethod(this, &PageSichern::startBackup, Qt::QueuedConnection);
    else
      pageBatchMode_ = 0;
  });
  warning->open();
}

}  // namespace kalvero
