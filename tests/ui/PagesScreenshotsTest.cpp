// Saves pictures of the restore page during a run, the log page with lines,
// the parameter sheet and the replacement editor (scripts/screenshots.sh).
#include <QPushButton>
#include <QTableView>
#include <QTableWidget>
#include <QVBoxLayout>
#include <QtTest>

#include "support/AppFixture.h"
#include "support/MessageBoxFake.h"
#include "ui/DlgDirReplacement.h"
#include "ui/PageDirReplacement.h"
#include "ui/PageProtokoll.h"
#include "ui/PageRuecksichern.h"
#include "ui/SheetParameter.h"
#include "ui_PageRuecksichern.h"

using namespace kalvero;

class PagesScreenshotsTest : public QObject {
  Q_OBJECT
 private slots:
  void screenshots();
};

void PagesScreenshotsTest::screenshots() {
  const QString out = qEnvironmentVariable("KALVERO_SCREENSHOT_DIR");
  if (out.isEmpty()) QSKIP("KALVERO_SCREENSHOT_DIR not set");
  test::AppFixture f;
  f.writeSettings(
      "[Rueck]\r\nPathSrc=/media/sicherung/Daten\r\nPathDst=/home/anna/Zurück\r\n"
      "Protokolldatei=/home/anna/kalvero/rueck.log\r\n"
      "[Verzeichnisse]\r\nVerz1=1|/media/anna/USB-Platte|/media/anna/Neue Platte\r\n"
      "Verz2=0|/home/anna/Dokumente|/home/anna/Dokumente 2024\r\nVerz3=1|/srv/sicherung|/mnt/nas/sicherung\r\n"
      "Sichern=1\r\nRuecksichern=0\r\n");
  test::MessageBoxFake box;

  {  // The restore page while an archive is unpacked.
    QWidget top;
    top.setWindowTitle(QStringLiteral("Kalvero"));
    auto* layout = new QVBoxLayout(&top);
    auto* page = new PageRuecksichern(*f.app, box, &top);
    layout->addWidget(page);
    top.resize(840, 640);
    top.show();
    QVERIFY(QTest::qWaitForWindowExposed(&top));
    ProgressInfo info;
    info.filesInPair = 412;
    info.filesDone = 188;
    info.pairErrors = 1;
    info.currentSource = "/media/sicherung/Daten/Berichte/2024/Jahresübersicht März.odt.zip";
    info.fileSize = 48234496;
    info.fileDone = 20971520;
    page->handleProgress(NOTIFY_FILES_FOUND, info);
    page->handleProgress(NOTIFY_UNPACKING, info);
    page->handleProgress(NOTIFY_FILE_START, info);
    page->handleProgress(NOTIFY_FILE_STEP, info);
    page->form()->btnStart->setEnabled(false);
    page->form()->btnSave->setEnabled(false);
    page->form()->btnClose->setText(QStringLiteral("Abbrechen"));
    QTest::qWait(50);
    QVERIFY(top.grab().save(out + "/ruecksichern-lauf.png"));
  }
  {  // The log page after a run with failures, the long line selected.
    PageProtokoll page(*f.app, box);
    page.resize(840, 420);
    page.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page));
    page.appendLine(QStringLiteral(
        "Fehler beim Kopieren der Datei von '/home/anna/Bilder/Urlaub 2023/Strand mit Möwen.jpg' nach "
        "'/media/sicherung/Bilder/Urlaub 2023/Strand mit Möwen.jpg'.  Fehlernummer = 28  No space left on device  "
        "[07.12.2024  14:02:11]\r\n"));
    page.appendLine(QStringLiteral("Hinweis: Das Archivbit kann unter '/media/usb' nicht gespeichert werden; diese "
                                   "Dateien werden beim nächsten Sichern erneut kopiert.\r\n"));
    page.appendLine(QStringLiteral("Fehler beim Dekomprimieren der Datei: 'Texte/Brief.odt' aus dem ZIP-Archiv: "
                                   "'/media/sicherung/Texte/Brief.odt.zip'\r\n"));
    QTest::qWait(100);
    page.view()->selectRow(0);
    QTest::qWait(50);
    QVERIFY(page.grab().save(out + "/protokoll-zeilen.png"));
  }
  {  // The parameter sheet and the replacement editor.
    SheetParameter sheet(*f.app, box);
    sheet.resize(560, 380);
    sheet.show();
    QVERIFY(QTest::qWaitForWindowExposed(&sheet));
    sheet.page()->findChild<QTableWidget*>(QStringLiteral("listReplacements"))->selectRow(0);
    QTest::qWait(50);
    QVERIFY(sheet.grab().save(out + "/parameter.png"));
    DirReplacement entry;
    entry.oldName = "/media/anna/USB-Platte";
    entry.newName = "/media/anna/Neue Platte";
    DlgDirReplacement editor(box, entry);
    editor.show();
    QVERIFY(QTest::qWaitForWindowExposed(&editor));
    QTest::qWait(50);
    QVERIFY(editor.grab().save(out + "/verz-ersetzung.png"));
  }
}

QTEST_MAIN(PagesScreenshotsTest)
#include "PagesScreenshotsTest.moc"
