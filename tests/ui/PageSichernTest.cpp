// The backup page: job list, options, save and start checks, and the
// progress display driven by a real backup.
#include <QApplication>
#include <QCheckBox>
#include <QMenu>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QRegularExpression>
#include <QPushButton>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

#include "MainTestSupport.h"
#include "backup/BackupRun.h"
#include "backup/BackupStart.h"
#include "run/Estimator.h"
#include "support/RecordingReporter.h"
#include "ui/ElidedText.h"
#include "ui/PageSichern.h"

using namespace kalvero;
using namespace kalvero::test;

namespace {

template <typename T>
T* child(QWidget* w, const char* name) {
  T* c = w->findChild<T*>(QString::fromLatin1(name));
  if (!c) qFatal("no control %s", name);
  return c;
}

QString labelText(QWidget* page, const char* name) { return child<QLabel>(page, name)->text(); }
// A caption without its Alt-key mark.
QString caption(QAbstractButton* b) { return b->text().remove(QLatin1Char('&')); }

// A run started as the page starts it, with the page's job list and options.
BackupStart StartPageBackup(const QString& ini, PageSichern& page, Application& app, std::atomic<int>& cancel,
                            RunReporter& reporter) {
  BackupStartInput input;
  input.settingsPath = ini.toStdString();
  input.jobs = page.jobList();
  input.options = page.options();
  input.dateLabel = "Datum";
  input.listFiles = app.listFileNames();
  input.cancel = &cancel;
  input.reporter = &reporter;
  return StartBackup(input);
}

}  // namespace

class PageSichernTest : public QObject {
  Q_OBJECT
 private slots:
  void freshSettingsRefuseSaveAndStart();
  void imageIndexAndColumns();
  void deleteAsksAndKeepsTheListConsistent();
  void popupMenuChangesRows();
  void compressionFieldDisabledButKept();
  void dateLabelSwitchesDatumOff();
  void tooltipsFollowTheCheckBoxAtOnce();
  void showButtonsOpenExistingFilesOnly();
  void fileDialogAcceptsANewName();
  void manyLongPairsWithUmlauts();
  void realBackupDrivesTheProgressDisplay();
  void startedTwiceRunsOnce();
  void progressAgreesWithItselfForALargeAndManySmallFiles();
  void cancelledRunSaysSo();
  void typedPathsAndForbiddenPatternsAreCheckedWhereEntered();
  void whatWasNotBackedUpIsSaidOnThePage();
  void pairBarNeverMovesBackwards();
  void fileCompressedAheadIsShownWhileTheRunWaits();
};

void PageSichernTest::freshSettingsRefuseSaveAndStart() {
  QTemporaryDir dir;
  const QString ini = dir.path() + "/neu.INI";
  // A fresh settings file logs into the data directory, made at the first start.
  qputenv("XDG_DATA_HOME", (dir.path() + "/daten").toUtf8());
  Application app(argsFor(ini));
  MessageBoxFake box;
  PageSichern page(app, box);
  QCOMPARE(page.jobList().size(), size_t(0));
  QCOMPARE(child<QLineEdit>(&page, "editProtokolldatei")->text(), dir.path() + "/daten/kalvero/sichern.log");
  // The empty list says what to do first; no backup has run yet.
  QVERIFY(child<QLabel>(&page, "lblEmptyJobList")->isVisibleTo(&page));
  QCOMPARE(labelText(&page, "lblLastBackup"), QString());
  // Without an active pair nothing starts, and the box says why.
  page.startBackup();
  QVERIFY(page.isIdle());
  QCOMPARE(box.boxes.size(), size_t(1));
  QCOMPARE(QString::fromStdString(box.boxes[0].text), QString::fromUtf8("Die Auftragsliste enthält kein aktives Paar."));
  QVERIFY(QFileInfo(dir.path() + "/daten/kalvero").isDir());
  box.boxes.clear();

  child<QLineEdit>(&page, "editProtokolldatei")->clear();
  QVERIFY(!page.saveSettings());
  page.startBackup();
  QVERIFY(page.isIdle());
  QCOMPARE(box.boxes.size(), size_t(2));
  for (const auto& [kind, text] : box.boxes) {
    QCOMPARE(kind, 2);
    QCOMPARE(QString::fromStdString(text), QString::fromUtf8("Verzeichnis der Protokolldatei: ''\nnicht vorhanden."));
  }
  QVERIFY(!QFile::exists(ini));

  // A bare name has no directory part either; a name in an existing directory is taken.
  child<QLineEdit>(&page, "editProtokolldatei")->setText("bare.log");
  QVERIFY(!page.saveSettings());
  child<QLineEdit>(&page, "editProtokolldatei")->setText(dir.path() + "/fehlt/sichern.log");
  QVERIFY(!page.saveSettings());
  child<QLineEdit>(&page, "editProtokolldatei")->setText(dir.path() + "/sichern.log");
  QVERIFY(page.saveSettings());
  QVERIFY(readText(ini).contains("Protokolldatei=" + dir.path().toUtf8() + "/sichern.log"));
  qunsetenv("XDG_DATA_HOME");
}

void PageSichernTest::imageIndexAndColumns() {
  QTemporaryDir dir;
  Application app(argsFor(dir.path() + "/x.INI"));
  MessageBoxFake box;
  PageSichern page(app, box);
  DirPair full;
  full.active = 1;
  full.withSubdirs = 1;
  full.source = "/q";
  full.destination = "/z";
  full.excluded = {{1, "/q/a"}, {0, "/q/b"}};
  DirPair empty;
  empty.active = 0;
  empty.withSubdirs = 0;
  empty.source = "/q2";
  empty.destination = "/z2";
  page.addPair(full);
  page.addPair(empty);
  auto* list = child<QTableWidget>(&page, "listJobs");
  QCOMPARE(list->columnCount(), 6);
  QStringList headers;
  for (int c = 0; c < 6; ++c) headers << list->horizontalHeaderItem(c)->text();
  QCOMPARE(headers, QStringList({"KZ", "Aktiv", "Unterverzeichnis", "Negativliste", "Quellverzeichnis",
                                 "Zielverzeichnis"}));
  QCOMPARE(list->item(0, 0)->data(Qt::UserRole).toInt(), 7);
  QVERIFY(!list->item(0, 0)->icon().isNull());
  for (int c = 1; c <= 3; ++c) QCOMPARE(list->item(0, c)->text(), QString("Ja"));
  QCOMPARE(list->item(1, 0)->data(Qt::UserRole).toInt(), 0);
  for (int c = 1; c <= 3; ++c) QCOMPARE(list->item(1, c)->text(), QString("Nein"));
  QCOMPARE(list->item(1, 4)->text(), QString("/q2"));

  // Replacing a pair rewrites every cell and its image.
  empty.active = 1;
  empty.excluded = {{1, "/q2/x"}};
  page.replacePair(1, empty);
  QCOMPARE(list->item(1, 0)->data(Qt::UserRole).toInt(), 5);
  QCOMPARE(list->item(1, 3)->text(), QString("Ja"));
}

void PageSichernTest::deleteAsksAndKeepsTheListConsistent() {
  QTemporaryDir dir;
  Application app(argsFor(dir.path() + "/x.INI"));
  MessageBoxFake box;
  PageSichern page(app, box);
  DirPair pair;
  pair.source = "/a";
  pair.destination = "/b";
  page.addPair(pair);
  auto* list = child<QTableWidget>(&page, "listJobs");
  auto* del = child<QPushButton>(&page, "btnLoeschen");

  list->clearSelection();
  del->click();
  QCOMPARE(box.boxes.size(), size_t(1));
  QCOMPARE(box.boxes[0].kind, 2);
  QCOMPARE(QString::fromStdString(box.boxes[0].text), QString::fromUtf8("Es sind keine Einträge markiert !"));
  QCOMPARE(page.jobList().size(), size_t(1));

  list->selectRow(0);
  box.answers = {MB_RESULT_NO};
  del->click();
  QCOMPARE(box.boxes.back().kind, 5);
  QCOMPARE(QString::fromStdString(box.boxes.back().text),
           QString::fromUtf8("Soll der markierte Eintrag aus der Liste entfernt werden ?"));
  QCOMPARE(page.jobList().size(), size_t(1));

  QSignalSpy selection(&page, &PageSichern::selectionChanged);
  del->click();  // answered Yes
  QCOMPARE(page.jobList().size(), size_t(0));
  QCOMPARE(list->rowCount(), 0);
  QCOMPARE(page.currentRow(), -1);
  QVERIFY(!selection.isEmpty());
  QCOMPARE(selection.last().at(0).toInt(), -1);
}

void PageSichernTest::popupMenuChangesRows() {
  QTemporaryDir dir;
  Application app(argsFor(dir.path() + "/x.INI"));
  MessageBoxFake box;
  PageSichern page(app, box);
  page.show();
  DirPair pair;
  pair.source = "/a";
  pair.destination = "/b";
  page.addPair(pair);
  page.addPair(pair);
  auto* list = child<QTableWidget>(&page, "listJobs");
  // Chooses the menu item with the given text once the menu is open.
  auto choose = [&](const char* item) {
    QTimer::singleShot(100, [item] {
      auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
      if (!menu) qFatal("no popup menu");
      QStringList texts;
      for (QAction* a : menu->actions()) texts << (a->isSeparator() ? QString("-") : a->text());
      QCOMPARE(texts.size(), 10);
      QCOMPARE(texts.count("-"), 3);
      for (QAction* a : menu->actions())
        if (a->text() == QString::fromUtf8(item)) a->trigger();
      menu->close();
    });
    emit list->customContextMenuRequested(QPoint(5, 5));
  };
  choose("Alle Listeneinträge auf Aktiv=Nein setzen");
  QCOMPARE(page.jobList()[0].active + page.jobList()[1].active, 0);
  QCOMPARE(list->item(1, 1)->text(), QString("Nein"));
  list->selectRow(1);
  choose("Den ausgewählten Eintrag auf Unterverzeichnis=Nein setzen");
  QCOMPARE(page.jobList()[1].withSubdirs, 0);
  QCOMPARE(page.jobList()[0].withSubdirs, 1);
  QCOMPARE(list->item(1, 0)->data(Qt::UserRole).toInt(), 0);
  choose("Den ausgewählten Eintrag löschen (ohne Nachfrage)");
  QCOMPARE(page.jobList().size(), size_t(1));
  QVERIFY(box.boxes.empty());
  list->clearSelection();
  choose("Den ausgewählten Eintrag auf Aktiv=Ja setzen");  // no selection: nothing happens
  QCOMPARE(page.jobList()[0].active, 0);
}

void PageSichernTest::compressionFieldDisabledButKept() {
  QTemporaryDir dir;
  const QString ini = makeBackupSetup(dir, "Compress=1\nNotCompress=zip,jpg");
  Application app(argsFor(ini));
  MessageBoxFake box;
  PageSichern page(app, box);
  auto* compress = child<QCheckBox>(&page, "chkCompress");
  auto* field = child<QLineEdit>(&page, "editNotCompress");
  QVERIFY(compress->isChecked());
  QVERIFY(field->isEnabled());
  compress->click();
  QVERIFY(!field->isEnabled());
  QCOMPARE(field->text(), QString("zip,jpg"));
  QVERIFY(page.saveSettings());
  const QByteArray saved = readText(ini);
  QVERIFY(saved.contains("NotCompress=zip,jpg"));
  QVERIFY(saved.contains("Compress=0"));
  // The other enabling rules.
  auto* exit = child<QCheckBox>(&page, "chkExit");
  QCOMPARE(child<QCheckBox>(&page, "chkReboot")->isEnabled(), exit->isChecked());
  exit->click();
  QCOMPARE(child<QCheckBox>(&page, "chkReboot")->isEnabled(), exit->isChecked());
}

void PageSichernTest::dateLabelSwitchesDatumOff() {
  QTemporaryDir dir;
  const QString ini = makeBackupSetup(dir, "Datum=1");
  {
    Application app(argsFor(ini));
    MessageBoxFake box;
    PageSichern page(app, box);
    auto* datum = child<QCheckBox>(&page, "chkDatum");
    QVERIFY(!datum->isChecked());
    QVERIFY(!datum->isEnabled());
    QCOMPARE(datum->text(),
             QString::fromUtf8("Nur Dateien mit Änderungsdatum sichern.\nZur Zeit kein Änderungsdatum angegeben."));
  }
  // A stored lower bound makes the box usable again.
  QByteArray text = readText(ini);
  text += "[Datum]\nTyp=0\nDatumVon=38000\n";
  writeText(ini, text);
  Application app(argsFor(ini));
  MessageBoxFake box;
  PageSichern page(app, box);
  auto* datum = child<QCheckBox>(&page, "chkDatum");
  QVERIFY(datum->isEnabled());
  QVERIFY(datum->isChecked());
  QVERIFY(datum->text().startsWith(QString::fromUtf8("Nur Dateien mit Änderungsdatum >= '")));
}

void PageSichernTest::tooltipsFollowTheCheckBoxAtOnce() {
  QTemporaryDir dir;
  Application app(argsFor(makeBackupSetup(dir, "Tooltip=1")));
  MessageBoxFake box;
  PageSichern page(app, box);
  auto* archivbit = child<QCheckBox>(&page, "chkArchivbit");
  QVERIFY(archivbit->toolTip().contains("Wenn angekreuzt, so werden nur Dateien mit Archivbit kopiert"));
  child<QCheckBox>(&page, "chkTooltip")->click();
  QVERIFY(archivbit->toolTip().isEmpty());
  QVERIFY(child<QPushButton>(&page, "btnStart")->toolTip().isEmpty());
  child<QCheckBox>(&page, "chkTooltip")->click();
  QVERIFY(child<QPushButton>(&page, "btnStart")->toolTip().contains("Das Kopieren wird gestartet"));
}

void PageSichernTest::showButtonsOpenExistingFilesOnly() {
  QTemporaryDir dir;
  StandIns standIns;
  Application app(argsFor(makeBackupSetup(dir)));
  MessageBoxFake box;
  PageSichern page(app, box);
  auto* show = child<QPushButton>(&page, "btnShowProtokolldatei");
  QVERIFY(!show->isEnabled());
  writeText(dir.path() + "/sichern.log", "x");
  auto* edit = child<QLineEdit>(&page, "editProtokolldatei");
  emit edit->editingFinished();
  QVERIFY(show->isEnabled());
  show->click();
  QCOMPARE(standIns.opened, QStringList({dir.path() + "/sichern.log"}));
  // No program could open it: the user is told, not only stderr.
  setDesktopOpenerForTests({});
  setDesktopProgramForTests("false");
  show->click();
  QTRY_VERIFY(!box.boxes.empty());
  QVERIFY(QString::fromStdString(box.boxes.back().text).startsWith(QString::fromUtf8("Für '") + dir.path()));
  setDesktopProgramForTests({});
  // A directory is not a file to show.
  edit->setText(dir.path());
  emit edit->editingFinished();
  QVERIFY(!show->isEnabled());
}

void PageSichernTest::fileDialogAcceptsANewName() {
  QTemporaryDir dir;
  Application app(argsFor(makeBackupSetup(dir)));
  MessageBoxFake box;
  PageSichern page(app, box);
  page.show();
  const QString wanted = dir.path() + "/neue Prüfdatei.txt";
  bool accepted = false;
  QTimer::singleShot(300, [&] {
    auto* dialog = page.findChild<QFileDialog*>("fileDialog");
    if (!dialog) qFatal("no file dialog");
    QCOMPARE(dialog->windowTitle(), QString::fromUtf8("Prüfdatei suchen"));
    // Typed as a user types it: a name that does not exist yet.
    dialog->setDirectory(dir.path());
    auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
    if (!name) qFatal("no name field");
    name->setText(QFileInfo(wanted).fileName());
    static_cast<QDialog*>(dialog)->accept();  // QFileDialog::accept checks the name
    accepted = !dialog->isVisible();
    if (!accepted) dialog->reject();
  });
  child<QAbstractButton>(&page, "btnBrowsePrueffile")->click();
  QVERIFY(accepted);
  QCOMPARE(child<QLineEdit>(&page, "editPrueffile")->text(), wanted);
  QVERIFY(!QFile::exists(wanted));
}

void PageSichernTest::manyLongPairsWithUmlauts() {
  QTemporaryDir dir;
  Application app(argsFor(dir.path() + "/x.INI"));
  MessageBoxFake box;
  PageSichern page(app, box);
  JobList jobs;
  for (int i = 0; i < 400; ++i) {
    DirPair p;
    p.source = "/quelle/" + std::string(300, 'a') + "/Übergröße äöü " + std::to_string(i);
    p.destination = "/ziel/" + std::string(1500, 'z') + std::to_string(i);
    jobs.push_back(p);
  }
  QSignalSpy replaced(&page, &PageSichern::jobListReplaced);
  page.setJobList(jobs);
  QCOMPARE(replaced.size(), 1);
  auto* list = child<QTableWidget>(&page, "listJobs");
  QCOMPARE(list->rowCount(), 400);
  QCOMPARE(page.currentRow(), 0);
  QCOMPARE(list->item(399, 4)->text(), QString::fromStdString(jobs[399].source));
  child<QLineEdit>(&page, "editProtokolldatei")->setText(dir.path() + "/s.log");
  QVERIFY(page.saveSettings());
  Application again(argsFor(dir.path() + "/x.INI"));
  PageSichern reloaded(again, box);
  QCOMPARE(reloaded.jobList().size(), size_t(400));
  QCOMPARE(reloaded.jobList()[123].source, jobs[123].source);
}

void PageSichernTest::realBackupDrivesTheProgressDisplay() {
  QTemporaryDir dir;
  const QString ini = makeBackupSetup(dir, "MitPrueffile=1\nPrueffile=" + (dir.path() + "/pruef.txt").toUtf8());
  Application app(argsFor(ini));
  app.setKeepListFiles(false);
  MessageBoxFake box;
  QWidget window;
  auto* page = new PageSichern(app, box, &window);
  window.show();

  // Record a real run, then hand its notifications to the page one by one.
  RecordingReporter recorder;
  std::atomic<int> cancel{0};
  BackupStart start = StartPageBackup(ini, *page, app, cancel, recorder);
  QVERIFY(start.ok());
  start.run->run();
  QVERIFY(QFile::exists(dir.path() + "/Ziel/a.txt"));

  bool sawCopying = false, sawFilesFound = false;
  for (const auto& [code, info] : recorder.events) {
    page->showProgress(code, info);
    if (code == NOTIFY_FILES_FOUND) {
      sawFilesFound = true;
      QCOMPARE(labelText(page, "lblSource"), QString("Anzahl der zu kopierenden Dateien = 3"));
      QCOMPARE(child<QProgressBar>(page, "barPair")->maximum(), int(info.pairBytes));
      QCOMPARE(labelText(page, "lblFileCount"), QString("0 von 3 Dateien"));
    }
    if (code == NOTIFY_COPYING) {
      sawCopying = true;
      QCOMPARE(labelText(page, "lblAction"), QString("Kopiere Datei ..."));
      QCOMPARE(fullText(child<QLabel>(page, "lblSource")), QString::fromStdString(info.currentSource));
      QCOMPARE(child<QProgressBar>(page, "barPair")->value(), int(info.pairBytesDone));
    }
    if (code != NOTIFY_LOG_OPENED) QCOMPARE(labelText(page, "lblPairErrors"), QString("0 Fehler"));
  }
  QVERIFY(sawFilesFound && sawCopying);
  QCOMPARE(labelText(page, "lblAction"), QString("Sichern beendet"));
  QCOMPARE(labelText(page, "lblPairPercent"), QString("100 %"));
  QCOMPARE(labelText(page, "lblFileCount"), QString("3 von 3 Dateien"));
  QCOMPARE(labelText(page, "lblSkipped"), QString("0"));
  QCOMPARE(child<QLabel>(page, "lblPairErrors")->palette().color(QPalette::WindowText), QColor(0, 128, 0));

  // Errors turn the counters red; a minimised window carries the percent in its title.
  ProgressInfo info = recorder.events.back().info;
  info.pairErrors = 1;
  info.runErrors = 2;
  info.pairBytes = 400;
  info.pairBytesDone = 168;
  window.setWindowTitle("Kalvero");
  window.setWindowState(Qt::WindowMinimized);
  page->showProgress(NOTIFY_COPYING, info);
  QCOMPARE(labelText(page, "lblRunErrors"), QString("2 Fehler"));
  QCOMPARE(child<QLabel>(page, "lblRunErrors")->palette().color(QPalette::WindowText), QColor(128, 0, 0));
  QCOMPARE(labelText(page, "lblPairPercent"), QString("42 %"));
  QCOMPARE(window.windowTitle(), QString("42 %"));
  // Sizes beyond 32 bits keep the arithmetic right; an empty pair shows 0 %.
  QCOMPARE(PageSichern::percentOf(3ull << 40, 4ull << 40), 75);
  QCOMPARE(PageSichern::percentOf(0, 0), 0);
  info.fileSize = 5ull << 30;
  info.fileDone = 1ull << 30;
  page->showProgress(NOTIFY_FILE_START, info);
  QCOMPARE(child<QProgressBar>(page, "barFile")->maximum(), 5 << 28);  // bytes, halved until they fit an int
  QCOMPARE(labelText(page, "lblFilePercent"), QString("0 %"));
  page->showProgress(NOTIFY_FILE_STEP, info);
  QCOMPARE(labelText(page, "lblFilePercent"), QString("20 %"));
  page->showProgress(999, info);  // unknown codes change nothing but the counters
  QCOMPARE(labelText(page, "lblFilePercent"), QString("20 %"));
}

void PageSichernTest::startedTwiceRunsOnce() {
  QTemporaryDir dir;
  StandIns standIns;
  Application app(argsFor(makeBackupSetup(dir)));
  MessageBoxFake box;
  QWidget window;
  auto* page = new PageSichern(app, box, &window);
  QStringList lines;
  connect(page, &PageSichern::logLine, [&](const QString& l) { lines << l; });
  page->startBackup();
  QVERIFY(!page->isIdle());
  QVERIFY(!child<QPushButton>(page, "btnStart")->isEnabled());
  QCOMPARE(caption(child<QPushButton>(page, "btnClose")), QString("Abbrechen"));
  page->startBackup();
  QTRY_VERIFY_WITH_TIMEOUT(page->isIdle(), 20000);
  QSignalSpy finished(page, &PageSichern::runFinished);
  QTRY_VERIFY_WITH_TIMEOUT(!finished.isEmpty() || child<QPushButton>(page, "btnStart")->isEnabled(), 5000);
  QCOMPARE(lines.filter("**** Quellverzeichnis").size(), 1);
  QCOMPARE(caption(child<QPushButton>(page, "btnClose")), QString::fromUtf8("Fenster schließen"));
  QCOMPARE(standIns.sounds, 1);
  QCOMPARE(standIns.powerRequests, 0);
  QVERIFY(QFile::exists(dir.path() + "/Ziel/unter/c.bin"));
  QVERIFY(QFile::exists(dir.path() + QString::fromUtf8("/Ziel/Größe ä.txt")));
  QVERIFY(readText(dir.path() + "/sichern.log").size() > 0);
}

void PageSichernTest::progressAgreesWithItselfForALargeAndManySmallFiles() {
  // One thread: every file's bytes count when the run takes it (with workers
  // the bar also counts what they copied ahead, as fileCompressedAheadIsShownWhileTheRunWaits shows).
  struct OneThread {
    OneThread() { qputenv("KALVERO_THREADS", "1"); }
    ~OneThread() { qunsetenv("KALVERO_THREADS"); }
  } oneThread;
  QTemporaryDir dir;
  const QString ini = makeBackupSetup(dir);
  writeText(dir.path() + "/Quelle/gross.bin", QByteArray(3 << 20, 'g'));  // above "MinSize": its own file bar
  for (int i = 0; i < 30; ++i) writeText(dir.path() + QString("/Quelle/klein/k%1.txt").arg(i), QByteArray(40, 'k'));
  Application app(argsFor(ini));
  app.setKeepListFiles(false);
  MessageBoxFake box;
  QWidget window;
  auto* page = new PageSichern(app, box, &window);
  RecordingReporter recorder;
  std::atomic<int> cancel{0};
  BackupStart start = StartPageBackup(ini, *page, app, cancel, recorder);
  QVERIFY(start.ok());
  start.run->run();

  auto* bar = child<QProgressBar>(page, "barPair");
  std::uint64_t finished = 0, last = 0;
  bool movedInsideTheLargeFile = false;
  for (const auto& [code, info] : recorder.events) {
    page->showProgress(code, info);
    QVERIFY(info.pairBytesDone >= last);  // never backwards
    last = info.pairBytesDone;
    // The bar and its percent say the same; the count and the bar speak of the same files.
    if (!labelText(page, "lblPairPercent").isEmpty())
      QCOMPARE(labelText(page, "lblPairPercent"), QString("%1 %").arg(PercentOf(info.pairBytesDone, info.pairBytes)));
    QCOMPARE(PercentOf(bar->value(), bar->maximum()), PercentOf(info.pairBytesDone, info.pairBytes));
    if (code == NOTIFY_COPYING) {
      QCOMPARE(info.pairBytesDone, finished);  // a file about to be copied is not done yet
      finished += QFileInfo(QString::fromStdString(info.currentSource)).size();
    }
    if (code == NOTIFY_FILE_STEP && info.pairBytesDone > finished - (3 << 20) && info.pairBytesDone < finished)
      movedInsideTheLargeFile = true;
  }
  QVERIFY(movedInsideTheLargeFile);
  QCOMPARE(labelText(page, "lblPairPercent"), QString("100 %"));
  QCOMPARE(bar->value(), bar->maximum());
  QCOMPARE(labelText(page, "lblFileCount"), QString("34 von 34 Dateien"));
  QCOMPARE(labelText(page, "lblRemaining"), QString::fromUtf8("Geschätzte Restzeit (Std:Min:Sek): 00:00:00"));
}

void PageSichernTest::cancelledRunSaysSo() {
  QTemporaryDir dir;
  StandIns standIns;
  Application app(argsFor(makeBackupSetup(dir)));
  MessageBoxFake box;
  QWidget window;
  auto* page = new PageSichern(app, box, &window);
  // The run waits for the page at its first report: cancelled before it copied anything.
  connect(page, &PageSichern::runStarted, page, [page] { page->requestCancel(); });
  page->startBackup();
  QTRY_VERIFY_WITH_TIMEOUT(page->isIdle(), 20000);
  QCOMPARE(labelText(page, "lblAction"), QString("Sichern abgebrochen"));
  QVERIFY(!QFile::exists(dir.path() + "/Ziel/a.txt"));
}

// "~/" is the home directory; a relative name or a forbidden pattern is
// refused with its reason before anything is saved or copied.
void PageSichernTest::typedPathsAndForbiddenPatternsAreCheckedWhereEntered() {
  QTemporaryDir dir;
  const QString ini = makeBackupSetup(dir);
  const QByteArray home = qgetenv("HOME");
  qputenv("HOME", dir.path().toUtf8());
  Application app(argsFor(ini));
  MessageBoxFake box;
  PageSichern page(app, box);
  auto* log = child<QLineEdit>(&page, "editProtokolldatei");
  log->setText("~/neu.log");
  QVERIFY(page.saveSettings());
  QCOMPARE(log->text(), dir.path() + "/neu.log");
  QVERIFY(readText(ini).contains("Protokolldatei=" + dir.path().toUtf8() + "/neu.log"));

  log->setText("Protokolle/neu.log");
  QVERIFY(!page.saveSettings());
  QCOMPARE(box.boxes.size(), size_t(1));
  QVERIFY(QString::fromStdString(box.boxes[0].text).startsWith("'Protokolle/neu.log' ist kein vollständiger Pfad."));
  log->setText("~/neu.log");
  box.boxes.clear();

  child<QCheckBox>(&page, "chkMusterNichtErlaubt")->setChecked(true);
  child<QLineEdit>(&page, "editMusterNichtErlaubt")->setText("*.tmp, *Notiz_00*");
  QVERIFY(!page.saveSettings());
  page.startBackup();
  QVERIFY(page.isIdle());
  QCOMPARE(box.boxes.size(), size_t(2));
  for (const auto& b : box.boxes) QVERIFY(QString::fromStdString(b.text).startsWith("Das Muster '*Notiz_00*' bei"));
  QVERIFY(!readText(ini).contains("Notiz_00"));
  QVERIFY(!QFileInfo::exists(dir.path() + "/Ziel"));
  qputenv("HOME", home);
}

// A pair left out is named on the page with its reason, and the run does not
// end as a success; a run with nothing to copy says so.
void PageSichernTest::whatWasNotBackedUpIsSaidOnThePage() {
  QTemporaryDir dir;
  StandIns standIns;
  QDir(dir.path()).mkpath("media");
  qputenv("KALVERO_MOUNT_ROOTS", (dir.path() + "/media").toUtf8());
  Application app(argsFor(makeBackupSetup(dir)));
  MessageBoxFake box;
  QWidget window;
  auto* page = new PageSichern(app, box, &window);
  // 1366 x 768 at 150 %, less frame, panels and tabs: the options and the progress scroll.
  page->resize(884, 420);
  window.resize(884, 420);
  window.show();
  DirPair missing{1, 1, (dir.path() + "/Dokumnte").toStdString(), (dir.path() + "/Ziel2").toStdString(), {}};
  DirPair unplugged{1, 1, (dir.path() + "/Quelle").toStdString(), (dir.path() + "/media/USB/Sich").toStdString(), {}};
  page->addPair(missing);
  page->addPair(unplugged);
  // The outcome is shown when the run has ended, a moment after the page went idle.
  QSignalSpy finished(page, &PageSichern::runFinished);
  page->startBackup();
  QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 20000);
  QCOMPARE(labelText(page, "lblAction"), QString("Sichern beendet, aber nicht alles wurde gesichert:"));
  QVERIFY(!page->lastRunClean());
  auto* notBackedUp = child<QLabel>(page, "lblNotBackedUp");
  QVERIFY(notBackedUp->isVisible());
  const QStringList lines = notBackedUp->text().split('\n');
  QCOMPARE(lines.size(), 2);
  QVERIFY(lines[0].contains("'" + dir.path() + "/Dokumnte' existiert nicht"));
  QVERIFY(lines[1].contains("nicht eingehängt"));
  QTRY_VERIFY(!notBackedUp->visibleRegion().isEmpty());  // in view without scrolling by hand
  QVERIFY(QFile::exists(dir.path() + "/Ziel/a.txt"));  // the pair that could go went
  QVERIFY(labelText(page, "lblLastBackup").endsWith(", 1 Fehler, 1 Quellverzeichnis(se) nicht vorhanden"));
  QVERIFY(!child<QLabel>(page, "lblEmptyJobList")->isVisibleTo(page));

  // Only a missing source: no error counted, yet the counters are not green.
  page->setJobList({missing});
  page->startBackup();
  QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 2, 20000);
  const QColor darkRed(128, 0, 0);
  for (const char* counter : {"lblPairErrors", "lblRunErrors"}) {
    QCOMPARE(labelText(page, counter), QString("0 Fehler"));
    QCOMPARE(child<QLabel>(page, counter)->palette().color(QPalette::WindowText), darkRed);
  }

  QDir(dir.path()).mkpath("leer");
  page->setJobList({DirPair{1, 1, (dir.path() + "/leer").toStdString(), (dir.path() + "/Ziel3").toStdString(), {}}});
  page->startBackup();
  QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 3, 20000);
  QCOMPARE(labelText(page, "lblAction"), QString("Keine geänderten Dateien: nichts zu sichern."));
  QCOMPARE(child<QLabel>(page, "lblRunErrors")->palette().color(QPalette::WindowText), QColor(0, 128, 0));
  QCOMPARE(labelText(page, "lblFileCount"), QString());
  QVERIFY(!notBackedUp->isVisible());
  QVERIFY(page->lastRunClean());
  const QString last = labelText(page, "lblLastBackup");
  const QRegularExpression lastClean("^Letzte Sicherung: \\d\\d\\.\\d\\d\\.\\d{4} \\d\\d:\\d\\d, ohne Fehler$");
  QVERIFY2(lastClean.match(last).hasMatch(), qPrintable(last));
  qunsetenv("KALVERO_MOUNT_ROOTS");
}

// A file compressed again or a cancel takes bytes back from the run's count; the pair's bar keeps its place.
void PageSichernTest::pairBarNeverMovesBackwards() {
  QTemporaryDir dir;
  Application app(argsFor(makeBackupSetup(dir)));
  MessageBoxFake box;
  PageSichern page(app, box);
  ProgressInfo info;
  info.filesInPair = 3;
  info.pairBytes = 1000;
  page.showProgress(NOTIFY_FILES_FOUND, info);
  info.pairBytesDone = 810;
  page.showProgress(NOTIFY_COMPRESSING, info);
  QCOMPARE(labelText(&page, "lblPairPercent"), QString("81 %"));
  info.pairBytesDone = 100;
  page.showProgress(NOTIFY_FILE_STEP, info);
  page.showProgress(NOTIFY_FINISHED, info);
  QCOMPARE(labelText(&page, "lblPairPercent"), QString("81 %"));
  auto* bar = child<QProgressBar>(&page, "barPair");
  QCOMPARE(bar->value(), 810);
  // The next pair starts from nothing.
  page.showProgress(NOTIFY_RESET, info);
  page.showProgress(NOTIFY_FILES_FOUND, info);
  QCOMPARE(bar->value(), 100);
}

// Random bytes: their archive is as large as they are, so compressing them takes a while.
void writeNoise(const QString& path, qsizetype size) {
  QByteArray bytes(size, Qt::Uninitialized);
  QRandomGenerator gen(7);
  gen.fillRange(reinterpret_cast<quint32*>(bytes.data()), size / 4);
  writeText(path, bytes);
}

// With two threads the run waits for the worker compressing a large file:
// the page shows that file, its bar part way, and a pair that only moves on.
void PageSichernTest::fileCompressedAheadIsShownWhileTheRunWaits() {
  QTemporaryDir dir;
  const QString ini = makeBackupSetup(dir, "Compress=1\n");
  const QString large = dir.path() + "/Quelle/gross.bin";
  writeNoise(large, 32 << 20);
  qputenv("KALVERO_THREADS", "2");
  Application app(argsFor(ini));
  app.setKeepListFiles(false);
  MessageBoxFake box;
  QWidget window;
  auto* page = new PageSichern(app, box, &window);
  RecordingReporter recorder;
  std::atomic<int> cancel{0};
  BackupStart start = StartPageBackup(ini, *page, app, cancel, recorder);
  QVERIFY(start.ok());
  start.run->run();
  qunsetenv("KALVERO_THREADS");

  auto* fileBar = child<QProgressBar>(page, "barFile");
  int waitingSteps = 0;
  int lastPercent = 0;
  for (const auto& [code, info] : recorder.events) {
    page->showProgress(code, info);
    const QString percent = labelText(page, "lblPairPercent");
    if (!percent.isEmpty()) {
      QVERIFY2(percent.section(' ', 0, 0).toInt() >= lastPercent, qPrintable(percent));
      lastPercent = percent.section(' ', 0, 0).toInt();
    }
    if (code != NOTIFY_FILE_STEP || info.currentSource != large.toStdString() || info.fileDone == 0 ||
        info.fileDone >= info.fileSize)
      continue;
    ++waitingSteps;
    QCOMPARE(fullText(child<QLabel>(page, "lblSource")), large);
    QVERIFY(fileBar->value() > 0 && fileBar->value() < fileBar->maximum());
  }
  QVERIFY(waitingSteps > 0);
  QCOMPARE(labelText(page, "lblPairPercent"), QString("100 %"));
}

QTEST_MAIN(PageSichernTest)
#include "PageSichernTest.moc"
