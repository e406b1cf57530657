#include "ui/JobListTable.h"

#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QScrollBar>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "app/Application.h"
#include "ui/ImageList.h"
#include "ui/UiTexts.h"

namespace kalvero {

namespace t = ui_texts;

namespace {

QString text(const char* plain) { return QString::fromUtf8(plain); }

constexpr int kColumnPadding = 12;
constexpr int kColumns = 6;
constexpr int kVisibleRows = 6;

}  // namespace

JobListTable::JobListTable(QTableWidget* table, MessageBoxHost& box, QWidget* page)
    : QObject(page), table_(table), page_(page), box_(box) {
  setUp();
  setUpEmptyHint();
  connect(table_, &QTableWidget::itemSelectionChanged, this, [this] { emit selectionChanged(currentRow()); });
}

void JobListTable::setUp() {
  QTableWidget* list = table_;
  list->setAccessibleName(text(t::kJobListName));
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

// An empty list shows in its place what to do first.
void JobListTable::setUpEmptyHint() {
  auto* hint = new QLabel(text(t::kEmptyJobList), table_->viewport());
  hint->setObjectName(QStringLiteral("lblEmptyJobList"));
  hint->setWordWrap(true);
  hint->setAlignment(Qt::AlignCenter);
  hint->setTextFormat(Qt::PlainText);
  auto* layout = new QVBoxLayout(table_->viewport());
  layout->addWidget(hint);
  auto update = [this, hint] { hint->setVisible(table_->rowCount() == 0); };
  QAbstractItemModel* model = table_->model();
  connect(model, &QAbstractItemModel::rowsInserted, hint, update);
  connect(model, &QAbstractItemModel::rowsRemoved, hint, update);
  connect(model, &QAbstractItemModel::modelReset, hint, update);
  update();
}

void JobListTable::fillRow(int row, const DirPair& pair) {
  auto cell = [&](int col) {
    QTableWidgetItem* item = table_->item(row, col);
    if (!item) {
      item = new QTableWidgetItem;
      table_->setItem(row, col, item);
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

void JobListTable::widenColumns(int row) {
  const QFontMetrics fm(table_->font());
  for (int c = 1; c < kColumns; ++c) {
    const int wanted = fm.horizontalAdvance(table_->item(row, c)->text()) + kColumnPadding;
    if (wanted > table_->columnWidth(c)) table_->setColumnWidth(c, wanted);
  }
}

int JobListTable::currentRow() const {
  const auto rows = table_->selectionModel()->selectedRows();
  return rows.isEmpty() ? -1 : rows.first().row();
}

void JobListTable::selectRow(int row) {
  if (row < 0 || row >= table_->rowCount()) {
    table_->clearSelection();
    return;
  }
  table_->selectRow(row);
  table_->setCurrentCell(row, 1);
}

void JobListTable::addPair(const DirPair& pair) {
  jobs_.push_back(pair);
  const int row = table_->rowCount();
  table_->insertRow(row);
  fillRow(row, pair);
  widenColumns(row);
}

void JobListTable::replacePair(int row, const DirPair& pair) {
  if (row < 0 || row >= static_cast<int>(jobs_.size())) return;
  jobs_[static_cast<size_t>(row)] = pair;
  fillRow(row, pair);
  widenColumns(row);
}

void JobListTable::setJobList(const JobList& jobs) {
  table_->setRowCount(0);
  jobs_.clear();
  table_->setUpdatesEnabled(false);
  for (const DirPair& pair : jobs) addPair(pair);
  table_->setUpdatesEnabled(true);
  selectRow(0);
  emit jobListReplaced();
}

void JobListTable::selectPair(int row, bool focus) {
  if (row < 0 || row >= table_->rowCount()) return;
  selectRow(row);
  table_->scrollToItem(table_->item(row, 1));
  if (focus) table_->setFocus();
}

void JobListTable::deleteSelected(bool ask) {
  const int row = currentRow();
  if (row < 0) {
    if (ask) box_.messageBox(MessageKind::Warning, t::kNothingSelected);
    return;
  }
  if (ask && box_.messageBox(MessageKind::YesNo, t::kDeleteQuestion) != MB_RESULT_YES) return;
  jobs_.erase(jobs_.begin() + row);
  table_->removeRow(row);
  table_->clearSelection();
  emit selectionChanged(-1);
  if (!jobs_.empty()) selectRow(0);
  emit pairsChanged(false);  // the editor's row may be gone
}

void JobListTable::setActiveAll(int active) {
  for (size_t i = 0; i < jobs_.size(); ++i) {
    jobs_[i].active = active;
    fillRow(static_cast<int>(i), jobs_[i]);
  }
  emit selectionChanged(currentRow());
  emit pairsChanged(currentRow() >= 0);
}

void JobListTable::changeSelected(int active, int withSubdirs) {
  const int row = currentRow();
  if (row < 0 || table_->selectionModel()->selectedRows().size() != 1) return;
  DirPair& pair = jobs_[static_cast<size_t>(row)];
  if (active >= 0) pair.active = active;
  if (withSubdirs >= 0) pair.withSubdirs = withSubdirs;
  fillRow(row, pair);
  emit selectionChanged(row);
  emit pairsChanged(true);
}

void JobListTable::popupMenu(const QPoint& pos) {
  QMenu menu(page_);
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
  QPoint global = table_->viewport()->mapToGlobal(pos);
  global.rx() -= menu.sizeHint().width() / 2;
  menu.exec(global);
}

}  // namespace kalvero
