#pragma once
// The rows of the log page: text and date per row, at most 10,000 rows.
// A model of its own keeps 10,000 rows cheap to add and to show.
#include <QAbstractTableModel>
#include <QString>
#include <vector>

namespace kalvero {

class LogModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  static constexpr int kMaxRows = 10000;

  explicit LogModel(QObject* parent = nullptr);

  struct Row {
    QString text;
    QString date;
  };

  // Appends the rows that still fit, in one insertion; returns how many did.
  int append(std::vector<Row>& rows);
  void clear();
  const QString& text(int row) const { return rows_[static_cast<std::size_t>(row)].text; }
  const QString& date(int row) const { return rows_[static_cast<std::size_t>(row)].date; }

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

 private:
  std::vector<Row> rows_;
};

}  // namespace kalvero
