#pragma once
// "Zeitplan": plans the unattended backup as a systemd user timer, daily or
// weekly, or switches it off; beside it the backup when the destination's
// drive is plugged in and the monthly check of the backups. OK goes through the same ApplySchedule as
// "kalvero-cli schedule"; a failure is shown and the dialog stays open.
#include <QDialog>
#include <memory>
#include <string>

#include "app/Schedule.h"

namespace Ui {
class DlgZeitplan;
}

namespace kalvero {

class Application;
class MessageBoxHost;

// "Zeitplan ...": the dialog, modal, for the settings file the program uses.
void openScheduleDialog(QWidget* parent, const Application& app, MessageBoxHost& box);

class DlgZeitplan : public QDialog {
  Q_OBJECT
 public:
  // cliPath: kalvero-cli as the timer starts it (absolute); settingsPath: the settings file in use.
  DlgZeitplan(std::string cliPath, std::string settingsPath, MessageBoxHost& box, QWidget* parent = nullptr);
  ~DlgZeitplan() override;

  // The choice as the controls show it.
  Schedule schedule() const;
  Ui::DlgZeitplan* form() const { return ui_.get(); }

  // kalvero-cli beside this program, else the one on PATH.
  static std::string defaultCliPath();
  // The time of the next run from "systemctl --user list-timers" output; "" when it names none.
  static QString nextRunOf(const QString& listTimers);

 public slots:
  void accept() override;

 private:
  static constexpr int kEveningHour = 20;
  void showSchedule(const Schedule& schedule);
  void applyEnabling();
  std::string applyPlugged() const;

  std::unique_ptr<Ui::DlgZeitplan> ui_;
  std::string cliPath_;
  std::string settingsPath_;
  MessageBoxHost& box_;
};

}  // namespace kalvero
