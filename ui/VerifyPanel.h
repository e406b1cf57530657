#pragma once
// "Sicherung prüfen" on the information page: the check of kalvero-cli
// verify over every active pair, on a worker thread of its own, with its
// progress and a result in words: all is well, or the damaged and missing
// files with what to do about them.
#include <QGroupBox>
#include <atomic>
#include <memory>

#include "verify/VerifyResult.h"
#include "verify/VerifyRun.h"

class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;

namespace kalvero {

class Application;
class QtRunReporter;
class RunWorker;
struct ProgressInfo;

class VerifyPanel : public QGroupBox {
  Q_OBJECT
 public:
  explicit VerifyPanel(Application& app, QWidget* parent = nullptr);
  ~VerifyPanel() override;

  bool running() const;
  // The totals of the last check (valid after finished()).
  const VerifyTotals& lastTotals() const { return totals_; }
  QPushButton* startButton() const { return start_; }
  QPushButton* cancelButton() const { return cancel_; }
  QLabel* verdictLabel() const { return verdict_; }
  QPlainTextEdit* findingsView() const { return findings_; }

 signals:
  void finished();

 private:
  void startCheck();
  void showProgress(int code, const ProgressInfo& info);
  void showResult();
  void setRunning(bool running);

  Application& app_;
  QLabel* status_;
  QProgressBar* bar_;
  QPushButton* start_;
  QPushButton* cancel_;
  QLabel* verdict_;
  QPlainTextEdit* findings_;
  std::unique_ptr<RunWorker> worker_;
  std::unique_ptr<QtRunReporter> reporter_;
  std::atomic<int> cancelFlag_{0};
  VerifyInput input_;
  VerifyTotals totals_;  // written by the worker, read once it has ended
  QString folder_;       // the backup folder being checked
};

}  // namespace kalvero
