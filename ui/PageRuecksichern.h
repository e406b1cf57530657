#pragma once
// The restore page: edits section "Rueck", starts and cancels the restore
// run and shows its progress.
#include <QWidget>

namespace kalvero {

class Application;
class MessageBoxHost;

class PageRuecksichern : public QWidget {
  Q_OBJECT
 public:
  PageRuecksichern(Application& app, MessageBoxHost& box, QWidget* parent = nullptr);
  ~PageRuecksichern() override;

  bool isIdle() const { return true; }
  // Reads section "Rueck" again and shows it (after the stored values were rewritten).
  void reloadFromSettings() {}
  // Takes the fields into the options; false (with message and focus) when refused.
  bool takeInput() { return true; }

 signals:
  void runStarted();
  void runFinished();
  // A log line of the run; the main window routes it to the log page.
  void logLine(const QString& text);
  void logCleared();

 private:
  Application& app_;
  MessageBoxHost& box_;
};

}  // namespace kalvero
