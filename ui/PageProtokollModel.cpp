#include "ui/PageProtokollModel.h"

#include "ui/PageTexts.h"

namespace kalvero {

LogModel::LogModel(QObject* parent) : QAbstractTableModel(parent) {}

bool LogModel::append(const QString& text, const QString& date) {
  if (static_cast<int>(rows_.size()) >= kMaxRows) return false;
  const int row = static_cast<int>(rows_.size());
  beginInsertRows(QModelIndex(), row, row);
  rows_.push_back(Row{text, date});
  endInsertRows();
  return true;
}

void LogModel::clear() {
  beginResetModel();
  rows_.clear();
  rows_.shrink_to_fit();
  endResetModel();
}

int LogModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int LogModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : 2; }

QVariant LogModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= static_cast<int>(rows_.size())) return {};
  const Row& r = rows_[static_cast<std::size_t>(index.row())];
  if (role == Qt::DisplayRole) {
    if (index.column() == 1) return r.date;
    // The runs send their lines with "\r\n"; the row shows the text without it.
    QString shown = r.text;
    while (shown.endsWith(QLatin1Char('\n')) || shown.endsWith(QLatin1Char('\r'))) shown.chop(1);
    return shown;
  }
  if (role == Qt::ToolTipRole && index.column() == 0) return r.text.trimmed();
  return {};
}

QVariant LogModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
  return section == 0 ? ui_texts::kLogColumnText : ui_texts::kLogColumnDate;
}

}  // namespace kalvero
