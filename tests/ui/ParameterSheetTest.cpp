// The parameter sheet: the replacement list, its editor, saving only on OK,
// and the replacement of the stored names after the question.
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QtTest>

#include "support/AppFixture.h"
#include "support/MessageBoxFake.h"
#include "app/DirReplacement.h"
#include "app/SettingsFile.h"
#include "ui/DlgDirReplacement.h"
#include "ui/PageDirReplacement.h"
#include "ui/PageRuecksichern.h"
#include "ui/PageSichern.h"
#include "ui/DirReplacementFlow.h"
#include "ui/SheetParameter.h"
#include "ui_DlgDirReplacement.h"
#include "ui_PageDirReplacement.h"
#include "ui_PageRuecksichern.h"
#include "ui_SheetParameter.h"

using namespace kalvero;

namespace {

const QByteArray kStored =
    "[Verzeichnisse]\r\n"
    "Verz1=1|/media/alt|/media/neu\r\n"
    "Verz2=0|/home/anna|/home/berta\r\n"
    "Verz3=1|/srv/x|/srv/y\r\n"
    "Sichern=1\r\n"
    "Ruecksichern=1\r\n";

// A settings file with both sides holding names the list replaces.
QByteArray fullSettings(int sichern, int ruecksichern) {
  return "[Allg]\r\n"
         "Protokolldatei=/media/ALT/log/sich.log\r\n"
         "Prueffile=/media/alt/pruef.txt\r\n"
         "[SichQZ]\r\n"
         "Anzahl=1\r\n"
         "Version=2\r\n"
         "Verz0=1|1|/home/anna/Texte|/media/alt/Texte\r\n"
         "[Verz0]\r\n"
         "Neg0=1|/home/anna/Texte/tmp\r\n"
         "[Rueck]\r\n"
         "PathSrc=/media/alt/Texte\r\n"
         "PathDst=/home/anna/zurück\r\n"
         "Protokolldatei=/media/alt/rueck.log\r\n"
         "[Verzeichnisse]\r\n"
         "Verz1=1|/media/alt|/media/neu\r\n"
         "Verz2=0|/home/anna|/home/berta\r\n"
         "Sichern=" +
         QByteArray::number(sichern) + "\r\nRuecksichern=" + QByteArray::number(ruecksichern) + "\r\n";
}

}  // namespace

class ParameterSheetTest : public QObject {
  Q_OBJECT
 private slots:
  void cleanup() { PageDirReplacement::setEditorForTests({}); }
  void showsTheStoredList();
  void twoSelectedRows();
  void cancelKeepsTheFileByteIdentical();
  void okSavesOnlyWhenModified();
  void newChangeAndDoubleClick();
  void editorRefusesNamesTheListCannotKeep();
  void okWithBothSwitchesOffAsksNothing();
  void replacementThroughTheWindowMatchesTheEngine();
  void answerNoRewritesNothing();
  void onlyBackupSwitch();
  void tenThousandRows();
};

void ParameterSheetTest::showsTheStoredList() {
  test::AppFixture f;
  f.writeSettings(kStored);
  test::MessageBoxFake box;
  PageDirReplacement page(*f.app, box);
  QTableWidget* list = page.form()->listReplacements;
  QCOMPARE(list->rowCount(), 3);
  QCOMPARE(list->horizontalHeaderItem(0)->text(), QStringLiteral("Aktiv"));
  QCOMPARE(list->horizontalHeaderItem(1)->text(), QStringLiteral("Alt"));
  QCOMPARE(list->horizontalHeaderItem(2)->text(), QStringLiteral("Neu"));
  QCOMPARE(list->item(0, 0)->text(), QStringLiteral("Ja"));
  QCOMPARE(list->item(1, 0)->text(), QStringLiteral("Nein"));
  QCOMPARE(list->item(1, 2)->text(), QStringLiteral("/home/berta"));
  QVERIFY(page.form()->chkSichern->isChecked());
  QVERIFY(page.form()->chkRuecksichern->isChecked());
  QVERIFY(!page.form()->btnChange->isEnabled());
  QVERIFY(!page.form()->btnDelete->isEnabled());
  QVERIFY(!page.isModified());
}

void ParameterSheetTest::twoSelectedRows() {
  test::AppFixture f;
  f.writeSettings(kStored);
  test::MessageBoxFake box;
  PageDirReplacement page(*f.app, box);
  QTableWidget* list = page.form()->listReplacements;
  list->selectRow(0);
  QVERIFY(page.form()->btnChange->isEnabled());
  list->selectionModel()->select(list->model()->index(2, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
  QVERIFY(!page.form()->btnChange->isEnabled());
  QVERIFY(page.form()->btnDelete->isEnabled());
  box.answer = MB_RESULT_NO;
  QTest::mouseClick(page.form()->btnDelete, Qt::LeftButton);
  QCOMPARE(box.boxes.size(), std::size_t{1});
  QCOMPARE(box.boxes[0].kind, 5);
  QCOMPARE(box.boxes[0].text, std::string("Sollen alle markierten Einträge gelöscht werden ?\nAnzahl = 2"));
  QCOMPARE(list->rowCount(), 3);
  QVERIFY(!page.isModified());
  box.answer = MB_RESULT_YES;
  QTest::mouseClick(page.form()->btnDelete, Qt::LeftButton);
  QCOMPARE(list->rowCount(), 1);
  QCOMPARE(page.entryAt(0).oldName, std::string("/home/anna"));
  QVERIFY(page.isModified());
}

void ParameterSheetTest::cancelKeepsTheFileByteIdentical() {
  test::AppFixture f;
  f.writeSettings(kStored);
  test::MessageBoxFake box;
  {
    SheetParameter sheet(*f.app, box);
    PageDirReplacement* page = sheet.page();
    page->form()->listReplacements->selectRow(0);
    page->deleteEntries();
    page->form()->chkSichern->click();
    PageDirReplacement::setEditorForTests([](QWidget*, DirReplacement& e) {
      e.oldName = "/a";
      e.newName = "/b";
      return true;
    });
    page->newEntry();
    QVERIFY(page->isModified());
    QTest::mouseClick(sheet.form()->btnCancel, Qt::LeftButton);
    QCOMPARE(sheet.result(), int(QDialog::Rejected));
  }
  QCOMPARE(f.settingsBytes(), kStored);
}

void ParameterSheetTest::okSavesOnlyWhenModified() {
  test::AppFixture f;
  f.writeSettings(kStored);
  test::MessageBoxFake box;
  {
    SheetParameter sheet(*f.app, box);
    QTest::mouseClick(sheet.form()->btnOk, Qt::LeftButton);
    QCOMPARE(sheet.result(), int(QDialog::Accepted));
  }
  QCOMPARE(f.settingsBytes(), kStored);  // nothing changed, nothing written
  {
    SheetParameter sheet(*f.app, box);
    sheet.page()->form()->chkRuecksichern->click();
    QTest::mouseClick(sheet.form()->btnOk, Qt::LeftButton);
  }
  const DirReplacementList stored = SettingsFile(f.settingsPath()).loadDirReplacementList();
  QCOMPARE(stored.Sichern, 1);
  QCOMPARE(stored.Ruecksichern, 0);
  QCOMPARE(stored.entries.size(), std::size_t{3});
  QCOMPARE(stored.entries[1].active, 0);
  QCOMPARE(stored.entries[2].newName, std::string("/srv/y"));
}

void ParameterSheetTest::newChangeAndDoubleClick() {
  test::AppFixture f;
  f.writeSettings(kStored);
  test::MessageBoxFake box;
  PageDirReplacement page(*f.app, box);
  page.resize(500, 400);
  page.show();
  QVERIFY(QTest::qWaitForWindowExposed(&page));
  QTableWidget* list = page.form()->listReplacements;
  DirReplacement seen;
  PageDirReplacement::setEditorForTests([&](QWidget*, DirReplacement& e) {
    seen = e;
    e.oldName = "/media/usb-stick mit Ümlaut";
    e.newName = "/mnt/sicherung";
    e.active = 0;
    return true;
  });
  // A double click below the last row adds a new entry, selected alone.
  QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, QPoint(10, list->viewport()->height() - 5));
  QCOMPARE(list->rowCount(), 4);
  QCOMPARE(seen.oldName, std::string());
  QCOMPARE(seen.active, 1);  // a new entry starts active
  QCOMPARE(page.selectedRows(), std::vector<int>{3});
  QCOMPARE(list->item(3, 0)->text(), QStringLiteral("Nein"));
  QVERIFY(page.isModified());
  // A double click on a row changes it, starting from its values.
  const QPoint onRow = list->visualItemRect(list->item(1, 1)).center();
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, onRow);
  QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, onRow);
  QCOMPARE(seen.oldName, std::string("/home/anna"));
  QCOMPARE(seen.active, 0);
  QCOMPARE(list->item(1, 1)->text(), QStringLiteral("/media/usb-stick mit Ümlaut"));
  QCOMPARE(list->rowCount(), 4);
  // Abbrechen in the editor changes nothing.
  PageDirReplacement::setEditorForTests([](QWidget*, DirReplacement&) { return false; });
  list->selectRow(0);
  page.changeEntry();
  QCOMPARE(list->item(0, 1)->text(), QStringLiteral("/media/alt"));
}

void ParameterSheetTest::editorRefusesNamesTheListCannotKeep() {
  test::MessageBoxFake box;
  DlgDirReplacement dialog(box, DirReplacement{});
  QVERIFY(dialog.form()->chkActive->isChecked());
  dialog.form()->editOld->setText(QStringLiteral("/a|b"));
  dialog.form()->editNew->setText(QStringLiteral("/c"));
  QTest::mouseClick(dialog.form()->btnOk, Qt::LeftButton);
  QCOMPARE(box.boxes.size(), std::size_t{1});
  QVERIFY(QString::fromStdString(box.boxes[0].text).contains(QLatin1Char('|')));
  QCOMPARE(dialog.result(), 0);
  QCOMPARE(dialog.form()->editOld->text(), QStringLiteral("/a|b"));  // fields kept
  QCOMPARE(dialog.focusWidget(), dialog.form()->editOld);

  box.clear();
  dialog.form()->editOld->setText(QStringLiteral("/a"));
  dialog.form()->editNew->setText(QStringLiteral("/c;d"));
  QTest::mouseClick(dialog.form()->btnOk, Qt::LeftButton);
  QCOMPARE(box.boxes.size(), std::size_t{1});
  QVERIFY(QString::fromStdString(box.boxes[0].text).contains(QLatin1Char(';')));
  QCOMPARE(dialog.form()->editNew->text(), QStringLiteral("/c;d"));
  QCOMPARE(dialog.focusWidget(), dialog.form()->editNew);

  // A "|" in the new name is kept by the stored list; empty names are accepted.
  box.clear();
  dialog.form()->editNew->setText(QStringLiteral("/c|d"));
  QTest::mouseClick(dialog.form()->btnOk, Qt::LeftButton);
  QVERIFY(box.boxes.empty());
  QCOMPARE(dialog.result(), int(QDialog::Accepted));
  QCOMPARE(dialog.entry().newName, std::string("/c|d"));
  QVERIFY(DlgDirReplacement::refusalOf(QString(), QString()).isEmpty());
}

void ParameterSheetTest::okWithBothSwitchesOffAsksNothing() {
  test::AppFixture f;
  const QByteArray bytes = fullSettings(0, 0);
  f.writeSettings(bytes);
  test::MessageBoxFake box;
  PageSichern backup(*f.app, box);
  PageRuecksichern restore(*f.app, box);
  box.clear();
  {
    SheetParameter sheet(*f.app, box);
    QTest::mouseClick(sheet.form()->btnOk, Qt::LeftButton);
  }
  applyReplacementAfterOk(&backup, &restore, *f.app, box);
  QVERIFY(box.boxes.empty());
  QCOMPARE(f.settingsBytes(), bytes);
}

void ParameterSheetTest::replacementThroughTheWindowMatchesTheEngine() {
  // The engine's own functions on one copy of the file...
  test::AppFixture engine;
  engine.writeSettings(fullSettings(1, 1));
  {
    SettingsFile settings(engine.settingsPath());
    QVERIFY(ReplaceInBackupSettings(settings));
    QVERIFY(ReplaceInRestoreSettings(settings));
  }
  // ...and the window on another, answering Yes.
  test::AppFixture f;
  f.writeSettings(fullSettings(1, 1));
  test::MessageBoxFake box;
  PageSichern backup(*f.app, box);
  PageRuecksichern restore(*f.app, box);
  box.clear();
  applyReplacementAfterOk(&backup, &restore, *f.app, box);
  QCOMPARE(box.boxes.size(), std::size_t{1});
  QCOMPARE(box.boxes[0].kind, 5);
  QCOMPARE(box.boxes[0].text, std::string("Sollen alle Verzeichnisnamen (Teilnamen) ausgetauscht werden?\r\nEs wird "
                                     "dadurch die INI-Datei modifiziert."));
  QCOMPARE(f.settingsBytes(), engine.settingsBytes());
  QVERIFY(f.settingsBytes() != fullSettings(1, 1));
  // Both pages show the rewritten values.
  QCOMPARE(restore.form()->editPathSrc->text(), QStringLiteral("/media/neu/Texte"));
  QCOMPARE(restore.form()->editPathDst->text(), QStringLiteral("/home/anna/zurück"));
  QCOMPARE(backup.jobList().at(0).destination, std::string("/media/neu/Texte"));
  QCOMPARE(backup.options().Protokolldatei, std::string("/media/neu/log/sich.log"));
}

void ParameterSheetTest::answerNoRewritesNothing() {
  test::AppFixture f;
  f.writeSettings(fullSettings(1, 1));
  test::MessageBoxFake box;
  PageRuecksichern restore(*f.app, box);
  box.answer = MB_RESULT_NO;
  applyReplacementAfterOk(nullptr, &restore, *f.app, box);
  QCOMPARE(box.boxes.size(), std::size_t{1});
  QCOMPARE(f.settingsBytes(), fullSettings(1, 1));
  // The sheet asks before it stores its list: "Nein" writes nothing, not even the switches.
  f.writeSettings(kStored);
  box.clear();
  SheetParameter sheet(*f.app, box);
  sheet.show();
  sheet.page()->form()->chkRuecksichern->click();
  QTest::mouseClick(sheet.form()->btnOk, Qt::LeftButton);
  QCOMPARE(box.boxes.size(), std::size_t{1});
  QVERIFY(sheet.isVisible() && !sheet.replacementConfirmed());
  QCOMPARE(f.settingsBytes(), kStored);
}

void ParameterSheetTest::onlyBackupSwitch() {
  test::AppFixture f;
  f.writeSettings(fullSettings(1, 0));
  test::MessageBoxFake box;
  PageSichern backup(*f.app, box);
  PageRuecksichern restore(*f.app, box);
  box.clear();
  applyReplacementAfterOk(&backup, &restore, *f.app, box);
  const RestoreOptions r = SettingsFile(f.settingsPath()).loadRestoreOptions();
  QCOMPARE(r.PathSrc, std::string("/media/alt/Texte"));
  QCOMPARE(SettingsFile(f.settingsPath()).loadBackupOptions().Prueffile, std::string("/media/neu/pruef.txt"));
}

void ParameterSheetTest::tenThousandRows() {
  test::AppFixture f;
  QByteArray bytes = "[Verzeichnisse]\r\n";
  for (int i = 1; i <= 10000; ++i)
    bytes += "Verz" + QByteArray::number(i) + "=1|/alt/" + QByteArray::number(i) + "|/neu/" + QByteArray::number(i) +
             "\r\n";
  f.writeSettings(bytes);
  test::MessageBoxFake box;
  SheetParameter sheet(*f.app, box);
  PageDirReplacement* page = sheet.page();
  QCOMPARE(page->rowCount(), 10000);
  QCOMPARE(page->entryAt(9999).oldName, std::string("/alt/10000"));
  // Every other row selected, then deleted.
  QTableWidget* list = page->form()->listReplacements;
  QItemSelection selection;
  for (int r = 0; r < 10000; r += 2) selection.select(list->model()->index(r, 0), list->model()->index(r, 2));
  list->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
  page->deleteEntries();
  QCOMPARE(box.boxes.back().text, std::string("Sollen alle markierten Einträge gelöscht werden ?\nAnzahl = 5000"));
  QCOMPARE(page->rowCount(), 5000);
  QCOMPARE(page->entryAt(0).oldName, std::string("/alt/2"));
  QTest::mouseClick(sheet.form()->btnOk, Qt::LeftButton);
  const DirReplacementList stored = SettingsFile(f.settingsPath()).loadDirReplacementList();
  QCOMPARE(stored.entries.size(), std::size_t{5000});
  QCOMPARE(stored.entries.back().newName, std::string("/neu/10000"));
}

QTEST_MAIN(ParameterSheetTest)
#include "ParameterSheetTest.moc"
