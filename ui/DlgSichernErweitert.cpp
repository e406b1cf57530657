#include "ui/DlgSichernErweitert.h"

#include <fmt/printf.h>

#include <QHeaderView>
#include <algorithm>
#include <set>

#include "backup/DirectoryCheck.h"
#include "app/Application.h"
#include "platform/PathUtil.h"
#include "ui/DialogTexts.h"
#include "ui/ImageList.h"
#include "ui/UiTexts.h"
#include "ui_DlgSichernErweitert.h"

namespace kalvero {

namespace {

QString YesNo(bool on) { return QString::fromUtf8(on ? ui_texts::kJa : ui_texts::kNein); }

// -1, 0, 1 like a comparison of the column's values.
int CompareBy(int column, const DirPair& a, const DirPair& b) {
  auto cmp = [](auto x, auto y) { return x < y ? -1 : (y < x ? 1 : 0); };
  switch (column) {
    case DlgSichernErweitert::ColKz: return cmp(imageIndexOf(a), imageIndexOf(b));
    case DlgSichernErweitert::ColAktiv: return cmp(a.active, b.active);
    case DlgSichernErweitert::ColUnterverzeichnis: return cmp(a.withSubdirs, b.withSubdirs);
    case DlgSichernErweitert::ColNegativliste: return cmp(!a.excluded.empty(), !b.excluded.empty());
    case DlgSichernErweitert::ColQuelle:
      return QString::fromStdString(a.source).compare(QString::fromStdString(b.source), Qt::CaseInsensitive);
    case DlgSichernErweitert::ColZiel:
      return QString::fromStdString(a.destination)
          .compare(QString::fromStdString(b.destination), Qt::CaseInsensitive);
  }
  return 0;
}

}  // namespace

DlgSichernErweitert::DlgSichernErweitert(const JobList& jobs, MessageBoxHost& box, QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::DlgSichernErweitert>()), box_(box), jobs_(jobs) {
  ui_->setupUi(this);
  setWindowFlag(Qt::WindowMaximizeButtonHint, true);
  ascending_.fill(true);

  QTableWidget* list = ui_->listJobs;
  list->setAccessibleName(QString::fromUtf8(ui_texts::kJobListName));
  list->setColumnCount(ColumnCount);
  list->setHorizontalHeaderLabels({QString::fromUtf8(ui_texts::kColKz), QString::fromUtf8(ui_texts::kColAktiv),
                                   QString::fromUtf8(ui_texts::kColUnterverzeichnis),
                                   QString::fromUtf8(ui_texts::kColNegativliste),
                                   QString::fromUtf8(ui_texts::kColQuelle), QString::fromUtf8(ui_texts::kColZiel)});
  list->verticalHeader()->hide();
  list->setSelectionBehavior(QAbstractItemView::SelectRows);
  list->setSelectionMode(QAbstractItemView::ExtendedSelection);
  list->setEditTriggers(QAbstractItemView::NoEditTriggers);
  list->setShowGrid(true);
  list->setIconSize(QSize(kImageListWidth, kImageListHeight));
  list->setWordWrap(false);
  list->horizontalHeader()->setSectionsMovable(true);
  list->horizontalHeader()->setSectionsClickable(true);
  list->horizontalHeader()->setStretchLastSection(true);
  connect(list->horizontalHeader(), &QHeaderView::sectionClicked, this, &DlgSichernErweitert::sortByColumn);

  fillList();
  list->resizeColumnsToContents();
  if (!jobs_.empty()) list->selectRow(0);

  connect(ui_->btnOk, &QPushButton::clicked, this, &DlgSichernErweitert::accept);
  connect(ui_->btnCancel, &QPushButton::clicked, this, &DlgSichernErweitert::reject);
  connect(ui_->btnDelete, &QPushButton::clicked, this, &DlgSichernErweitert::deleteSelected);
  connect(ui_->btnCheck, &QPushButton::clicked, this, &DlgSichernErweitert::checkDirectories);
}

DlgSichernErweitert::~DlgSichernErweitert() = default;

void DlgSichernErweitert::fillList() {
  QTableWidget* list = ui_->listJobs;
  list->setUpdatesEnabled(false);
  list->clearContents();
  list->setRowCount(static_cast<int>(jobs_.size()));
  for (int row = 0; row < static_cast<int>(jobs_.size()); ++row) {
    const DirPair& pair = jobs_[static_cast<size_t>(row)];
    const int image = imageIndexOf(pair);
    auto* kz = new QTableWidgetItem(sharedImage(image), QString());
    kz->setData(Qt::UserRole, image);
    kz->setData(Qt::AccessibleTextRole, QStringLiteral("KZ %1").arg(image));  // as on the page
    list->setItem(row, ColKz, kz);
    list->setItem(row, ColAktiv, new QTableWidgetItem(YesNo(pair.active)));
    list->setItem(row, ColUnterverzeichnis, new QTableWidgetItem(YesNo(pair.withSubdirs)));
    list->setItem(row, ColNegativliste, new QTableWidgetItem(YesNo(!pair.excluded.empty())));
    list->setItem(row, ColQuelle, new QTableWidgetItem(QString::fromStdString(pair.source)));
    list->setItem(row, ColZiel, new QTableWidgetItem(QString::fromStdString(pair.destination)));
  }
  list->setUpdatesEnabled(true);
}

void DlgSichernErweitert::sortByColumn(int column) {
  if (column < 0 || column >= ColumnCount) return;
  ascending_[static_cast<size_t>(column)] = !ascending_[static_cast<size_t>(column)];
  const bool ascending = ascending_[static_cast<size_t>(column)];
  std::stable_sort(jobs_.begin(), jobs_.end(), [&](const DirPair& a, const DirPair& b) {
    const int c = CompareBy(column, a, b);
    return ascending ? c < 0 : c > 0;
  });
  changed_ = true;
  fillList();
  if (!jobs_.empty()) ui_->listJobs->selectRow(0);
}

void DlgSichernErweitert::deleteSelected() {
  std::set<int> rows;
  for (const QModelIndex& index : ui_->listJobs->selectionModel()->selectedRows()) rows.insert(index.row());
  if (rows.empty()) {
    box_.messageBox(MessageKind::Warning, dlgtext::kNothingMarked);
    return;
  }
  const std::string question = rows.size() == 1
                                   ? std::string(dlgtext::kExtendedDeleteOne)
                                   : fmt::sprintf(dlgtext::kExtendedDeleteSeveral, static_cast<int>(rows.size()));
  if (box_.messageBox(MessageKind::YesNo, question) != MB_RESULT_YES) return;
  changed_ = true;
  for (auto it = rows.rbegin(); it != rows.rend(); ++it)
    if (*it < static_cast<int>(jobs_.size())) jobs_.erase(jobs_.begin() + *it);
  fillList();
  if (!jobs_.empty()) ui_->listJobs->selectRow(0);
}

void DlgSichernErweitert::showThinning(const BackupOptions& options) {
  ui_->spinThinDays->setValue(options.AusduennenTage);
  ui_->spinThinWeeks->setValue(options.AusduennenWochen);
  ui_->spinThinMonths->setValue(options.AusduennenMonate);
}

void DlgSichernErweitert::takeThinning(BackupOptions& options) const {
  options.AusduennenTage = ui_->spinThinDays->value();
  options.AusduennenWochen = ui_->spinThinWeeks->value();
  options.AusduennenMonate = ui_->spinThinMonths->value();
}

void DlgSichernErweitert::checkDirectories() {
  const DirectoryCheckResult result = CheckDirectories(jobs_);
  box_.messageBox(result.anythingMissing ? MessageKind::Error : MessageKind::Information, result.text);
}

}  // namespace kalvero
