#include "ui/PageProtokoll.h"

#include <QDateTime>
#include <QHeaderView>
#include <QLabel>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

#include "ui/DialogTexts.h"
#include "ui/PageTexts.h"

namespace kalvero {

PageProtokoll::PageProtokoll(Application&, MessageBoxHost&, QWidget* parent) : QWidget(parent) {
  model_ = new LogModel(this);
  view_ = new QTableView(this);
  view_->setObjectName(QStringLiteral("listProtokoll"));
  view_->setAccessibleName(QString::fromUtf8(dlgtext::kLogListName));
  view_->setModel(model_);
  view_->setSelectionBehavior(QAbstractItemView::SelectRows);
  view_->setSelectionMode(QAbstractItemView::SingleSelection);
  view_->setShowGrid(true);
  view_->setWordWrap(false);
  // A long line keeps its start (what happened) and its end (the file's name); the tool tip has it whole.
  view_->setTextElideMode(Qt::ElideMiddle);
  view_->setTabKeyNavigation(false);  // Tab leaves the list, the arrow keys choose rows
  view_->verticalHeader()->hide();
  view_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  view_->verticalHeader()->setDefaultSectionSize(view_->fontMetrics().height() + 6);
  QHeaderView* header = view_->horizontalHeader();
  header->setSectionsMovable(true);
  header->setSectionResizeMode(0, QHeaderView::Stretch);
  header->setSectionResizeMode(1, QHeaderView::Interactive);
  // "Datum" as wide as a date text plus a margin; "Protokolltext" takes the rest.
  const QString sample = QDateTime::currentDateTime().toString(ui_texts::kLogDateFormat);
  header->resizeSection(1, view_->fontMetrics().horizontalAdvance(sample) + 24);

  current_ = new QLabel(this);
  current_->setObjectName(QStringLiteral("textAktuell"));
  current_->setAccessibleName(QString::fromUtf8(dlgtext::kLogCurrentName));
  current_->setWordWrap(true);
  current_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  current_->setTextFormat(Qt::PlainText);
  QFont bold = current_->font();
  bold.setWeight(QFont::Bold);
  current_->setFont(bold);
  showAlarm(false);
  current_->setMinimumHeight(current_->fontMetrics().height() * 3);
  current_->setAlignment(Qt::AlignLeft | Qt::AlignTop);

  follow_ = new QTimer(this);
  follow_->setSingleShot(true);
  follow_->setInterval(kFollowIntervalMs);
  connect(follow_, &QTimer::timeout, this, &PageProtokoll::flushPending);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(view_, 1);
  layout->addWidget(current_);

  connect(view_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
          [this](const QModelIndex& now, const QModelIndex&) { showRow(now.isValid() ? now.row() : -1); });
}

PageProtokoll::~PageProtokoll() = default;

void PageProtokoll::appendLine(const QString& text) {
  if (rowCount() >= LogModel::kMaxRows) return;
  pending_.push_back(LogModel::Row{text, QDateTime::currentDateTime().toString(ui_texts::kLogDateFormat)});
  if (!follow_->isActive()) follow_->start();
}

void PageProtokoll::flushPending() {
  model_->append(pending_);
  pending_.clear();
  if (model_->rowCount() == 0) return;
  const QModelIndex index = model_->index(model_->rowCount() - 1, 0);
  view_->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  view_->scrollTo(index);
}

void PageProtokoll::showAlarm(bool alarm) {
  // Red only says something when a run went wrong; a clean run reads in the plain colour.
  current_->setStyleSheet(alarm ? QStringLiteral("color: rgb(255, 0, 0); background: transparent;")
                                : QStringLiteral("background: transparent;"));
}

bool PageProtokoll::alarmShown() const { return current_->styleSheet().contains(QLatin1String("color")); }

void PageProtokoll::clearLog() {
  showAlarm(false);
  follow_->stop();
  pending_.clear();
  current_->clear();
  model_->clear();
}

int PageProtokoll::rowCount() const { return model_->rowCount() + static_cast<int>(pending_.size()); }

QString PageProtokoll::rowText(int row) const {
  const int shown = model_->rowCount();
  return row < shown ? model_->text(row) : pending_.at(static_cast<std::size_t>(row - shown)).text;
}

QString PageProtokoll::rowDate(int row) const {
  const int shown = model_->rowCount();
  return row < shown ? model_->date(row) : pending_.at(static_cast<std::size_t>(row - shown)).date;
}
QString PageProtokoll::currentText() const { return current_->text(); }

void PageProtokoll::showRow(int row) {
  current_->setText(row >= 0 && row < model_->rowCount() ? model_->text(row).trimmed() : QString());
}

}  // namespace kalvero
