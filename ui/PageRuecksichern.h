#pragma once
// The restore page: edits section "Rueck", starts and cancels the restore
// run on a worker thread of its own and shows its progress.
#include <QWidget>
#include <atomic>
#include <memory>

#include "app/Records.h"
#include "run/RunProgress.h"

namespace Ui {
class PageRuecksichern;
}

namespace kalvero {

class Application;
class MessageBoxHost;
class RestoreRun;
struct RestoreStart;
class RunWorker;
class QtRunReporter;

class PageRuecksichern : public QWidget {
  Q_OBJECT
 public:
  PageRuecksichern(Application& app, MessageBoxHost& box, QWidget* parent = nullptr);
  ~PageRuecksichern() override;

  bool isIdle() const { return idle_.load() != 0; }
  const RestoreOptions& options() const { return options_; }
  // Reads section "Rueck" again and shows it (after the stored values were rewritten).
  void reloadFromSettings();
  // Takes the fields into the options, "~/..." as the home directory; false
  // (after the message, focus on the field) for a relative path. The other
  // checks belong to start and save.
  bool takeInput();

  // Whether the fields differ from what was last loaded, saved or started with.
  bool hasUnsavedChanges() const;

  // The buttons, callable as if pressed.
  void startRestore();   // "Rücksicherung starten"; ignored while a run is active
  bool saveSettings();   // "Einstellungen speichern"
  void closeOrCancel();  // "Fenster schließen" / "Abbrechen"

  // The display of one progress notification of the run (on the window thread).
  void handleProgress(int code, const ProgressInfo& info);

  // Rows of the window the tests look at.
  Ui::PageRuecksichern* form() const { return ui_.get(); }

 signals:
  void runStarted();
  void runFinished();
  // Lines of the run for the log page; the main window connects them.
  void logLine(const QString& text);
  void logCleared();

 private:
  void showOptions();
  void applyTooltips();
  void refreshShowLogButton();
  void returnToIdle();
  void browseSource();
  void browseDestination();
  void browseLogFile();
  void showLogFile();
  // "Versionen ...": asks for a file or folder and shows its states.
  void openVersions();
  // The message of a refused start or save, with the focus in the field it concerns.
  void refuse(const RestoreStart& start);
  void setErrorColour(int state);  // 0 black, 1 dark red, 2 dark green
  QString fieldState() const;      // every field and check box, as one text

  Application& app_;
  MessageBoxHost& box_;
  std::unique_ptr<Ui::PageRuecksichern> ui_;
  RestoreOptions options_;
  QString savedState_;  // fieldState() as last loaded, saved or started with
  std::atomic<int> idle_{1};
  std::atomic<int> cancel_{0};
  std::unique_ptr<QtRunReporter> reporter_;
  std::unique_ptr<RestoreRun> run_;
  // Last, so that it stops a run still going before the run and its reporter go.
  std::unique_ptr<RunWorker> worker_;
};

}  // namespace kalvero
