#pragma once
// The log page "Protokoll": the lines the runs report, newest selected, the
// full text of the current row in a red bold field below the list.
#include <QWidget>

class QLabel;
class QTableView;
class QTimer;

namespace kalvero {

class Application;
class MessageBoxHost;
class LogModel;

class PageProtokoll : public QWidget {
  Q_OBJECT
 public:
  PageProtokoll(Application& app, MessageBoxHost& box, QWidget* parent = nullptr);
  ~PageProtokoll() override;

  // Appends one line (dropped when 10,000 rows are already there). The newest
  // row is selected and scrolled into view at most every kFollowIntervalMs, so
  // a run sending lines in quick succession never keeps the window busy.
  void appendLine(const QString& text);
  void clearLog();

  int rowCount() const;
  QString rowText(int row) const;
  QString rowDate(int row) const;
  QString currentText() const;  // the red field below the list
  QTableView* view() const { return view_; }

 private:
  void showRow(int row);
  void followNewestRow();

  static constexpr int kFollowIntervalMs = 40;

  LogModel* model_ = nullptr;
  QTableView* view_ = nullptr;
  QLabel* current_ = nullptr;
  QTimer* follow_ = nullptr;
};

}  // namespace kalvero
