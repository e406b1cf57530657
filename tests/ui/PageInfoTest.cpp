// The information page: list-file paths, the two options written at once.
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include "support/AppFixture.h"
#include "support/MessageBoxFake.h"
#include "app/SettingsFile.h"
#include "ui/DesktopOpener.h"
#include "ui/PageInfo.h"
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

QTEST_MAIN(PageInfoTest)
#include "PageInfoTest.moc"
