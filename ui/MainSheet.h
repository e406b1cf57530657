#pragma once
// The main window: the four pages "Sichern", "Rücksichern", "Information"
// and "Protokoll", the "Parameter ..." button in the tab bar's corner, the
// routing of the runs' log lines, and closing (never while a run still
// reports to a page).
#include <QWidget>

class QTabWidget;
class QPushButton;

namespace kalvero {

class Application;
class MessageBoxHost;
class PageSichern;
class PageRuecksichern;
class PageInfo;
class PageProtokoll;

class MainSheet : public QWidget {
  Q_OBJECT
 public:
  MainSheet(Application& app, MessageBoxHost& box, QWidget* parent = nullptr);
  ~MainSheet() override;

  PageSichern* pageSichern() const { return sichern_; }
  PageRuecksichern* pageRuecksichern() const { return ruecksichern_; }
  PageInfo* pageInfo() const { return info_; }
  PageProtokoll* pageProtokoll() const { return protokoll_; }
  QTabWidget* tabs() const { return tabs_; }
  QPushButton* parameterButton() const { return parameter_; }
  QPushButton* scheduleButton() const { return schedule_; }
  // The size the window first takes where the screen has room: what the pages need.
  QSize firstSize() const;
  // True once a close was asked for during a run; the window closes when the run has ended.
  bool closePending() const { return closePending_; }

 protected:
  void closeEvent(QCloseEvent* event) override;
  void changeEvent(QEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  // The first size: the pages' own, but never larger than the screen's free room.
  void fitToScreen();
  void updateParameterButton();
  void showLoadWarnings();
  void runEnded();
  // With changed options on either page, asks whether to save them; false keeps the window open.
  bool mayClose();

  Application& app_;
  MessageBoxHost& box_;
  QTabWidget* tabs_ = nullptr;
  QPushButton* parameter_ = nullptr;
  QPushButton* schedule_ = nullptr;
  PageSichern* sichern_ = nullptr;
  PageRuecksichern* ruecksichern_ = nullptr;
  PageInfo* info_ = nullptr;
  PageProtokoll* protokoll_ = nullptr;
  bool closePending_ = false;
  bool shownOnce_ = false;
};

}  // namespace kalvero
