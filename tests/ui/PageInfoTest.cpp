// The information page: list-file paths, the two options written at once.
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>
#include <cstdlib>

#include "support/AppFixture.h"
#include "support/MessageBoxFake.h"
#include "app/SettingsFile.h"
#include "ui/DesktopOpener.h"
#include "ui/PageInfo.h"
#include "ui/VerifyPanel.h"
#include "ui_PageInfo.h"

using namespace kalvero;

class PageInfoTest : public QObject {
  Q_OBJECT
 private slots:
  void init();
  void cleanup();
  void showsTheFourListFiles();
  void thresholdChangeReachesTheNextRun();
  void deleteSrcWrittenAtEachClick();
  void listFileDeletedWhileShown();
  void checkOfTheBackupsSaysWhatItFound();

 private:
  QStringList opened_;
};

void PageInfoTest::init() {
  opened_.clear();
  setDesktopOpenerForTests([this](const QString& p) { opened_ << p; });
}

void PageInfoTest::cleanup() { setDesktopOpenerForTests({}); }

void PageInfoTest::showsTheFourListFiles() {
  test::AppFixture f;
  test::MessageBoxFake box;
  PageInfo page(*f.app, box);
  Ui::PageInfo* ui = page.form();
  QLineEdit* edits[] = {ui->editListSources, ui->editListDestinations, ui->editListNotCopied, ui->editListSkipped};
  QPushButton* buttons[] = {ui->btnShowSources, ui->btnShowDestinations, ui->btnShowNotCopied, ui->btnShowSkipped};
  for (int i = 0; i < 4; ++i) {
    QCOMPARE(edits[i]->text().toStdString(), f.app->listFileName(i));
    QVERIFY(edits[i]->isReadOnly());
    QTest::mouseClick(buttons[i], Qt::LeftButton);
    QCOMPARE(opened_.last().toStdString(), f.app->listFileName(i));
  }
  QTest::mouseClick(ui->btnShowDirectory, Qt::LeftButton);
  QVERIFY(opened_.last().endsWith(QLatin1Char('/')));
  QVERIFY(QString::fromStdString(f.app->listFileName(0)).startsWith(opened_.last()));
  QVERIFY(box.boxes.empty());
  QVERIFY(ui->labelList3->styleSheet().contains(QStringLiteral("rgb(255, 0, 0)")));
}

void PageInfoTest::thresholdChangeReachesTheNextRun() {
  test::AppFixture f;
  test::MessageBoxFake box;
  PageInfo page(*f.app, box);
  QLineEdit* edit = page.form()->editMinSize;
  QCOMPARE(edit->text(), QStringLiteral("1000"));
  edit->selectAll();
  QTest::keyClicks(edit, QStringLiteral("25"));
  // Every change holding a whole number is written: the run reads it at its start.
  QCOMPARE(SettingsFile(f.settingsPath()).loadInfoOptions().MinSize, 25);
  QTest::keyClicks(edit, QStringLiteral("x"));
  QCOMPARE(SettingsFile(f.settingsPath()).loadInfoOptions().MinSize, 25);
  QTest::keyClick(edit, Qt::Key_Backspace);
  QTest::keyClick(edit, Qt::Key_Backspace);
  QCOMPARE(SettingsFile(f.settingsPath()).loadInfoOptions().MinSize, 2);
  QVERIFY(box.boxes.empty());
  // A new page shows what was stored.
  PageInfo again(*f.app, box);
  QCOMPARE(again.form()->editMinSize->text(), QStringLiteral("2"));
}

void PageInfoTest::deleteSrcWrittenAtEachClick() {
  test::AppFixture f;
  test::MessageBoxFake box;
  PageInfo page(*f.app, box);
  QCheckBox* check = page.form()->chkDeleteSrc;
  QVERIFY(check->isChecked());
  QVERIFY(f.settingsBytes().isEmpty());  // showing the page writes nothing
  QTest::mouseClick(check, Qt::LeftButton, {}, QPoint(5, check->height() / 2));
  QCOMPARE(SettingsFile(f.settingsPath()).loadInfoOptions().DeleteSrc, 0);
  QTest::mouseClick(check, Qt::LeftButton, {}, QPoint(5, check->height() / 2));
  QCOMPARE(SettingsFile(f.settingsPath()).loadInfoOptions().DeleteSrc, 1);
}

void PageInfoTest::listFileDeletedWhileShown() {
  test::AppFixture f;
  test::MessageBoxFake box;
  PageInfo page(*f.app, box);
  QFile::remove(QString::fromStdString(f.app->listFileName(2)));
  QTest::mouseClick(page.form()->btnShowNotCopied, Qt::LeftButton);
  QVERIFY(opened_.isEmpty());
  QCOMPARE(box.boxes.size(), std::size_t{1});
  QVERIFY(QString::fromStdString(box.boxes[0].text).contains(QString::fromStdString(f.app->listFileName(2))));
}

// "Sicherung prüfen ...": a backup with its list (written by sha256sum) is
// all well; after a copy is deleted the page names it and says what to do.
void PageInfoTest::checkOfTheBackupsSaysWhatItFound() {
  test::AppFixture f;
  test::MessageBoxFake box;
  const QString dst = f.dir.filePath(QStringLiteral("ziel"));
  test::writeText(dst + QStringLiteral("/a.txt"), "eins");
  test::writeText(dst + QStringLiteral("/Ordner ü/b.txt"), "zwei");
  const std::string list = "cd '" + dst.toStdString() +
                           "' && find . -type f -print0 | xargs -0 sha256sum > ../liste && mv ../liste "
                           "Kalvero-Pruefsummen.sha256";
  QCOMPARE(std::system(list.c_str()), 0);
  f.writeSettings("[SichQZ]\nVersion=2\nAnzahl=1\nVerz0=1|1|" + f.dir.filePath(QStringLiteral("quelle")).toUtf8() +
                  "|" + dst.toUtf8() + "\n");
  PageInfo page(*f.app, box);
  VerifyPanel* panel = page.verifyPanel();
  QSignalSpy done(panel, &VerifyPanel::finished);
  QTest::mouseClick(panel->startButton(), Qt::LeftButton);
  QVERIFY(done.wait(20000));
  QCOMPARE(panel->verdictLabel()->text(), QStringLiteral("Alle 2 Dateien der Sicherung sind unverändert."));
  QVERIFY(panel->findingsView()->isHidden());
  QVERIFY(panel->startButton()->isEnabled());

  QFile::remove(dst + QStringLiteral("/a.txt"));
  QTest::mouseClick(panel->startButton(), Qt::LeftButton);
  QVERIFY(done.wait(20000));
  QCOMPARE(panel->verdictLabel()->text(), QStringLiteral("Die Sicherung ist nicht in Ordnung: 1 betroffene Datei."));
  const QString text = panel->findingsView()->toPlainText();
  QVERIFY2(text.startsWith(QStringLiteral("Fehlt: '") + dst + QStringLiteral("/a.txt'\n")), qPrintable(text));
  QVERIFY(text.contains(QStringLiteral("Was tun?")));
  QVERIFY(!panel->findingsView()->isHidden());
  QVERIFY(box.boxes.empty());
  if (const QString out = qEnvironmentVariable("KALVERO_SCREENSHOT_DIR"); !out.isEmpty()) {
    page.resize(1000, 720);
    page.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page));
    QVERIFY(page.grab().save(out + QStringLiteral("/information-pruefung.png")));
  }
}

QTEST_MAIN(PageInfoTest)
#include "PageInfoTest.moc"
