// The schedule dialog against a stand-in systemctl, and its button in the
// main window's tab-bar corner.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTimeEdit>
#include <QtTest>

#include "DialogTestSupport.h"
#include "MainTestSupport.h"
#include "ui/DlgZeitplan.h"
#include "ui/MainSheet.h"
#include "ui/PageSichern.h"
#include "ui_DlgZeitplan.h"

using namespace kalvero;

class DlgZeitplanTest : public QObject {
  Q_OBJECT
 private slots:
  void plansWeeklyThenSwitchesOff() {
    test::SystemctlStandIn systemctl;
    test::MessageBoxFake boxes;
    {
      DlgZeitplan dlg("/opt/kalvero/bin/kalvero-cli", "/home/anna/.config/kalvero/kalvero.INI", boxes);
      Ui::DlgZeitplan& f = *dlg.form();
      QVERIFY(f.radioOff->isChecked());
      QVERIFY(!f.timeDaily->isEnabled() && !f.comboWeekday->isEnabled() && !f.timeWeekly->isEnabled());
      QCOMPARE(f.textNextRun->text(), QString("keiner"));
      QCOMPARE(f.timeDaily->time(), QTime(20, 0));  // an evening hour is offered, not midnight
      QCOMPARE(f.comboWeekday->count(), 7);
      f.radioWeekly->click();
      QVERIFY(f.comboWeekday->isEnabled() && f.timeWeekly->isEnabled() && !f.timeDaily->isEnabled());
      f.comboWeekday->setCurrentIndex(2);
      f.timeWeekly->setTime(QTime(20, 15));
      f.btnOk->click();
      QCOMPARE(dlg.result(), int(QDialog::Accepted));
    }
    QVERIFY(boxes.boxes.empty());
    QCOMPARE(systemctl.calls(), QStringList({"--user daemon-reload", "--user enable --now kalvero-backup.timer",
                                             "--user daemon-reload", "--user enable --now kalvero-remind.timer"}));
    QVERIFY(systemctl.unit("kalvero-backup.timer").find("OnCalendar=Wed *-*-* 20:15:00\n") != std::string::npos);
    QVERIFY(systemctl.unit("kalvero-backup.service")
                .find("\"/opt/kalvero/bin/kalvero-cli\" --ini \"/home/anna/.config/kalvero/kalvero.INI\" backup") !=
            std::string::npos);

    // Opened again it shows the plan; "Nie" takes it away.
    DlgZeitplan again("/opt/kalvero/bin/kalvero-cli", "/home/anna/.config/kalvero/kalvero.INI", boxes);
    Ui::DlgZeitplan& f = *again.form();
    QVERIFY(f.radioWeekly->isChecked());
    QCOMPARE(f.comboWeekday->currentText(), QString("Mittwoch"));
    QCOMPARE(f.timeWeekly->time(), QTime(20, 15));
    QCOMPARE(f.textNextRun->text(), QString("Wed 2026-12-09 20:15:00 UTC"));
    f.radioOff->click();
    f.btnOk->click();
    QCOMPARE(again.result(), int(QDialog::Accepted));
    QVERIFY(systemctl.calls().contains("--user disable --now kalvero-backup.timer"));
    QVERIFY(systemctl.unit("kalvero-backup.timer").empty() && systemctl.unit("kalvero-backup.service").empty());
  }

  // "Sicherungen monatlich prüfen" plans the check; "Beim Anschließen des
  // Laufwerks" without a destination on a plugged-in drive says what to do.
  void monthlyCheckAndPluggedWithoutDrive() {
    test::SystemctlStandIn systemctl;
    test::MessageBoxFake boxes;
    DlgZeitplan dlg("/usr/bin/kalvero-cli", "/tmp/kein-ordner/k.INI", boxes);
    dlg.show();
    QVERIFY(!dlg.form()->checkPlugged->isChecked() && !dlg.form()->checkVerify->isChecked());
    dlg.form()->checkVerify->click();
    dlg.form()->checkPlugged->click();
    dlg.form()->btnOk->click();
    QVERIFY(dlg.isVisible());
    QCOMPARE(int(boxes.boxes.size()), 1);
    QVERIFY(boxes.lastText().rfind("Kein aktives Ziel liegt auf einem angeschlossenen Laufwerk.", 0) == 0);
    dlg.form()->checkPlugged->click();
    dlg.form()->btnOk->click();
    QCOMPARE(dlg.result(), int(QDialog::Accepted));
    QVERIFY(systemctl.unit("kalvero-verify.service").find("\"/usr/bin/kalvero-cli\" --ini \"/tmp/kein-ordner/k.INI\" verify --notify\n") !=
            std::string::npos);
    QVERIFY(systemctl.calls().contains("--user enable --now kalvero-verify.timer"));
    DlgZeitplan again("/usr/bin/kalvero-cli", "/tmp/kein-ordner/k.INI", boxes);
    QVERIFY(again.form()->checkVerify->isChecked());
  }

  void failureIsShownAndTheDialogStaysOpen() {
    test::SystemctlStandIn systemctl(1);
    test::MessageBoxFake boxes;
    DlgZeitplan dlg("/usr/bin/kalvero-cli", "/tmp/k.INI", boxes);
    dlg.show();
    dlg.form()->radioDaily->click();
    dlg.form()->timeDaily->setTime(QTime(6, 5));
    dlg.form()->btnOk->click();
    QVERIFY(dlg.isVisible());
    QCOMPARE(int(boxes.boxes.size()), 1);
    QCOMPARE(boxes.boxes[0].kind, 1);
    // German first; systemd's own words follow on a line of their own.
    QVERIFY(boxes.lastText().rfind("'systemctl --user ", 0) == 0);
    QVERIFY(boxes.lastText().find("Benutzerdienst?\nMeldung von systemd: ") != std::string::npos);
    QVERIFY(dlg.form()->radioDaily->isChecked());
    // No half plan is left behind.
    QVERIFY(systemctl.unit("kalvero-backup.timer").empty() && systemctl.unit("kalvero-backup.service").empty());
  }

  void nextRunComesFromTheTimerList() {
    QCOMPARE(DlgZeitplan::nextRunOf(test::SystemctlStandIn::kListTimers), QString("Wed 2026-12-09 20:15:00 UTC"));
    QCOMPARE(DlgZeitplan::nextRunOf("NEXT LEFT LAST PASSED UNIT ACTIVATES\n-    -    -    -      x    y\n"), QString());
    QCOMPARE(DlgZeitplan::nextRunOf(""), QString());
    QVERIFY(QFileInfo(QString::fromStdString(DlgZeitplan::defaultCliPath())).isAbsolute());
  }

  void buttonBesideParameterIsDisabledDuringARun() {
    QTemporaryDir dir;
    test::StandIns standIns;
    Application app(test::argsFor(test::makeBackupSetup(dir)));
    test::MessageBoxFake box;
    MainSheet window(app, box);
    window.show();
    QPushButton* schedule = window.scheduleButton();
    QCOMPARE(schedule->text(), QString("Zeitp&lan ..."));
    QCOMPARE(schedule->parentWidget(), window.parameterButton()->parentWidget());
    QVERIFY(schedule->isEnabled());
    window.pageSichern()->startBackup();
    QVERIFY(!schedule->isEnabled());
    QTRY_VERIFY_WITH_TIMEOUT(window.pageSichern()->isIdle() && schedule->isEnabled(), 20000);
  }
};

QTEST_MAIN(DlgZeitplanTest)
#include "DlgZeitplanTest.moc"
