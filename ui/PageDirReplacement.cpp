#include "ui/PageDirReplacement.h"

#include <QHeaderView>
#include <QMouseEvent>
#include <algorithm>
#include <fmt/printf.h>

#include "app/Application.h"
#include "app/SettingsFile.h"
#include "ui/DialogTexts.h"
#include "ui/DlgDirReplacement.h"
#include "ui/PageTexts.h"
#include "ui_PageDirReplacement.h"

namespace kalvero {

namespace {

PageDirReplacement::Editor& editorForTests() {
  static PageDirReplacement::Editor editor;
  return editor;
}

constexpr int kColumnMargin = 12;

}  // namespace

void PageDirReplacement::setEditorForTests(Editor editor) { editorForTests() = std::move(editor); }

PageDirReplacement::PageDirReplacement(Application& app, MessageBoxHost& box, QWidget* parent)
    : QWidget(parent), app_(app), box_(box), ui_(std::make_unique<Ui::PageDirReplacement>()) {
  ui_->setupUi(this);
  setWindowTitle(ui_texts::kDirectoriesTitle);
  QTableWidget* list = ui_->listReplacements;
  list->setAccessibleName(QString::fromUtf8(dlgtext::kReplacementListName));
  list->setColumnCount(3);
  list->setHorizontalHeaderLabels({ui_texts::kColumnActive, ui_texts::kColumnOld, ui_texts::kColumnNew});
  list->verticalHeader()->hide();
  list->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  list->verticalHeader()->setDefaultSectionSize(list->fontMetrics().height() + 6);
  list->horizontalHeader()->setSectionsMovable(true);
  list->horizontalHeader()->setStretchLastSection(false);
  list->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  for (int c = 0; c < 3; ++c)
    list->setColumnWidth(c, list->horizontalHeader()->fontMetrics().horizontalAdvance(
                                list->horizontalHeaderItem(c)->text()) +
                                kColumnMargin + 12);
  list->viewport()->installEventFilter(this);

  const DirReplacementList stored = SettingsFile(app_.settingsPath()).loadDirReplacementList();
  list->setUpdatesEnabled(false);
  list->setRowCount(0);
  for (const DirReplacement& e : stored.entries) addRow(e);
  list->setUpdatesEnabled(true);
  ui_->chkSichern->setChecked(stored.Sichern != 0);
  ui_->chkRuecksichern->setChecked(stored.Ruecksichern != 0);

  connect(ui_->chkSichern, &QCheckBox::clicked, this, [this] { modified_ = true; });
  connect(ui_->chkRuecksichern, &QCheckBox::clicked, this, [this] { modified_ = true; });
  connect(ui_->btnNew, &QPushButton::clicked, this, &PageDirReplacement::newEntry);
  connect(ui_->btnChange, &QPushButton::clicked, this, &PageDirReplacement::changeEntry);
  connect(ui_->btnDelete, &QPushButton::clicked, this, &PageDirReplacement::deleteEntries);
  connect(list, &QTableWidget::itemSelectionChanged, this, &PageDirReplacement::refreshButtons);
  connect(list, &QTableWidget::cellDoubleClicked, this, [this](int row, int) {
    ui_->listReplacements->selectRow(row);  // the row double-clicked is the one changed
    changeEntry();
  });
  modified_ = false;
  refreshButtons();
}

PageDirReplacement::~PageDirReplacement() = default;

int PageDirReplacement::rowCount() const { return ui_->listReplacements->rowCount(); }

DirReplacement PageDirReplacement::entryAt(int row) const {
  QTableWidget* list = ui_->listReplacements;
  DirReplacement e;
  e.active = list->item(row, 0)->text().compare(ui_texts::kYes, Qt::CaseInsensitive) == 0 ? 1 : 0;
  e.oldName = list->item(row, 1)->text().toStdString();
  e.newName = list->item(row, 2)->text().toStdString();
  return e;
}

std::vector<int> PageDirReplacement::selectedRows() const {
  // From the selection's ranges: asking row by row is quadratic on long lists.
  std::vector<int> rows;
  for (const QItemSelectionRange& range : ui_->listReplacements->selectionModel()->selection())
    for (int r = range.top(); r <= range.bottom(); ++r) rows.push_back(r);
  std::sort(rows.begin(), rows.end());
  rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
  return rows;
}

void PageDirReplacement::addRow(const DirReplacement& entry) {
  QTableWidget* list = ui_->listReplacements;
  const int row = list->rowCount();
  list->insertRow(row);
  for (int c = 0; c < 3; ++c) list->setItem(row, c, new QTableWidgetItem);
  writeRow(row, entry);
}

void PageDirReplacement::writeRow(int row, const DirReplacement& entry) {
  QTableWidget* list = ui_->listReplacements;
  list->item(row, 0)->setText(entry.active != 0 ? ui_texts::kYes : ui_texts::kNo);
  list->item(row, 1)->setText(QString::fromStdString(entry.oldName));
  list->item(row, 2)->setText(QString::fromStdString(entry.newName));
  widenColumns(row);
}

void PageDirReplacement::widenColumns(int row) {
  QTableWidget* list = ui_->listReplacements;
  const QFontMetrics metrics = list->fontMetrics();
  for (int c = 0; c < 3; ++c) {
    const int needed = metrics.horizontalAdvance(list->item(row, c)->text()) + kColumnMargin + 12;
    if (needed > list->columnWidth(c)) list->setColumnWidth(c, needed);
  }
}

void PageDirReplacement::refreshButtons() {
  const std::size_t selected = selectedRows().size();
  ui_->btnChange->setEnabled(selected == 1);
  ui_->btnDelete->setEnabled(selected >= 1);
}

bool PageDirReplacement::edit(DirReplacement& entry) {
  if (editorForTests()) return editorForTests()(this, entry);
  DlgDirReplacement dialog(box_, entry, this);
  if (dialog.exec() != QDialog::Accepted) return false;
  entry = dialog.entry();
  return true;
}

void PageDirReplacement::newEntry() {
  DirReplacement entry;  // empty names, active
  if (!edit(entry)) return;
  addRow(entry);
  QTableWidget* list = ui_->listReplacements;
  list->clearSelection();
  list->selectRow(list->rowCount() - 1);
  list->scrollToItem(list->item(list->rowCount() - 1, 0));
  modified_ = true;
}

void PageDirReplacement::changeEntry() {
  const std::vector<int> rows = selectedRows();
  if (rows.empty()) return;
  const int row = rows.front();
  DirReplacement entry = entryAt(row);
  if (!edit(entry)) return;
  writeRow(row, entry);
  modified_ = true;
}

void PageDirReplacement::deleteEntries() {
  const std::vector<int> rows = selectedRows();
  if (rows.empty()) return;
  const int answer = box_.messageBox(MessageKind::YesNo, fmt::sprintf(ui_texts::kDeleteMarkedQuestion, static_cast<int>(rows.size())));
  if (answer != MB_RESULT_YES) return;
  // Last first, a run of neighbouring rows at a time: a large selection is one
  // removal per run instead of one per row.
  QAbstractItemModel* model = ui_->listReplacements->model();
  ui_->listReplacements->clearSelection();
  int i = static_cast<int>(rows.size()) - 1;
  while (i >= 0) {
    int first = i;
    while (first > 0 && rows[static_cast<std::size_t>(first - 1)] == rows[static_cast<std::size_t>(first)] - 1) --first;
    const int start = rows[static_cast<std::size_t>(first)];
    model->removeRows(start, rows[static_cast<std::size_t>(i)] - start + 1);
    i = first - 1;
  }
  modified_ = true;
  refreshButtons();
}

bool PageDirReplacement::eventFilter(QObject* watched, QEvent* event) {
  // A double click where there is no row adds a new entry.
  if (watched == ui_->listReplacements->viewport() && event->type() == QEvent::MouseButtonDblClick) {
    const auto* mouse = static_cast<QMouseEvent*>(event);
    if (!ui_->listReplacements->indexAt(mouse->position().toPoint()).isValid()) {
      newEntry();
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

bool PageDirReplacement::replacementChosen() const {
  return ui_->chkSichern->isChecked() || ui_->chkRuecksichern->isChecked();
}

bool PageDirReplacement::apply() {
  if (!modified_) return true;
  DirReplacementList list;
  list.Sichern = ui_->chkSichern->isChecked() ? 1 : 0;
  list.Ruecksichern = ui_->chkRuecksichern->isChecked() ? 1 : 0;
  list.entries.reserve(static_cast<std::size_t>(rowCount()));
  for (int r = 0; r < rowCount(); ++r) list.entries.push_back(entryAt(r));
  std::string error;
  if (!SettingsFile(app_.settingsPath()).saveDirReplacementList(list, &error)) {
    box_.messageBox(MessageKind::Error, error);
    return false;
  }
  modified_ = false;
  return true;
}

}  // namespace kalvero
