// The information dialog and the hint window.
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest>

#include "ui/DesktopOpener.h"
#include "ui/DialogTexts.h"
#include "ui/DlgHinweis.h"
#include "ui/DlgInfo.h"

using namespace kalvero;

class DlgInfoHinweisTest : public QObject {
  Q_OBJECT

  static QList<DlgHinweis*> hints(QWidget& owner) {
    QList<DlgHinweis*> shown;
    for (DlgHinweis* h : owner.findChildren<DlgHinweis*>())
      if (!h->isHidden()) shown << h;
    return shown;
  }

 private slots:
  void infoShowsVersionPathsAndTips() {
    DlgInfo dlg("/home/ä b/.config/kalvero/kalvero.INI", "/tmp/Kalvero-0/", "1,0,0,0");
    QCOMPARE(dlg.windowTitle(), QString("Info über Kalvero"));
    QCOMPARE(dlg.findChild<QLabel*>("labelProduct")->text(), QString("Kalvero   Version"));
    QCOMPARE(dlg.findChild<QLabel*>("labelVersion")->text(), QString("1,0,0,0"));
    QCOMPARE(dlg.findChild<QLabel*>("labelCallParameters")->text(),
             QString("Aufrufparameter:\n/Batch\t\tBatchmodus (automatischer Start)\n/Ini=Inidatei\tVerzeichnis und "
                     "Name der INI-Datei"));
    QVERIFY(!dlg.findChild<QLabel*>("labelIcon")->pixmap().isNull());
    QLineEdit* ini = dlg.findChild<QLineEdit*>("editIniFile");
    QLineEdit* temp = dlg.findChild<QLineEdit*>("editTempDir");
    QCOMPARE(ini->text(), QString("/home/ä b/.config/kalvero/kalvero.INI"));
    QVERIFY(ini->isReadOnly() && temp->isReadOnly());
    QCOMPARE(temp->text(), QString("/tmp/Kalvero-0/"));
    QCOMPARE(dlg.findChild<QPushButton*>("btnOk")->toolTip(), QString("Fenster schließen"));
    QCOMPARE(temp->toolTip(), QString("Verzeichnis, wo temporäre Dateien abgelegt werden"));
  }

  void doubleClicksOpenThePaths() {
    QStringList opened;
    setDesktopOpenerForTests([&](const QString& p) { opened << p; });
    DlgInfo dlg("/x/kalvero.INI", "/tmp/K/", "1,0,0,0");
    dlg.show();
    QLineEdit* ini = dlg.findChild<QLineEdit*>("editIniFile");
    QLineEdit* temp = dlg.findChild<QLineEdit*>("editTempDir");
    QTest::mouseClick(ini, Qt::LeftButton);
    QTest::mouseDClick(ini, Qt::RightButton);
    QVERIFY(opened.isEmpty());
    QTest::mouseDClick(ini, Qt::LeftButton);
    QTest::mouseDClick(temp, Qt::LeftButton);
    setDesktopOpenerForTests({});
    QCOMPARE(opened, QStringList({"/x/kalvero.INI", "/tmp/K/"}));
  }

  void oneHintWindowReplacedByTheOtherButton() {
    QWidget page;
    DlgHinweis* first = DlgHinweis::open(&page, HintKind::Patterns);
    QCOMPARE(first->windowTitle(), QString("Hinweise für die Eingabe von Dateimustern"));
    QCOMPARE(first->findChild<QPlainTextEdit*>("textHint")->toPlainText(),
             QString::fromUtf8(dlgtext::kHintPatterns).replace("\r\n", "\n"));
    QVERIFY(!first->isModal());
    DlgHinweis* second = DlgHinweis::open(&page, HintKind::Extensions);
    QCOMPARE(second, first);
    QCOMPARE(hints(page).size(), 1);
    QCOMPARE(second->windowTitle(), QString("Hinweise für die Eingabe von Dateierweiterungen"));
    QVERIFY(second->findChild<QPlainTextEdit*>("textHint")->toPlainText().startsWith(
        "Dateien mit den angegebenen Dateierweiterungen werden nicht komprimiert.\nMehrere"));
    QVERIFY(second->findChild<QPlainTextEdit*>("textHint")->isReadOnly());
  }

  void closingDestroysTheHintWindow() {
    QWidget page;
    for (int key : {int(Qt::Key_Escape), int(Qt::Key_Return), -1}) {
      QPointer<DlgHinweis> hint = DlgHinweis::open(&page, HintKind::Patterns);
      if (key < 0)
        hint->findChild<QPushButton*>("btnClose")->click();
      else
        QTest::keyClick(hint->findChild<QPlainTextEdit*>("textHint"), Qt::Key(key));  // where the focus is
      QTRY_VERIFY(hint.isNull());
      QCOMPARE(hints(page).size(), 0);
    }
    DlgHinweis* fresh = DlgHinweis::open(&page, HintKind::Extensions);
    QCOMPARE(hints(page).size(), 1);
    QCOMPARE(fresh->windowTitle(), QString("Hinweise für die Eingabe von Dateierweiterungen"));
  }
};

QTEST_MAIN(DlgInfoHinweisTest)
#include "DlgInfoHinweisTest.moc"
