#include "ui/DlgZeitplan.h"

#include <fmt/printf.h>

#include <QCoreApplication>
#include <QFileInfo>
#include <QStandardPaths>

#include "app/AppTexts.h"
#include "app/Application.h"
#include "app/PluggedSchedule.h"
#include "app/Reminder.h"
#include "app/SettingsFile.h"
#include "app/VerifySchedule.h"
#include "ui/DialogTexts.h"
#include "ui_DlgZeitplan.h"

namespace kalvero {

namespace {

QString q(const char* text) { return QString::fromUtf8(text); }

}  // namespace

void openScheduleDialog(QWidget* parent, const Application& app, MessageBoxHost& box) {
  DlgZeitplan dialog(DlgZeitplan::defaultCliPath(), app.settingsPath(), box, parent);
  dialog.exec();
}

DlgZeitplan::DlgZeitplan(std::string cliPath, std::string settingsPath, MessageBoxHost& box, QWidget* parent)
    : QDialog(parent),
      ui_(std::make_unique<Ui::DlgZeitplan>()),
      cliPath_(std::move(cliPath)),
      settingsPath_(QFileInfo(QString::fromStdString(settingsPath)).absoluteFilePath().toStdString()),
      box_(box) {
  ui_->setupUi(this);
  setWindowTitle(q(dlgtext::kScheduleTitle));
  for (const char* day : dlgtext::kWeekdays) ui_->comboWeekday->addItem(q(day));
  // The fields beside the choices have no label of their own.
  ui_->timeDaily->setAccessibleName(q(dlgtext::kScheduleDailyTime));
  ui_->comboWeekday->setAccessibleName(q(dlgtext::kScheduleWeekday));
  // On Linux Qt gives a combo box its current day as the name: the description tells what it chooses.
  ui_->comboWeekday->setAccessibleDescription(q(dlgtext::kScheduleWeekday));
  ui_->timeWeekly->setAccessibleName(q(dlgtext::kScheduleWeeklyTime));
  ui_->textNextRun->setAccessibleName(q(dlgtext::kScheduleNextRun));
  ui_->labelWeeklyAt->setBuddy(ui_->timeWeekly);
  ui_->labelNextRun->setBuddy(ui_->textNextRun);
  for (QRadioButton* r : {ui_->radioOff, ui_->radioDaily, ui_->radioWeekly})
    connect(r, &QRadioButton::toggled, this, &DlgZeitplan::applyEnabling);
  connect(ui_->btnOk, &QPushButton::clicked, this, &DlgZeitplan::accept);
  connect(ui_->btnCancel, &QPushButton::clicked, this, &DlgZeitplan::reject);

  const Schedule current = CurrentSchedule();
  showSchedule(current);
  ui_->checkPlugged->setChecked(!CurrentPlugged().empty());
  ui_->checkVerify->setChecked(VerifyScheduled());
  QString next;
  if (current.kind != Schedule::Kind::Off) {
    next = nextRunOf(QString::fromStdString(NextRunText()));
    if (next.isEmpty())
      next = QString::fromStdString(fmt::sprintf(dlgtext::kScheduleNextUnknown, ScheduleText(current)));
  }
  ui_->textNextRun->setText(next.isEmpty() ? q(dlgtext::kScheduleNoRun) : next);
}

DlgZeitplan::~DlgZeitplan() = default;

void DlgZeitplan::showSchedule(const Schedule& s) {
  // Without a plan the fields offer an evening hour, when the computer is still on but no longer in use.
  const QTime at = s.kind == Schedule::Kind::Off ? QTime(kEveningHour, 0) : QTime(s.hour, s.minute);
  ui_->timeDaily->setTime(at);
  ui_->timeWeekly->setTime(at);
  ui_->comboWeekday->setCurrentIndex(s.weekday >= 0 && s.weekday <= 6 ? s.weekday : 0);
  ui_->radioOff->setChecked(s.kind == Schedule::Kind::Off);
  ui_->radioDaily->setChecked(s.kind == Schedule::Kind::Daily);
  ui_->radioWeekly->setChecked(s.kind == Schedule::Kind::Weekly);
  applyEnabling();
}

void DlgZeitplan::applyEnabling() {
  ui_->timeDaily->setEnabled(ui_->radioDaily->isChecked());
  const bool weekly = ui_->radioWeekly->isChecked();
  for (QWidget* w : {static_cast<QWidget*>(ui_->comboWeekday), static_cast<QWidget*>(ui_->timeWeekly),
                     static_cast<QWidget*>(ui_->labelWeeklyAt)})
    w->setEnabled(weekly);
}

Schedule DlgZeitplan::schedule() const {
  Schedule s;
  QTime at;
  if (ui_->radioDaily->isChecked()) {
    s.kind = Schedule::Kind::Daily;
    at = ui_->timeDaily->time();
  } else if (ui_->radioWeekly->isChecked()) {
    s.kind = Schedule::Kind::Weekly;
    s.weekday = ui_->comboWeekday->currentIndex();
    at = ui_->timeWeekly->time();
  }
  s.hour = at.isValid() ? at.hour() : 0;
  s.minute = at.isValid() ? at.minute() : 0;
  return s;
}

// The plug-in trigger for the drives of the active pairs now, or none.
std::string DlgZeitplan::applyPlugged() const {
  if (!ui_->checkPlugged->isChecked()) return ApplyPlugged({}, cliPath_, settingsPath_);
  const std::vector<Drive> drives = DestinationDrives(SettingsFile(settingsPath_).loadJobList(), nullptr);
  if (drives.empty()) return texts::kScheduleNoDrive;
  return ApplyPlugged(drives, cliPath_, settingsPath_);
}

void DlgZeitplan::accept() {
  std::string failure = ApplySchedule(schedule(), cliPath_, settingsPath_);
  if (failure.empty()) failure = applyPlugged();
  if (failure.empty()) failure = ApplyVerifySchedule(ui_->checkVerify->isChecked(), cliPath_, settingsPath_);
  // The reminder goes with any plan of the backup.
  const bool planned = schedule().kind != Schedule::Kind::Off || ui_->checkPlugged->isChecked();
  if (failure.empty()) failure = ApplyReminder(planned, cliPath_, settingsPath_);
  if (!failure.empty()) {
    box_.messageBox(MessageKind::Error, failure);
    return;  // the choice stays as made, to be corrected or cancelled
  }
  QDialog::accept();
}

std::string DlgZeitplan::defaultCliPath() {
  const QString beside = QCoreApplication::applicationDirPath() + QStringLiteral("/kalvero-cli");
  if (QFileInfo(beside).isExecutable()) return beside.toStdString();
  const QString onPath = QStandardPaths::findExecutable(QStringLiteral("kalvero-cli"));
  return (onPath.isEmpty() ? beside : onPath).toStdString();
}

QString DlgZeitplan::nextRunOf(const QString& listTimers) {
  // The first column of the first row, as wide as the heading "NEXT" reaches to "LEFT".
  const QStringList lines = listTimers.split(QLatin1Char('\n'));
  if (lines.size() < 2) return {};
  const int left = lines[0].indexOf(QLatin1String("LEFT"));
  if (!lines[0].startsWith(QLatin1String("NEXT")) || left <= 0) return {};
  const QString next = lines[1].left(left).trimmed();
  // systemd writes "-" or "n/a" when the timer has no next elapse.
  return next == QLatin1String("-") || next == QLatin1String("n/a") ? QString() : next;
}

}  // namespace kalvero
