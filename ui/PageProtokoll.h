#pragma once
// The log page "Protokoll": the lines the runs report, newest selected, the
// full text of the current row in a bold field below the list, red after a
// backup with errors or with something left out.
#include <QWidget>
#include <vector>

#include "ui/PageProtokollModel.h"

class QLabel;
class QTableView;
class QTimer;

namespace kalvero {

class Application;
class MessageBoxHost;

class PageProtokoll : public QWidget {
  Q_OBJECT
 public:
  PageProtokoll(Application& app, MessageBoxHost& box, QWidget* parent = nullptr);
  ~PageProtokoll() override;

  // Appends one line (dropped when 10,000 rows are already there). Lines reach
  // the list together at most every kFollowIntervalMs, where the newest row is
  // selected and scrolled into view: a run sending lines in quick succession
  // costs one repaint per interval instead of one per line.
  void appendLine(const QString& text);
  void clearLog();

  int rowCount() const;
  QString rowText(int row) const;
  QString rowDate(int row) const;
  QString currentText() const;  // the field below the list
  // Red for the field after a run that went wrong; plain again with the next run.
  void showAlarm(bool alarm);
  bool alarmShown() const;
  QTableView* view() const { return view_; }

 private:
  void showRow(int row);
  void flushPending();

  static constexpr int kFollowIntervalMs = 40;

  LogModel* model_ = nullptr;
  QTableView* view_ = nullptr;
  QLabel* current_ = nullptr;
  QTimer* follow_ = nullptr;
  std::vector<LogModel::Row> pending_;
};

}  // namespace kalvero
