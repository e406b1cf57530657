#include "ui/DlgPaar.h"

#include <fmt/printf.h>

#include <QHeaderView>
#include <set>

#include "app/Application.h"
#include "app/PairCheck.h"
#include "ui/DialogTexts.h"
#include "ui/DlgNegativliste.h"
#include "ui/JobListDialogs.h"
#include "ui/PageSichern.h"
#include "ui/PathInput.h"
#include "ui/UiTexts.h"
#include "ui_DlgPaar.h"

namespace kalvero {

namespace {
enum NegativeColumn { ColWithSubdirs, ColDirectory };

bool SamePair(const DirPair& a, const DirPair& b) {
  if (a.active != b.active || a.withSubdirs != b.withSubdirs || a.source != b.source ||
      a.destination != b.destination || a.excluded.size() != b.excluded.size())
    return false;
  for (size_t i = 0; i < a.excluded.size(); ++i)
    if (a.excluded[i].withSubdirs != b.excluded[i].withSubdirs || a.excluded[i].directory != b.excluded[i].directory)
      return false;
  return true;
}
}  // namespace

DlgPaar::DlgPaar(PageSichern& page, MessageBoxHost& box)
    : QDialog(&page), ui_(std::make_unique<Ui::DlgPaar>()), page_(page), box_(box) {
  ui_->setupUi(this);
  setModal(false);

  QTableWidget* list = ui_->listNegative;
  list->setColumnCount(2);
  list->setHorizontalHeaderLabels(
      {QString::fromUtf8(dlgtext::kColumnWithSubdirs), QString::fromUtf8(dlgtext::kColumnDirectory)});
  list->verticalHeader()->hide();
  list->setSelectionBehavior(QAbstractItemView::SelectRows);
  list->setSelectionMode(QAbstractItemView::ExtendedSelection);
  list->setEditTriggers(QAbstractItemView::NoEditTriggers);
  list->setShowGrid(true);
  list->setWordWrap(false);
  // Tab leaves the list (rows are chosen with the arrow keys); long paths keep both ends.
  list->setTabKeyNavigation(false);
  list->setTextElideMode(Qt::ElideMiddle);
  list->horizontalHeader()->setStretchLastSection(true);
  list->resizeColumnsToContents();

  connect(ui_->btnAdd, &QPushButton::clicked, this, &DlgPaar::add);
  connect(ui_->btnChange, &QPushButton::clicked, this, &DlgPaar::change);
  connect(ui_->btnClose, &QPushButton::clicked, this, &DlgPaar::reject);
  connect(ui_->btnDeleteNegative, &QPushButton::clicked, this, &DlgPaar::deleteNegative);
  connect(ui_->btnEditNegative, &QPushButton::clicked, this, &DlgPaar::openNegativeEditor);
  connect(list, &QTableWidget::itemSelectionChanged, this, &DlgPaar::updateDeleteButton);
  connect(list, &QTableWidget::cellDoubleClicked, this, &DlgPaar::openNegativeEditor);
  connect(ui_->btnBrowseSource, &QPushButton::clicked, this, [this] {
    ui_->editSource->setText(
        browseForFolder(this, QString::fromUtf8(dlgtext::kBrowseSource), ui_->editSource->text()));
  });
  connect(ui_->btnBrowseDestination, &QPushButton::clicked, this, [this] {
    ui_->editDestination->setText(
        browseForFolder(this, QString::fromUtf8(dlgtext::kBrowseDestination), ui_->editDestination->text()));
  });
  // A list replaced as a whole leaves no row that the loaded number could still mean.
  connect(&page_, &PageSichern::jobListReplaced, this, [this] {
    if (isVisible()) load(false);
    else loadedRow_ = -1;
  });
  updateDeleteButton();
  startNewPair();
}

DlgPaar::~DlgPaar() = default;

void DlgPaar::startNewPair() {
  // A pair added as it stands must run, and it takes nothing over from the pair before it.
  negatives_.clear();
  fillNegativeList();
  loadedRow_ = -1;
  ui_->btnChange->setEnabled(false);
  ui_->checkActive->setChecked(true);
  ui_->checkSubdirs->setChecked(true);
}

void DlgPaar::load(bool selected) {
  negatives_.clear();
  fillNegativeList();
  loadedRow_ = -1;
  if (!selected) {
    ui_->btnChange->setEnabled(false);
    return;
  }
  const int row = page_.currentRow();
  const JobList& jobs = page_.jobList();
  if (row < 0 || row >= static_cast<int>(jobs.size())) return;
  const DirPair& pair = jobs[static_cast<size_t>(row)];
  ui_->checkActive->setChecked(pair.active != 0);
  ui_->checkSubdirs->setChecked(pair.withSubdirs != 0);
  ui_->editSource->setText(QString::fromStdString(pair.source));
  ui_->editDestination->setText(QString::fromStdString(pair.destination));
  negatives_ = pair.excluded;
  fillNegativeList();
  loadedRow_ = row;
  loadedPair_ = pair;
  ui_->btnChange->setEnabled(true);
  if (!negatives_.empty()) ui_->listNegative->selectRow(0);
}

bool DlgPaar::takeFields(DirPair& pair) {
  QString source = ui_->editSource->text(), destination = ui_->editDestination->text();
  if (source.isEmpty() || destination.isEmpty()) {
    box_.messageBox(MessageKind::Warning, dlgtext::kFieldsMissing);
    return false;
  }
  if (source.contains(QLatin1Char('|'))) {
    box_.messageBox(MessageKind::Warning, dlgtext::kBarInSource);
    return false;
  }
  if (hasLineBreak(source) || hasLineBreak(destination)) {
    box_.messageBox(MessageKind::Warning, dlgtext::kLineBreakInPath);
    return false;
  }
  // "~/..." is the home directory; a relative path is refused, as the window has no current directory.
  for (QLineEdit* edit : {ui_->editSource, ui_->editDestination}) {
    const TypedPath typed = typedPath(edit->text());
    if (!typed.ok()) {
      box_.messageBox(MessageKind::Warning, typed.refusal.toStdString());
      edit->setFocus();
      return false;
    }
  }
  source = withoutTrailingSlash(typedPath(source).path);
  destination = withoutTrailingSlash(typedPath(destination).path);
  ui_->editSource->setText(source);
  ui_->editDestination->setText(destination);
  pair.active = ui_->checkActive->isChecked() ? 1 : 0;
  pair.withSubdirs = ui_->checkSubdirs->isChecked() ? 1 : 0;
  pair.source = source.toStdString();
  pair.destination = destination.toStdString();
  pair.excluded = negatives_;
  const std::string problem = CheckPairInput(pair);
  if (!problem.empty()) {
    box_.messageBox(MessageKind::Warning, problem);
    return false;
  }
  return true;
}

void DlgPaar::add() {
  DirPair pair;
  if (!takeFields(pair)) return;
  for (const DirPair& existing : page_.jobList()) {
    if (existing.source != pair.source || existing.destination != pair.destination) continue;
    if (box_.messageBox(MessageKind::YesNo, fmt::sprintf(ui_texts::kPairExists, pair.source, pair.destination)) != MB_RESULT_YES) return;
    break;
  }
  page_.addPair(pair);
  page_.selectPair(static_cast<int>(page_.jobList().size()) - 1);
  // The fields keep the pair's paths, so that a similar one is quickly typed.
  startNewPair();
}

void DlgPaar::change() {
  // A row that no longer holds the pair as it was loaded (deleted, moved or
  // changed on the page without a reload) is never overwritten.
  const JobList& jobs = page_.jobList();
  if (loadedRow_ < 0 || loadedRow_ >= static_cast<int>(jobs.size()) ||
      !SamePair(jobs[static_cast<size_t>(loadedRow_)], loadedPair_)) {
    box_.messageBox(MessageKind::Warning, ui_texts::kChangeImpossibleHelp);
    return;
  }
  DirPair pair;
  if (!takeFields(pair)) return;
  page_.replacePair(loadedRow_, pair);
  loadedPair_ = pair;
}

void DlgPaar::fillNegativeList() {
  QTableWidget* list = ui_->listNegative;
  list->setRowCount(static_cast<int>(negatives_.size()));
  for (int row = 0; row < static_cast<int>(negatives_.size()); ++row) {
    const ExcludedDir& dir = negatives_[static_cast<size_t>(row)];
    list->setItem(row, ColWithSubdirs,
                  new QTableWidgetItem(QString::fromUtf8(dir.withSubdirs ? dlgtext::kYes : dlgtext::kNo)));
    auto* cell = new QTableWidgetItem(QString::fromStdString(dir.directory));
    cell->setToolTip(cell->text());
    list->setItem(row, ColDirectory, cell);
  }
  list->resizeColumnToContents(ColWithSubdirs);
  updateDeleteButton();
}

int DlgPaar::firstSelectedNegativeRow() const {
  int first = -1;
  for (const QModelIndex& index : ui_->listNegative->selectionModel()->selectedRows())
    if (first < 0 || index.row() < first) first = index.row();
  return first < static_cast<int>(negatives_.size()) ? first : -1;
}

int DlgPaar::selectedNegativeCount() const {
  return static_cast<int>(ui_->listNegative->selectionModel()->selectedRows().size());
}

void DlgPaar::appendNegative(const ExcludedDir& dir) {
  negatives_.push_back(dir);
  fillNegativeList();
}

void DlgPaar::replaceNegative(int row, const ExcludedDir& dir) {
  if (row < 0 || row >= static_cast<int>(negatives_.size())) return;
  negatives_[static_cast<size_t>(row)] = dir;
  fillNegativeList();
}

void DlgPaar::deleteNegative() {
  std::set<int> rows;
  for (const QModelIndex& index : ui_->listNegative->selectionModel()->selectedRows()) rows.insert(index.row());
  if (rows.empty()) {
    box_.messageBox(MessageKind::Warning, dlgtext::kNothingMarked);
    updateDeleteButton();
    return;
  }
  const std::string question = rows.size() == 1
                                   ? std::string(dlgtext::kDeleteOne)
                                   : fmt::sprintf(dlgtext::kDeleteSeveral, static_cast<int>(rows.size()));
  if (box_.messageBox(MessageKind::YesNo, question) == MB_RESULT_YES) {
    for (auto it = rows.rbegin(); it != rows.rend(); ++it)
      if (*it < static_cast<int>(negatives_.size())) negatives_.erase(negatives_.begin() + *it);
    fillNegativeList();
    if (!negatives_.empty()) ui_->listNegative->selectRow(0);
    if (negativeEditor_ && negativeEditor_->isVisible()) negativeEditor_->load(false);
  }
  updateDeleteButton();
}

void DlgPaar::openNegativeEditor() {
  if (!negativeEditor_) negativeEditor_ = new DlgNegativliste(*this, box_);
  negativeEditor_->show();
  negativeEditor_->raise();
  negativeEditor_->activateWindow();
  negativeEditor_->load(true);
}

void DlgPaar::updateDeleteButton() {
  ui_->btnDeleteNegative->setEnabled(!ui_->listNegative->selectionModel()->selectedRows().isEmpty());
}

void DlgPaar::done(int result) {
  // The window goes; its negative list goes with it, the edit fields stay for the next opening.
  if (negativeEditor_) negativeEditor_->done(QDialog::Rejected);
  negatives_.clear();
  fillNegativeList();
  loadedRow_ = -1;
  QDialog::done(result);
}

}  // namespace kalvero
