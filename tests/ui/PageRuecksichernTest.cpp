// The restore page: start checks, saving, a real restore on its worker,
// cancel during a long archive entry, the progress display and the title.
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QVBoxLayout>
#include <QtTest>

#include "support/AppFixture.h"
#include "support/MessageBoxFake.h"
#include "app/SettingsFile.h"
#include "ui/PageRuecksichern.h"
#include "ui_PageRuecksichern.h"

using namespace kalvero;
using kalvero::test::readText;
using kalvero::test::writeText;

namespace {

// The page inside a top-level window, as the main window holds it.
struct Window {
  explicit Window(test::AppFixture& f, test::MessageBoxFake& box) {
    top.setWindowTitle(QStringLiteral("Kalvero"));
    auto* layout = new QVBoxLayout(&top);
    page = new PageRuecksichern(*f.app, box, &top);
    layout->addWidget(page);
  }
  Ui::PageRuecksichern* ui() const { return page->form(); }
  void fill(const std::string& src, const std::string& dst, const std::string& log) const {
    ui()->editPathSrc->setText(QString::fromStdString(src));
    ui()->editPathDst->setText(QString::fromStdString(dst));
    ui()->editProtokolldatei->setText(QString::fromStdString(log));
  }
  QWidget top;
  PageRuecksichern* page = nullptr;
};

}  // namespace

class PageRuecksichernTest : public QObject {
  Q_OBJECT
 private slots:
  void startWithMissingSourceSavesNothing();
  void saveWithMissingLogDirectorySavesNothing();
  void emptyDestinationRefusedWithFocus();
  void sourceThatIsAFile();
  void destinationInsideTheSource();
  void restoreRunsAndReturnsToIdle();
  void cancelDuringLongFileReturnsToIdleAfterSummary();
  void progressDisplayAndMinimisedTitle();
  void minimisedTitleDuringRealRestore();
  void tooltipsFollowTheCheckBox();
  void typedPathsMeanWhatTheUserMeant();
};

void PageRuecksichernTest::startWithMissingSourceSavesNothing() {
  test::AppFixture f;
  test::MessageBoxFake box;
  Window w(f, box);
  const std::string missing = f.path(QStringLiteral("gibt es nicht"));
  w.fill(missing, f.path(QStringLiteral("ziel")), f.path(QStringLiteral("rueck.log")));
  w.page->startRestore();
  QCOMPARE(box.boxes.size(), std::size_t{1});
  QCOMPARE(box.boxes[0].text, "Quellverzeichnis: '" + missing + "'\nnicht vorhanden.");
  QCOMPARE(w.top.focusWidget(), w.ui()->editPathSrc);
  QVERIFY(w.page->isIdle());
  QVERIFY(!QFile::exists(QString::fromStdString(f.settingsPath())));
}

void PageRuecksichernTest::saveWithMissingLogDirectorySavesNothing() {
  test::AppFixture f;
  test::MessageBoxFake box;
  Window w(f, box);
  QDir().mkpath(QString::fromStdString(f.path(QStringLiteral("quelle"))));
  w.fill(f.path(QStringLiteral("quelle")), f.path(QStringLiteral("ziel")), f.path(QStringLiteral("fehlt/rueck.log")));
  QVERIFY(!w.page->saveSettings());
  QCOMPARE(box.boxes.size(), std::size_t{1});
  QVERIFY(QString::fromStdString(box.boxes[0].text).startsWith(QStringLiteral("Verzeichnis der Protokolldatei: '")));
  QCOMPARE(w.top.focusWidget(), w.ui()->editProtokolldatei);
  QVERIFY(!QFile::exists(QString::fromStdString(f.settingsPath())));
  // An empty log file name stands for the default restore log, which the field then shows.
  box.clear();
  qputenv("XDG_DATA_HOME", QByteArray::fromStdString(f.path(QStringLiteral("daten"))));
  w.ui()->editProtokolldatei->clear();
  QVERIFY(w.page->saveSettings());
  qunsetenv("XDG_DATA_HOME");
  QVERIFY(box.boxes.empty());
  QCOMPARE(w.ui()->editProtokolldatei->text().toStdString(), f.path(QStringLiteral("daten")) + "/kalvero/ruecksichern.log");
  // With a valid log directory the values are stored.
  box.clear();
  w.ui()->editProtokolldatei->setText(QString::fromStdString(f.path(QStringLiteral("rueck.log"))));
  w.ui()->chkSubVerz->setChecked(false);
  QVERIFY(w.page->saveSettings());
  const RestoreOptions stored = SettingsFile(f.settingsPath()).loadRestoreOptions();
  QCOMPARE(stored.PathSrc, f.path(QStringLiteral("quelle")));
  QCOMPARE(stored.SubVerz, 0);
}

void PageRuecksichernTest::emptyDestinationRefusedWithFocus() {
  test::AppFixture f;
  test::MessageBoxFake box;
  Window w(f, box);
  QDir().mkpath(QString::fromStdString(f.path(QStringLiteral("quelle"))));
  w.fill(f.path(QStringLiteral("quelle")), "", f.path(QStringLiteral("rueck.log")));
  QSignalSpy started(w.page, &PageRuecksichern::runStarted);
  w.page->startRestore();
  QCOMPARE(box.boxes.size(), std::size_t{1});
  QCOMPARE(box.boxes[0].text, std::string("Kein Zielverzeichnis angegeben."));
  QCOMPARE(w.top.focusWidget(), w.ui()->editPathDst);
  QCOMPARE(started.count(), 0);
  QVERIFY(w.page->isIdle());
  QVERIFY(!QFile::exists(QString::fromStdString(f.settingsPath())));
}

// "~/" is the home directory in every path field; a relative path is refused before anything is saved.
void PageRuecksichernTest::typedPathsMeanWhatTheUserMeant() {
  test::AppFixture f;
  test::MessageBoxFake box;
  Window w(f, box);
  const QByteArray home = qgetenv("HOME");
  qputenv("HOME", QByteArray::fromStdString(f.path(QStringLiteral("heim"))));
  QDir().mkpath(QString::fromStdString(f.path(QStringLiteral("heim/Sicherung"))));
  w.fill("~/Sicherung", "~/zurück", "~/rueck.log");
  QVERIFY(w.page->saveSettings());
  const RestoreOptions stored = SettingsFile(f.settingsPath()).loadRestoreOptions();
  QCOMPARE(stored.PathSrc, f.path(QStringLiteral("heim/Sicherung")));
  QCOMPARE(stored.PathDst, f.path(QStringLiteral("heim/zurück")));
  QCOMPARE(stored.Protokolldatei, f.path(QStringLiteral("heim/rueck.log")));
  const QByteArray before = readText(QString::fromStdString(f.settingsPath()));
  w.ui()->editPathDst->setText(QStringLiteral("zurück"));
  QVERIFY(!w.page->saveSettings());
  w.page->startRestore();
  QVERIFY(w.page->isIdle());
  QCOMPARE(box.boxes.size(), std::size_t{2});
  QVERIFY(box.boxes[0].text.rfind("'zurück' ist kein vollständiger Pfad.", 0) == 0);
  QCOMPARE(readText(QString::fromStdString(f.settingsPath())), before);
  qputenv("HOME", home);
}

void PageRuecksichernTest::sourceThatIsAFile() {
  test::AppFixture f;
  test::MessageBoxFake box;
  Window w(f, box);
  writeText(QString::fromStdString(f.path(QStringLiteral("einzeln.txt"))), "x");
  w.fill(f.path(QStringLiteral("einzeln.txt")), f.path(QStringLiteral("ziel")), f.path(QStringLiteral("rueck.log")));
  QSignalSpy finished(w.page, &PageRuecksichern::runFinished);
  w.page->startRestore();
  // Either refused with a message, or run to its end without hanging.
  if (box.boxes.empty()) QVERIFY(finished.wait(20000));
  QVERIFY(w.page->isIdle());
}

void PageRuecksichernTest::destinationInsideTheSource() {
  test::AppFixture f;
  test::MessageBoxFake box;
  Window w(f, box);
  const QString src = QString::fromStdString(f.path(QStringLiteral("sicherung")));
  writeText(src + QStringLiteral("/a.txt"), "a");
  writeText(src + QStringLiteral("/unter/b.txt"), "b");
  w.fill(src.toStdString(), (src + QStringLiteral("/zurück")).toStdString(), f.path(QStringLiteral("rueck.log")));
  QSignalSpy finished(w.page, &PageRuecksichern::runFinished);
  w.page->startRestore();
  if (box.boxes.empty()) QVERIFY(finished.wait(20000));
  QVERIFY(w.page->isIdle());
  // The files found before the copying began are copied once; nothing loops.
  QCOMPARE(readText(src + QStringLiteral("/zurück/unter/b.txt")), QByteArray("b"));
  QVERIFY(!QFile::exists(src + QStringLiteral("/zurück/zurück")));
}

void PageRuecksichernTest::restoreRunsAndReturnsToIdle() {
  test::AppFixture f;
  test::MessageBoxFake box;
  Window w(f, box);
  const QString src = QString::fromStdString(f.path(QStringLiteral("sicherung")));
  writeText(src + QStringLiteral("/Briefe/Grüße an Jürgen.txt"), "Hallo Jürgen\r\n");
  writeText(src + QStringLiteral("/Bilder/Urlaub 2023/strand.jpg"), QByteArray(70000, 'b'));
  writeText(src + QStringLiteral("/leer.txt"), "");
  const std::string dst = f.path(QStringLiteral("zurück"));
  const std::string log = f.path(QStringLiteral("rueck.log"));
  w.fill(src.toStdString(), dst, log);
  QSignalSpy finished(w.page, &PageRuecksichern::runFinished);
  QSignalSpy lines(w.page, &PageRuecksichern::logLine);
  w.page->startRestore();
  QVERIFY(!w.page->isIdle());
  QVERIFY(!w.ui()->btnStart->isEnabled());
  QVERIFY(!w.ui()->btnSave->isEnabled());
  QCOMPARE(w.ui()->btnClose->text(), QStringLiteral("Abbrec&hen"));
  w.page->startRestore();  // a second start while running is ignored
  QVERIFY(finished.wait(30000));
  QCOMPARE(finished.count(), 1);
  QVERIFY(box.boxes.empty());
  QVERIFY(w.page->isIdle());
  QVERIFY(w.ui()->btnStart->isEnabled());
  QVERIFY(w.ui()->btnSave->isEnabled());
  QCOMPARE(w.ui()->btnClose->text(), QStringLiteral("Fenster s&chließen"));
  QCOMPARE(readText(QString::fromStdString(dst) + QStringLiteral("/Briefe/Grüße an Jürgen.txt")),
           QByteArray("Hallo Jürgen\r\n"));
  QCOMPARE(readText(QString::fromStdString(dst) + QStringLiteral("/Bilder/Urlaub 2023/strand.jpg")),
           QByteArray(70000, 'b'));
  QVERIFY(QFile::exists(QString::fromStdString(dst) + QStringLiteral("/leer.txt")));
  QCOMPARE(w.ui()->textAction->text(), QStringLiteral("Rücksichern beendet"));
  QCOMPARE(w.ui()->textCount->text(), QStringLiteral("3 von 3 Dateien"));
  QCOMPARE(w.ui()->textOverallPercent->text(), QStringLiteral("100 %"));
  QCOMPARE(w.ui()->textErrors->text(), QStringLiteral("0 Fehler"));
  QVERIFY(w.ui()->textErrors->styleSheet().contains(QStringLiteral("rgb(0, 128, 0)")));
  // The start stored what the page showed; the log file now exists.
  QCOMPARE(SettingsFile(f.settingsPath()).loadRestoreOptions().PathDst, dst);
  QVERIFY(w.ui()->btnShowLog->isEnabled());
  QVERIFY(readText(QString::fromStdString(log)).contains("3 Dateien kopiert"));
}

void PageRuecksichernTest::cancelDuringLongFileReturnsToIdleAfterSummary() {
  test::AppFixture f;
  test::MessageBoxFake box;
  Window w(f, box);
  const QString src = QString::fromStdString(f.path(QStringLiteral("sicherung")));
  QDir().mkpath(src);
  // One archive of this program with a large entry: several steps of unpacking.
  const QString archive = src + QStringLiteral("/gross.bin.zip");
  QProcess python;
  python.start(QStringLiteral("python3"),
               {QStringLiteral("-c"),
                QStringLiteral("import sys,zipfile,random\n"
                               "r=random.Random(7)\n"
                               "data=bytes(r.getrandbits(8) for _ in range(4*1024*1024))\n"
                               "z=zipfile.ZipFile(sys.argv[1],'w',zipfile.ZIP_DEFLATED)\n"
                               "z.writestr('gross.bin',data)\n"
                               "z.comment=b'Compressed by Kalvero'\n"
                               "z.close()\n"),
                archive});
  QVERIFY(python.waitForFinished(60000));
  if (python.exitCode() != 0) QSKIP("python3 zipfile not available");
  for (int i = 0; i < 5; ++i) writeText(src + QStringLiteral("/klein%1.txt").arg(i), "klein");
  const std::string dst = f.path(QStringLiteral("ziel"));
  const std::string log = f.path(QStringLiteral("rueck.log"));
  w.fill(src.toStdString(), dst, log);

  // "Abbrechen" as soon as the large entry has made its first step.
  bool pressed = false;
  connect(w.ui()->progressEntry, &QProgressBar::valueChanged, w.page, [&](int value) {
    if (value > 0 && !pressed) {
      pressed = true;
      QTest::mouseClick(w.ui()->btnClose, Qt::LeftButton);
    }
  });
  QSignalSpy finished(w.page, &PageRuecksichern::runFinished);
  w.page->startRestore();
  QVERIFY(finished.wait(60000));
  QVERIFY(w.page->isIdle());
  QCOMPARE(w.ui()->btnClose->text(), QStringLiteral("Fenster s&chließen"));
  const QByteArray text = readText(QString::fromStdString(log));
  QVERIFY(pressed);
  QVERIFY(text.contains("***   Das Rücksichern wurde abgebrochen!   ***"));
  // The entry being unpacked was finished.
  QCOMPARE(QFileInfo(QString::fromStdString(dst) + QStringLiteral("/gross.bin")).size(), qint64(4 * 1024 * 1024));
  QVERIFY(text.contains("Rücksicherung beendet"));
}

void PageRuecksichernTest::progressDisplayAndMinimisedTitle() {
  test::AppFixture f;
  test::MessageBoxFake box;
  Window w(f, box);
  w.top.show();
  QVERIFY(QTest::qWaitForWindowExposed(&w.top));
  ProgressInfo info;
  info.filesInPair = 4;
  w.page->handleProgress(NOTIFY_SEARCHING, info);
  QCOMPARE(w.ui()->textAction->text(), QStringLiteral("Suche Dateien ..."));
  QVERIFY(w.ui()->textErrors->styleSheet().contains(QStringLiteral("rgb(0, 128, 0)")));
  w.page->handleProgress(NOTIFY_FILES_FOUND, info);
  QCOMPARE(w.ui()->textHint->text(), QStringLiteral("Anzahl der zu kopierenden Dateien = 4"));
  QCOMPARE(w.ui()->textCount->text(), QStringLiteral("0 von 4 Dateien"));
  QCOMPARE(w.ui()->progressOverall->maximum(), 4);

  info.filesDone = 1;
  info.currentSource = "/sicherung/a.txt.zip";
  w.page->handleProgress(NOTIFY_UNPACKING, info);
  QCOMPARE(w.ui()->textAction->text(), QStringLiteral("Dekomprimiere Datei ..."));
  QCOMPARE(w.ui()->textHint->text(), QStringLiteral("/sicherung/a.txt.zip"));
  QCOMPARE(w.ui()->textOverallPercent->text(), QStringLiteral("25 %"));
  QCOMPARE(w.top.windowTitle(), QStringLiteral("Kalvero"));  // not minimised: the title stays

  info.fileSize = 2048 * 1024;
  info.fileDone = 0;
  w.page->handleProgress(NOTIFY_FILE_START, info);
  QCOMPARE(w.ui()->progressEntry->maximum(), 2048);
  QCOMPARE(w.ui()->textEntryPercent->text(), QStringLiteral("0 %"));
  info.fileDone = 512 * 1024;
  info.pairErrors = 2;
  w.page->handleProgress(NOTIFY_FILE_STEP, info);
  QCOMPARE(w.ui()->progressEntry->value(), 512);
  QCOMPARE(w.ui()->textEntryPercent->text(), QStringLiteral("25 %"));
  QCOMPARE(w.ui()->textErrors->text(), QStringLiteral("2 Fehler"));
  QVERIFY(w.ui()->textErrors->styleSheet().contains(QStringLiteral("rgb(128, 0, 0)")));

  // Code 6 changes no counter.
  info.pairErrors = 0;
  w.page->handleProgress(NOTIFY_LOG_OPENED, info);
  QCOMPARE(w.ui()->textErrors->text(), QStringLiteral("2 Fehler"));

  w.top.showMinimized();
  QTRY_VERIFY(w.top.isMinimized());
  info.filesDone = 3;
  w.page->handleProgress(NOTIFY_UNPACKING, info);
  QCOMPARE(w.top.windowTitle(), QStringLiteral("75 %"));
  info.filesDone = 4;
  w.page->handleProgress(NOTIFY_FINISHED, info);
  QCOMPARE(w.top.windowTitle(), QStringLiteral("100 %"));
  QCOMPARE(w.ui()->textAction->text(), QStringLiteral("Rücksichern beendet"));
  QCOMPARE(w.ui()->textHint->text(), QString());

  // An empty run: the percentage is 0, never a division by zero.
  ProgressInfo empty;
  w.page->handleProgress(NOTIFY_FINISHED, empty);
  QCOMPARE(w.ui()->textOverallPercent->text(), QStringLiteral("0 %"));
}

void PageRuecksichernTest::minimisedTitleDuringRealRestore() {
  test::AppFixture f;
  test::MessageBoxFake box;
  Window w(f, box);
  w.top.show();
  QVERIFY(QTest::qWaitForWindowExposed(&w.top));
  const QString src = QString::fromStdString(f.path(QStringLiteral("sicherung")));
  for (int i = 0; i < 3; ++i) writeText(src + QStringLiteral("/d%1.txt").arg(i), "inhalt");
  w.fill(src.toStdString(), f.path(QStringLiteral("ziel")), f.path(QStringLiteral("rueck.log")));
  w.ui()->chkSymbol->setChecked(true);  // minimise the main window at the start
  QSignalSpy finished(w.page, &PageRuecksichern::runFinished);
  w.page->startRestore();
  QVERIFY(finished.wait(30000));
  QVERIFY(w.top.isMinimized());
  QCOMPARE(w.top.windowTitle(), QStringLiteral("100 %"));
}

void PageRuecksichernTest::tooltipsFollowTheCheckBox() {
  test::AppFixture f;
  test::MessageBoxFake box;
  Window w(f, box);
  QVERIFY(w.ui()->chkTooltip->isChecked());
  QVERIFY(w.ui()->editPathSrc->toolTip().contains(QStringLiteral("Verzeichnis aller Quelldateien")));
  w.ui()->chkTooltip->setChecked(false);
  QVERIFY(w.ui()->editPathSrc->toolTip().isEmpty());
  QVERIFY(w.ui()->chkOnlyByKalvero->toolTip().isEmpty());
  w.ui()->chkTooltip->setChecked(true);
  QVERIFY(w.ui()->chkOnlyByKalvero->toolTip().contains(QStringLiteral("Programm Kalvero komprimiert")));
}

QTEST_MAIN(PageRuecksichernTest)
#include "PageRuecksichernTest.moc"
