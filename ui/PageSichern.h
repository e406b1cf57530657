#pragma once
// The backup page "Sichern": composes the job-list table, the options form
// and the progress panel, and saves, starts and cancels a backup run.
#include <QStringList>
#include <QWidget>
#include <atomic>
#include <memory>

#include "app/Records.h"
#include "run/RunProgress.h"

class QScrollArea;

namespace Ui {
class PageSichern;
}

namespace kalvero {

class Application;
class MessageBoxHost;
class BackupRun;
class RunWorker;
class JobListTable;
class BackupOptionsForm;
class RunProgressPanel;
class QtRunReporter;
class LeftOutLines;

class PageSichern : public QWidget {
  Q_OBJECT
 public:
  PageSichern(Application& app, MessageBoxHost& box, QWidget* parent = nullptr);
  ~PageSichern() override;

  // The job list as the page shows it, row by row.
  const JobList& jobList() const;
  // The selected row, -1 when none is selected.
  int currentRow() const;
  void addPair(const DirPair& pair);
  void replacePair(int row, const DirPair& pair);
  void setJobList(const JobList& jobs);
  // The thinning numbers of options (from "Sichern - Erweitert"); the other options stay as shown.
  void setThinning(const BackupOptions& options);
  // Rebuilds the caption of the "Datum" check box from section "Datum".
  void rebuildDateLabel();
  // Shows the stored backup settings again (after they were rewritten).
  void reloadFromSettings();
  bool isIdle() const { return idle_ != 0; }

  // "Sicherung starten"; ignored while a run is active.
  void startBackup();
  // "Einstellungen speichern"; false when refused or when saving failed.
  bool saveSettings();
  // Whether options or job list differ from what was last loaded or saved.
  bool hasUnsavedChanges() const;
  // Before the window closes: with unsaved changes, asks whether to save them
  // (Ja saves, Nein drops them, Abbrechen keeps the window); false keeps it open.
  bool mayClose();
  // "Abbrechen" during a run; the run stops at its next check.
  void requestCancel() { cancel_ = 1; }
  // The page's copy of the batch flag; cancelling the countdown switches it off.
  int pageBatchMode() const { return pageBatchMode_; }
  // Shows "Warnung Batchmodus" when the batch flag is set (once the window is shown).
  void startBatchCountdown();
  // The job-list entries that were skipped as incomplete when the settings were loaded.
  const QStringList& loadWarnings() const { return loadWarnings_; }
  const BackupOptions& options() const;
  const DateFilter& dateFilter() const;

  // The progress display for one notification of the run.
  void showProgress(int code, const ProgressInfo& info);
  // Selects and scrolls to the row of the pair being run (focusing it only while no run is active).
  void selectPair(int row);

  // The last run ended without errors, without leaving anything out and was not cancelled.
  bool lastRunClean() const { return lastRunClean_; }

  // percent(done, total) as the display shows it: 0 for an empty total.
  static int percentOf(std::uint64_t done, std::uint64_t total);

 signals:
  // The selection of the job list changed (-1: no row selected); an open pair editor follows it.
  void selectionChanged(int row);
  void jobListReplaced();
  void runStarted();
  void runFinished();
  void logLine(const QString& text);
  void logCleared();

 private:
  void scrollTheMiddle();
  void connectControls();
  void loadSettings();
  bool checkLogDirectory();
  void returnToIdle();
  void setRunningControls(bool running);
  bool runShutdownStep();
  void finishRun(int batch, bool exitOn, bool closeOn);
  void runEnded();
  // The closing line and what was left out, scrolled into view on a small screen.
  void bringOutcomeIntoView();
  QString currentState() const;
  // "Letzte Sicherung: ..." from the run log's last summary, empty before the first run.
  void showLastBackup();
  void rememberSavedState() { savedState_ = currentState(); }

  Application& app_;
  MessageBoxHost& box_;
  std::unique_ptr<Ui::PageSichern> ui_;
  JobListTable* table_ = nullptr;         // owned by the page
  BackupOptionsForm* form_ = nullptr;     // owned by the page
  std::unique_ptr<RunProgressPanel> progress_;
  QScrollArea* middle_ = nullptr;         // the options and the progress; owned by the page
  std::unique_ptr<LeftOutLines> leftOut_;
  bool lastRunClean_ = true;
  QString savedState_;  // options and job list as last loaded or saved
  QStringList loadWarnings_;
  std::atomic<int> idle_{1};
  std::atomic<int> cancel_{0};
  std::atomic<int> pageBatchMode_{0};
  std::atomic<bool> closeAfterRun_{false};
  std::atomic<bool> batchNotified_{false};  // the end of this batch run was told to the desktop
  std::unique_ptr<QtRunReporter> reporter_;
  std::unique_ptr<BackupRun> run_;
  // Last, so that it stops a run still going before the run and its reporter go.
  std::unique_ptr<RunWorker> worker_;
};

}  // namespace kalvero
