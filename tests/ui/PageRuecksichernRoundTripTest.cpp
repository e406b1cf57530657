// A backup and then a restore, both started from the main window, give back
// the original tree: plain copies and archives of this program alike.
#include <QDirIterator>
#include <QLineEdit>
#include <QtTest>

#include "MainTestSupport.h"
#include "app/SettingsFile.h"
#include "ui/ElidedText.h"
#include "ui/MainSheet.h"
#include "ui/PageProtokoll.h"
#include "ui/PageRuecksichern.h"
#include "ui/PageSichern.h"
#include "ui_PageRuecksichern.h"

using namespace kalvero;
using namespace kalvero::test;

namespace {

// Relative path -> contents of every file below root.
QMap<QString, QByteArray> treeOf(const QString& root) {
  QMap<QString, QByteArray> files;
  QDirIterator it(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
  while (it.hasNext()) {
    const QString path = it.next();
    files.insert(QDir(root).relativeFilePath(path), readText(path));
  }
  return files;
}

}  // namespace

class PageRuecksichernRoundTripTest : public QObject {
  Q_OBJECT
 private slots:
  void backupThenRestore_data();
  void backupThenRestore();
};

void PageRuecksichernRoundTripTest::backupThenRestore_data() {
  QTest::addColumn<QByteArray>("allg");
  QTest::newRow("copies") << QByteArray("Compress=0");
  QTest::newRow("archives") << QByteArray("Compress=1");
}

void PageRuecksichernRoundTripTest::backupThenRestore() {
  QFETCH(QByteArray, allg);
  QTemporaryDir dir;
  StandIns standIns;
  const QString ini = makeBackupSetup(dir, allg);
  writeText(dir.path() + "/Quelle/tief/Ordner mit Leerzeichen/über.txt", "Umlaute im Pfad\r\n");
  Application app(argsFor(ini));
  MessageBoxFake box;
  MainSheet window(app, box);
  window.show();
  QVERIFY(QTest::qWaitForWindowExposed(&window));

  window.pageSichern()->startBackup();
  QTRY_VERIFY_WITH_TIMEOUT(window.pageSichern()->isIdle(), 30000);
  const QStringList backedUp = treeOf(dir.path() + "/Ziel").keys();
  QCOMPARE(backedUp.filter(QRegularExpression("\\.zip$")).size(), allg == "Compress=1" ? 4 : 0);

  PageRuecksichern* restore = window.pageRuecksichern();
  // A settings file without a restore section shows the default restore log.
  QCOMPARE(restore->form()->editProtokolldatei->text().toStdString(), DefaultRestoreLogPath());
  restore->form()->editPathSrc->setText(dir.path() + "/Ziel");
  restore->form()->editPathDst->setText(dir.path() + "/Zurück");
  restore->form()->editProtokolldatei->setText(dir.path() + "/rueck.log");
  restore->startRestore();
  QVERIFY(!restore->isIdle());
  QTRY_VERIFY_WITH_TIMEOUT(restore->isIdle(), 30000);

  QVERIFY2(box.boxes.empty(), box.boxes.empty() ? "" : box.boxes.front().text.c_str());
  const QMap<QString, QByteArray> original = treeOf(dir.path() + "/Quelle");
  QCOMPARE(original.size(), 4);
  QCOMPARE(treeOf(dir.path() + "/Zurück"), original);
  QVERIFY(readText(dir.path() + "/rueck.log").contains("0 Fehler beim Rücksichern"));

  // Work done in the target since then is kept beside the restored copy, and the page says so.
  const QString changed = dir.path() + "/Zurück/tief/Ordner mit Leerzeichen/über.txt";
  writeText(changed, "weitergeschrieben");
  restore->startRestore();
  QTRY_VERIFY_WITH_TIMEOUT(restore->isIdle(), 30000);
  QCOMPARE(readText(changed), QByteArray("Umlaute im Pfad\r\n"));
  QCOMPARE(fullText(restore->form()->textHint),
           QStringLiteral("1 abweichende Dateien im Ziel daneben erhalten (vor Rücksicherung)"));
  QCOMPARE(treeOf(dir.path() + "/Zurück").size(), original.size() + 1);
}

QTEST_MAIN(PageRuecksichernRoundTripTest)
#include "PageRuecksichernRoundTripTest.moc"
