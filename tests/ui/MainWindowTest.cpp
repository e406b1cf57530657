// The main window: pages, keys, log routing, closing during a run, batch
// mode to its end and cancelled. With KALVERO_SCREENSHOT_DIR set it also
// saves pictures of every page (scripts/screenshots.sh).
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QHeaderView>
#include <QTabWidget>
#include <QTableView>
#include <QTest>

#include "MainTestSupport.h"
#include "ui/BatchWarning.h"
#include "ui/MainSheet.h"
#include "ui/PageProtokoll.h"
#include "ui/PageRuecksichern.h"
#include "ui/PageSichern.h"

using namespace kalvero;
using namespace kalvero::test;

class MainWindowTest : public QObject {
  Q_OBJECT
 private slots:
  void pagesCaptionAndParameterButton();
  void enterNeverClosesEscapeDoes();
  void logLinesReachTheLogPageBeforeItWasOpened();
  void closingDuringARunCancelsThenCloses();
  void batchRunsToItsEndAndCloses();
  void batchCancelledNeverShutsDown();
  void incompleteEntriesAreNamedOnce();
  void fitsALaptopScreen();
  void keyboardAloneStartsABackup();
  void screenshots();
  void closingAsksBeforeDroppingChanges();
  void closingAsksAboutTheRestorePageToo();
  void anUnusedAltLetterTypesNothing();

 private:
  void screenshotsOfFirstStartAndMissingSource(const QString& out);
};

void MainWindowTest::pagesCaptionAndParameterButton() {
  QTemporaryDir dir;
  Application app(argsFor(makeBackupSetup(dir)));
  MessageBoxFake box;
  MainSheet window(app, box);
  QCOMPARE(window.windowTitle(), QString("Kalvero"));
  QVERIFY(!window.windowIcon().isNull());
  QStringList tabs;
  for (int i = 0; i < window.tabs()->count(); ++i) tabs << window.tabs()->tabText(i);
  QCOMPARE(tabs, QStringList({"Sichern", QString::fromUtf8("Rücksichern"), "Information", "Protokoll"}));
  QCOMPARE(window.tabs()->currentIndex(), 0);
  QCOMPARE(window.parameterButton()->text(), QString("&Parameter ..."));
  QVERIFY(window.parameterButton()->isEnabled());
  // Every control is reachable and named for a screen reader.
  for (QWidget* w : window.pageSichern()->findChildren<QWidget*>()) {
    if (!(w->focusPolicy() & Qt::TabFocus) || !w->isVisibleTo(&window)) continue;
    QString name = w->accessibleName();
    if (auto* b = qobject_cast<QAbstractButton*>(w); b && name.isEmpty()) name = b->text();
    if (name.isEmpty())
      for (QLabel* l : window.findChildren<QLabel*>())
        if (l->buddy() == w) name = l->text();
    if (w->inherits("QScrollBar") || w->objectName().startsWith("qt_")) continue;
    QVERIFY2(!name.isEmpty(), qPrintable(w->objectName()));
  }
}

void MainWindowTest::enterNeverClosesEscapeDoes() {
  QTemporaryDir dir;
  StandIns standIns;
  Application app(argsFor(makeBackupSetup(dir)));
  MessageBoxFake box;
  MainSheet window(app, box);
  window.show();
  QVERIFY(QTest::qWaitForWindowExposed(&window));
  for (const char* name : {"btnStart", "listJobs", "editProtokolldatei", "chkArchivbit"}) {
    QWidget* w = window.pageSichern()->findChild<QWidget*>(name);
    w->setFocus();
    QTest::keyClick(w, Qt::Key_Return);
    QTest::keyClick(w, Qt::Key_Enter);
  }
  QTest::keyClick(&window, Qt::Key_Return);
  QVERIFY(window.isVisible());
  QVERIFY(window.pageSichern()->isIdle());
  QVERIFY(!QFile::exists(dir.path() + "/Ziel/a.txt"));
  QTest::keyClick(window.pageSichern()->findChild<QWidget*>("listJobs"), Qt::Key_Escape);
  QVERIFY(!window.isVisible());
}

void MainWindowTest::logLinesReachTheLogPageBeforeItWasOpened() {
  QTemporaryDir dir;
  StandIns standIns;
  Application app(argsFor(makeBackupSetup(dir)));
  MessageBoxFake box;
  MainSheet window(app, box);
  window.show();
  window.pageSichern()->startBackup();
  QVERIFY(!window.parameterButton()->isEnabled());
  QTRY_VERIFY_WITH_TIMEOUT(window.pageSichern()->isIdle() && window.parameterButton()->isEnabled(), 20000);
  QCOMPARE(window.tabs()->currentIndex(), 0);
  PageProtokoll* log = window.pageProtokoll();
  QVERIFY(log->rowCount() >= 1);
  QVERIFY(log->rowText(0).contains("**** Quellverzeichnis"));
  window.tabs()->setCurrentIndex(3);
  QVERIFY(log->isVisible());
  QVERIFY(log->rowCount() >= 1);
  // A clean run reads in the plain colour; one that left a pair out in red.
  QVERIFY(!log->alarmShown());
  const std::string missing = (dir.path() + "/fehlt").toStdString();
  window.pageSichern()->addPair(DirPair{1, 1, missing, (dir.path() + "/x").toStdString(), {}});
  window.pageSichern()->startBackup();
  QTRY_VERIFY_WITH_TIMEOUT(window.pageSichern()->isIdle() && window.parameterButton()->isEnabled(), 20000);
  QVERIFY(log->alarmShown());
}

void MainWindowTest::closingDuringARunCancelsThenCloses() {
  QTemporaryDir dir;
  StandIns standIns;
  const QString ini = makeBackupSetup(dir);
  for (int i = 0; i < 300; ++i) writeText(dir.path() + QString("/Quelle/viele/d%1.txt").arg(i), QByteArray(20000, 'v'));
  Application app(argsFor(ini));
  MessageBoxFake box;
  MainSheet window(app, box);
  window.show();
  window.pageSichern()->startBackup();
  // Asked first; "Nein" leaves the run going.
  box.answers = {MB_RESULT_NO};
  window.close();
  QCOMPARE(box.boxes.back().kind, 5);
  QCOMPARE(QString::fromStdString(box.boxes.back().text),
           QString::fromUtf8("Die Sicherung läuft noch. Abbrechen und Kalvero beenden?"));
  QVERIFY(window.isVisible() && !window.closePending() && !window.pageSichern()->isIdle());
  window.close();  // "Ja"
  QVERIFY(window.closePending() || !window.isVisible());
  QTRY_VERIFY_WITH_TIMEOUT(!window.isVisible(), 30000);
  QVERIFY(window.pageSichern()->isIdle());
  // Cancelled before the end: not every file was copied, and no shutdown was asked for.
  QVERIFY(QDir(dir.path() + "/Ziel/viele").entryList(QDir::Files).size() < 300);
  QCOMPARE(standIns.powerRequests, 0);
}

void MainWindowTest::batchRunsToItsEndAndCloses() {
  QTemporaryDir dir;
  StandIns standIns;
  BatchWarning::setCountdownForTests(100);
  Application app(argsFor(makeBackupSetup(dir, "Close=1"), true));
  MessageBoxFake box;
  MainSheet window(app, box);
  window.show();
  QTRY_VERIFY_WITH_TIMEOUT(window.findChild<BatchWarning*>() || !window.pageSichern()->isIdle() ||
                               !window.isVisible(), 5000);
  QTRY_VERIFY_WITH_TIMEOUT(!window.isVisible(), 30000);
  BatchWarning::setCountdownForTests(0);
  QVERIFY(QFile::exists(dir.path() + "/Ziel/a.txt"));
  QVERIFY(QFile::exists(dir.path() + "/sichern.log"));
  QCOMPARE(standIns.sounds, 1);
  QCOMPARE(standIns.powerRequests, 0);  // "Exit" is off
  QCOMPARE(window.pageSichern()->pageBatchMode(), 1);
  // Nobody watched: the desktop is told, as by "kalvero-cli backup --notify".
  QCOMPARE(standIns.notifications.size(), size_t(1));
  QCOMPARE(standIns.notifications[0].summary, std::string("Sicherung beendet"));
}

void MainWindowTest::batchCancelledNeverShutsDown() {
  QTemporaryDir dir;
  StandIns standIns;
  BatchWarning::setCountdownForTests(60000);
  Application app(argsFor(makeBackupSetup(dir, "Exit=1"), true));
  MessageBoxFake box;
  MainSheet window(app, box);
  window.show();
  BatchWarning* warning = nullptr;
  QTRY_VERIFY_WITH_TIMEOUT((warning = window.findChild<BatchWarning*>()) != nullptr, 5000);
  QCOMPARE(warning->windowTitle(), QString("Warnung Batchmodus"));
  auto* cancel = warning->findChild<QPushButton*>("btnCancelBatch");
  QCOMPARE(cancel->text(), QString("&Batchmodus abbrechen"));
  QVERIFY(warning->findChild<QLabel*>("lblWarning")->text().contains("Der Batchmodus startet in 10 Sekunden !"));
  cancel->click();
  BatchWarning::setCountdownForTests(0);
  QTRY_VERIFY(window.pageSichern()->pageBatchMode() == 0);
  QTest::qWait(50);
  QVERIFY(window.pageSichern()->isIdle());
  QVERIFY(!QFile::exists(dir.path() + "/Ziel"));

  // A backup started by hand afterwards with "Exit" on does not shut down.
  QVERIFY(window.pageSichern()->findChild<QCheckBox*>("chkExit")->isChecked());
  window.pageSichern()->startBackup();
  QTRY_VERIFY_WITH_TIMEOUT(window.pageSichern()->isIdle(), 20000);
  QTest::qWait(50);
  QVERIFY(QFile::exists(dir.path() + "/Ziel/a.txt"));
  QCOMPARE(standIns.powerRequests, 0);
  QVERIFY(standIns.notifications.empty());
  QVERIFY(window.isVisible());
}

void MainWindowTest::incompleteEntriesAreNamedOnce() {
  QTemporaryDir dir;
  const QString ini = dir.path() + "/kaputt.INI";
  writeText(ini, "[SichQZ]\nVersion=2\nAnzahl=3\nVerz0=1|1|/q|/z\nVerz1=1|1||\nVerz2=1|0|/q2|/z2\n");
  Application app(argsFor(ini));
  MessageBoxFake box;
  MainSheet window(app, box);
  window.show();
  QMessageBox* warning = nullptr;
  QTRY_VERIFY((warning = window.findChild<QMessageBox*>("loadWarnings")) != nullptr);
  QVERIFY(warning->text().contains("Verz1"));
  QCOMPARE(window.pageSichern()->jobList().size(), size_t(2));
  QCOMPARE(window.findChildren<QMessageBox*>().size(), 1);
}

void MainWindowTest::fitsALaptopScreen() {
  QTemporaryDir dir;
  Application app(argsFor(makeBackupSetup(dir)));
  MessageBoxFake box;
  MainSheet window(app, box);
  // 1366 x 768 less the window frame and the panels: everything fits without scrolling.
  const QSize first = window.firstSize();
  QVERIFY2(first.width() <= 1340 && first.height() <= 700, qPrintable(QString("%1 x %2").arg(first.width()).arg(first.height())));
  // Smaller still (1280 x 720, or 150 %): the pages scroll instead.
  QVERIFY(window.minimumSizeHint().width() <= 1254 && window.minimumSizeHint().height() <= 650);
  window.resize(first);
  window.show();
  QVERIFY(QTest::qWaitForWindowExposed(&window));
  PageSichern* page = window.pageSichern();
  for (const char* name : {"btnStart", "btnClose", "lblSkipped", "barFile"}) {
    auto* w = page->findChild<QWidget*>(name);
    QVERIFY2(window.rect().contains(QRect(w->mapTo(&window, QPoint()), w->size())),
             qPrintable(QString("%1 at %2,%3 in a page of %4 x %5")
                            .arg(name)
                            .arg(w->mapTo(&window, QPoint()).x())
                            .arg(w->mapTo(&window, QPoint()).y())
                            .arg(page->minimumSizeHint().width())
                            .arg(page->minimumSizeHint().height())));
  }
  auto* list = page->findChild<QTableView*>("listJobs");
  QVERIFY(list->viewport()->height() >= 6 * list->verticalHeader()->defaultSectionSize());
  // 1280 x 720, and 1366 x 768 at 150 % (910 x 512 in the window's own pixels), less frame and panels:
  // the options scroll, the run buttons and the job list's buttons stay in view.
  for (const QSize room : {QSize(1254, 652), QSize(884, 444)}) {
    window.resize(room);
    QTest::qWait(20);
    QVERIFY2(window.width() <= room.width() && window.height() <= room.height(),
             qPrintable(QString("%1 x %2").arg(window.width()).arg(window.height())));
    for (const char* name : {"btnStart", "btnClose", "btnNeuAendern", "btnLoeschen"}) {
      auto* w = page->findChild<QWidget*>(name);
      QVERIFY2(window.rect().contains(QRect(w->mapTo(&window, QPoint()), w->size())), name);
    }
  }
}

void MainWindowTest::keyboardAloneStartsABackup() {
  QTemporaryDir dir;
  StandIns standIns;
  Application app(argsFor(makeBackupSetup(dir)));
  MessageBoxFake box;
  MainSheet window(app, box);
  window.show();
  QApplication::setActiveWindow(&window);
  QVERIFY(QTest::qWaitForWindowActive(&window));
  PageSichern* page = window.pageSichern();
  QWidget* list = page->findChild<QWidget*>("listJobs");
  list->setFocus();
  // Tab leaves the job list at once and reaches "Sicherung starten".
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  QVERIFY(QApplication::focusWidget() != list);
  auto* start = page->findChild<QPushButton*>("btnStart");
  for (int i = 0; i < 60 && QApplication::focusWidget() != start; ++i)
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(start));
  // Every button and check box of the page has its Alt key.
  for (QAbstractButton* b : page->findChildren<QAbstractButton*>()) {
    if (b->text().size() < 4 || b->objectName() == "chkDatum") continue;  // "?", "...", the date label
    QVERIFY2(b->text().contains('&'), qPrintable(b->objectName()));
  }
  QTest::keyClick(start, Qt::Key_Space);
  QVERIFY(!page->isIdle());
  QTRY_VERIFY_WITH_TIMEOUT(page->isIdle(), 20000);
  QVERIFY(QFile::exists(dir.path() + "/Ziel/a.txt"));
}

// Escape, the close box and "Fenster schließen" all ask before changed options are dropped.
void MainWindowTest::closingAsksBeforeDroppingChanges() {
  QTemporaryDir dir;
  const QString ini = makeBackupSetup(dir);
  Application app(argsFor(ini));
  MessageBoxFake box;
  MainSheet window(app, box);
  window.show();
  QVERIFY(QTest::qWaitForWindowExposed(&window));
  auto* compare = window.pageSichern()->findChild<QCheckBox*>("chkCompare");
  compare->setChecked(!compare->isChecked());
  box.answers = {MB_RESULT_CANCEL};
  QTest::keyClick(&window, Qt::Key_Escape);
  QVERIFY(window.isVisible());
  QCOMPARE(box.boxes.size(), size_t(1));
  QCOMPARE(box.boxes[0].kind, 6);
  QVERIFY(QString::fromStdString(box.boxes[0].text).startsWith("Die Einstellungen wurden geändert"));
  box.answers = {MB_RESULT_YES};
  window.pageSichern()->findChild<QPushButton*>("btnClose")->click();
  QVERIFY(!window.isVisible());
  QVERIFY(readText(ini).contains("Compare=0"));
  // Nothing changed since: closing asks nothing.
  window.show();
  box.boxes.clear();
  window.close();
  QVERIFY(!window.isVisible());
  QVERIFY(box.boxes.empty());
  // Closed from another page ("Fenster schließen" of "Rücksichern"), the question comes all the same.
  window.show();
  compare->setChecked(!compare->isChecked());
  window.tabs()->setCurrentIndex(1);
  box.answers = {MB_RESULT_CANCEL};
  window.tabs()->currentWidget()->findChild<QPushButton*>("btnClose")->click();
  QVERIFY(window.isVisible());
  QCOMPARE(box.boxes.size(), size_t(1));
  QVERIFY(QString::fromStdString(box.boxes[0].text).startsWith("Die Einstellungen wurden geändert"));
  box.answers = {MB_RESULT_NO};
  window.close();
  QVERIFY(!window.isVisible());
}

void MainWindowTest::closingAsksAboutTheRestorePageToo() {
  QTemporaryDir dir;
  const QString ini = makeBackupSetup(dir);
  Application app(argsFor(ini));
  MessageBoxFake box;
  MainSheet window(app, box);
  window.show();
  QVERIFY(QTest::qWaitForWindowExposed(&window));
  PageRuecksichern* restore = window.pageRuecksichern();
  restore->findChild<QLineEdit*>("editPathSrc")->setText(dir.path() + "/Quelle");
  restore->findChild<QLineEdit*>("editProtokolldatei")->setText(dir.path() + "/rueck.log");
  box.answers = {MB_RESULT_CANCEL};
  QTest::keyClick(&window, Qt::Key_Escape);
  QVERIFY(window.isVisible());
  QCOMPARE(box.boxes.size(), size_t(1));
  QVERIFY(QString::fromStdString(box.boxes[0].text).startsWith("Die Einstellungen wurden geändert"));
  // Both pages changed: one question, and "Ja" saves both.
  auto* compare = window.pageSichern()->findChild<QCheckBox*>("chkCompare");
  compare->setChecked(!compare->isChecked());
  box.boxes.clear();
  box.answers = {MB_RESULT_YES};
  restore->findChild<QPushButton*>("btnClose")->click();
  QVERIFY(!window.isVisible());
  QCOMPARE(box.boxes.size(), size_t(1));
  QVERIFY(readText(ini).contains("Compare=0"));
  QVERIFY(readText(ini).contains(("PathSrc=" + dir.path() + "/Quelle").toUtf8()));
  // "Nein" drops a restore change, and the next close asks nothing.
  window.show();
  restore->findChild<QCheckBox*>("chkSubVerz")->setChecked(false);
  box.boxes.clear();
  box.answers = {MB_RESULT_NO};
  window.close();
  QVERIFY(!window.isVisible());
  QCOMPARE(box.boxes.size(), size_t(1));
  QVERIFY(readText(ini).contains("SubVerz=1"));
}

void MainWindowTest::anUnusedAltLetterTypesNothing() {
  QTemporaryDir dir;
  Application app(argsFor(makeBackupSetup(dir)));
  MessageBoxFake box;
  MainSheet window(app, box);
  window.show();
  QApplication::setActiveWindow(&window);
  QVERIFY(QTest::qWaitForWindowActive(&window));
  auto* log = window.pageSichern()->findChild<QLineEdit*>("editProtokolldatei");
  log->setFocus();
  log->setCursorPosition(0);
  const QString before = log->text();
  QTest::keyClick(log, Qt::Key_J, Qt::AltModifier);  // no control of the page has J
  QTest::keyClick(log, Qt::Key_X, Qt::AltModifier | Qt::ShiftModifier);
  QCOMPARE(log->text(), before);
  QTest::keyClick(log, Qt::Key_A);  // plain letters still type
  QCOMPARE(log->text(), "a" + before);
  // A letter that belongs to a control reaches it.
  auto* tooltip = window.pageSichern()->findChild<QCheckBox*>("chkTooltip");
  const bool wasChecked = tooltip->isChecked();
  QTest::keyClick(log, Qt::Key_Q, Qt::AltModifier);
  QTRY_COMPARE(tooltip->isChecked(), !wasChecked);  // a mnemonic clicks after a short delay
  box.answer = MB_RESULT_NO;  // closing drops the changes
}

void MainWindowTest::screenshots() {
  const QString out = qEnvironmentVariable("KALVERO_SCREENSHOT_DIR");
  if (out.isEmpty()) QSKIP("KALVERO_SCREENSHOT_DIR not set");
  const QString example = qEnvironmentVariable("KALVERO_SOURCE_DIR") + "/examples/kalvero-example.INI";
  QTemporaryDir dir;
  const QString ini = dir.path() + "/kalvero-example.INI";
  QVERIFY(QFile::copy(example, ini));
  StandIns standIns;
  Application app(argsFor(ini));
  MessageBoxFake box;
  MainSheet window(app, box);
  window.show();
  QVERIFY(QTest::qWaitForWindowExposed(&window));
  QTest::qWait(100);
  const char* names[] = {"sichern", "ruecksichern", "information", "protokoll"};
  for (int i = 0; i < 4; ++i) {
    window.tabs()->setCurrentIndex(i);
    QTest::qWait(50);
    QVERIFY(window.grab().save(out + "/" + names[i] + ".png"));
  }
  // During a run: a progress state as a long pair shows it.
  window.tabs()->setCurrentIndex(0);
  PageSichern* page = window.pageSichern();
  ProgressInfo info;
  info.filesInPair = 1240;
  info.filesDone = 517;
  // Long paths keep their file name visible.
  info.currentSource =
      "/home/anna/Dokumente/Verein/Schriftverkehr/2024/Korrespondenz mit Behörden und Ämtern/Finanzamt/"
      "Anlagen zur Steuererklärung/Belege/Jahresübersicht März.odt";
  info.currentDestination =
      "/media/anna/SICHERUNG/Kalvero/Dokumente/Verein/Schriftverkehr/2024/Korrespondenz mit Behörden und Ämtern/"
      "Finanzamt/Anlagen zur Steuererklärung/Belege/Jahresübersicht März.odt";
  info.pairBytes = 734003200;
  info.pairBytesDone = 308281344;
  info.fileSize = 48234496;
  info.fileDone = 20971520;
  info.pairErrors = 0;
  info.runErrors = 2;
  info.runSkipped = 31;
  info.remainingTimeText = "Geschätzte Restzeit (Std:Min:Sek): 00:02:14";
  page->showProgress(NOTIFY_FILES_FOUND, info);
  page->showProgress(NOTIFY_COPYING, info);
  page->showProgress(NOTIFY_FILE_START, info);
  page->showProgress(NOTIFY_FILE_STEP, info);
  page->showProgress(NOTIFY_REMAINING_TIME, info);
  page->findChild<QPushButton*>("btnStart")->setEnabled(false);
  page->findChild<QPushButton*>("btnSave")->setEnabled(false);
  page->findChild<QPushButton*>("btnClose")->setText("Abbrec&hen");
  QTest::qWait(50);
  QVERIFY(window.grab().save(out + "/sichern-lauf.png"));
  BatchWarning warning(&window);
  warning.show();
  QTest::qWait(50);
  QVERIFY(warning.grab().save(out + "/batch-warnung.png"));
  screenshotsOfFirstStartAndMissingSource(out);
}

// The first start on a fresh settings file, and a real run whose second pair's source was mistyped.
void MainWindowTest::screenshotsOfFirstStartAndMissingSource(const QString& out) {
  QTemporaryDir dir;
  qputenv("XDG_DATA_HOME", (dir.path() + "/daten").toUtf8());
  MessageBoxFake box;
  {
    Application app(argsFor(dir.path() + "/neu.INI"));
    MainSheet window(app, box);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTest::qWait(100);
    QVERIFY(window.grab().save(out + "/erster-start.png"));
  }
  qunsetenv("XDG_DATA_HOME");
  StandIns standIns;
  Application app(argsFor(makeBackupSetup(dir)));
  MainSheet window(app, box);
  window.show();
  QVERIFY(QTest::qWaitForWindowExposed(&window));
  const std::string ziel = (dir.path() + "/Ziel-Dokumente").toStdString();
  window.pageSichern()->addPair(DirPair{1, 1, "/home/anna/Dokumnte", ziel, {}});
  window.pageSichern()->startBackup();
  QTRY_VERIFY_WITH_TIMEOUT(window.pageSichern()->isIdle(), 20000);
  QTest::qWait(100);
  QVERIFY(window.grab().save(out + "/sichern-quelle-fehlt.png"));
  box.answer = MB_RESULT_NO;
}

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
