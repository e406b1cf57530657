#include "ui/PageProtokollModel.h"

#include <algorithm>

#include "ui/PageTexts.h"

namespace kalvero {

LogModel::LogModel(QObject* parent) : QAbstractTableModel(parent) {}

int LogModel::append(std::vector<Row>& rows) {
  const int first = static_cast<int>(rows_.size());
  const int count = std::min(static_cast<int>(rows.size()), kMaxRows - first);
  if (count <= 0) return 0;
  beginInsertRows(QModelIndex(), first, first + count - 1);
  for (int i = 0; i < count; ++i) rows_.push_back(std::move(rows[static_cast<std::size_t>(i)]));
  endInsertRows();
  return count;
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
