// The date dialog "Datumswerte eingeben" against a real settings file.
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

#include "DialogTestSupport.h"
#include "app/DateText.h"
#include "ui/DialogTexts.h"
#include "ui/DlgDatum.h"

using namespace kalvero;

namespace {

DateTime At(const char* text) { return InterpretDateText(text).value; }

}  // namespace

class DlgDatumTest : public QObject {
  Q_OBJECT

  std::unique_ptr<test::DialogTempDir> dir_;
  std::string ini_;
  test::MessageBoxFake boxes_;
  DateTime now_ = At("15.06.2010 14:30:05");

  std::unique_ptr<DlgDatum> open() {
    return std::make_unique<DlgDatum>(ini_, boxes_, nullptr, [this] { return now_; });
  }
  template <class T>
  static T* find(QWidget* w, const char* name) {
    T* child = w->findChild<T*>(QString::fromLatin1(name));
    if (!child) qFatal("missing control %s", name);
    return child;
  }
  static QString text(QWidget* w, const char* label) { return find<QLabel>(w, label)->text(); }
  static void type(QWidget* w, const char* edit, const QString& value) {
    QLineEdit* e = find<QLineEdit>(w, edit);
    e->clear();
    bool ascii = true;
    for (QChar c : value) ascii = ascii && c.unicode() >= 0x20 && c.unicode() < 0x7f;
    if (ascii && value.size() < 100)
      QTest::keyClicks(e, value);
    else
      e->setText(value);  // the key simulation knows no umlauts; long texts are pasted
  }
  std::string serial(const char* date) { return std::to_string(At(date).serial()); }

 private slots:
  void init() {
    dir_ = std::make_unique<test::DialogTempDir>();
    ini_ = *dir_ / "kalvero.INI";
    boxes_.boxes.clear();
  }

  void opensWithTheStoredValues() {
    test::writeFile(ini_, "[Datum]\r\nTyp=1\r\nDatumVon=" + serial("2.1.2005 12:00") +
                              "\r\nDatumBis=\r\nStunden= 48x\r\n");
    auto dlg = open();
    QCOMPARE(find<QLineEdit>(dlg.get(), "editFrom")->text(), QString("02.01.2005 12:00:00"));
    QCOMPARE(find<QLineEdit>(dlg.get(), "editTo")->text(), QString());
    // The labels show the form the fields hold.
    QVERIFY(text(dlg.get(), "labelFrom").endsWith("(tt.mm.jjjj hh:mm:ss)"));
    QVERIFY(text(dlg.get(), "labelTo").endsWith("(tt.mm.jjjj hh:mm:ss)"));
    QCOMPARE(find<QLineEdit>(dlg.get(), "editHours")->text(), QString("48x"));
    QCOMPARE(find<QLineEdit>(dlg.get(), "editToday")->text(), QString("15.06.2010 14:30:05"));
    QVERIFY(find<QLineEdit>(dlg.get(), "editToday")->isReadOnly());
    QVERIFY(find<QRadioButton>(dlg.get(), "radioRelative")->isChecked());
    // Enabling rule: relative form, only the hours field is open.
    QVERIFY(!find<QLineEdit>(dlg.get(), "editFrom")->isEnabled());
    QVERIFY(!find<QLineEdit>(dlg.get(), "editTo")->isEnabled());
    QVERIFY(find<QLineEdit>(dlg.get(), "editHours")->isEnabled());
    QCOMPARE(text(dlg.get(), "labelHoursShown"), QString("13.06.2010 14:30:05"));
    QCOMPARE(text(dlg.get(), "labelSummary"), QString("Nur Dateien mit Änderungsdatum >= '13.06.2010 14:30:05' sichern"));
    QTest::mouseClick(find<QRadioButton>(dlg.get(), "radioAbsolute"), Qt::LeftButton);
    QVERIFY(find<QLineEdit>(dlg.get(), "editFrom")->isEnabled());
    QVERIFY(find<QLineEdit>(dlg.get(), "editTo")->isEnabled());
    QVERIFY(!find<QLineEdit>(dlg.get(), "editHours")->isEnabled());
    QCOMPARE(text(dlg.get(), "labelSummary"), QString("Nur Dateien mit Änderungsdatum >= '02.01.2005 12:00:00' sichern"));
  }

  void coloursAndTexts() {
    auto dlg = open();
    QCOMPARE(dlg->windowTitle(), QString("Datumswerte eingeben"));
    for (const char* navy : {"labelCheckAbsolute", "labelFromShown", "labelToShown", "labelSummary",
                             "labelCheckRelative", "labelHoursShown"})
      QCOMPARE(find<QLabel>(dlg.get(), navy)->palette().color(QPalette::WindowText), QColor(Qt::darkBlue));
    QLabel* explanation = find<QLabel>(dlg.get(), "labelExplanation");
    QCOMPARE(explanation->palette().color(QPalette::WindowText), QColor(Qt::darkCyan));
    QCOMPARE(explanation->text(), QString::fromUtf8(dlgtext::kExplanation));
    QVERIFY(find<QRadioButton>(dlg.get(), "radioAbsolute")->isChecked());  // nothing stored: Typ 0
  }

  void interpretsTypedDates() {
    auto dlg = open();
    type(dlg.get(), "editFrom", "1.2.2005");
    QCOMPARE(text(dlg.get(), "labelFromShown"), QString("01.02.2005 00:00:00"));
    QCOMPARE(text(dlg.get(), "labelSummary"), QString("Nur Dateien mit Änderungsdatum >= '01.02.2005 00:00:00' sichern"));
    type(dlg.get(), "editTo", "3.2.2005 7:8:9");
    QCOMPARE(text(dlg.get(), "labelSummary"),
             QString("Nur Dateien mit Änderungsdatum zwischen\n'01.02.2005 00:00:00' und '03.02.2005 07:08:09' sichern"));
    type(dlg.get(), "editFrom", "01.02.05");
    QCOMPARE(text(dlg.get(), "labelFromShown"), QString::fromUtf8(dlgtext::kInvalidDate));
    QCOMPARE(text(dlg.get(), "labelSummary"), QString("Nur Dateien mit Änderungsdatum <= '03.02.2005 07:08:09' sichern"));
    type(dlg.get(), "editTo", "   ");
    QCOMPARE(text(dlg.get(), "labelToShown"), QString());
    QCOMPARE(text(dlg.get(), "labelSummary"), QString::fromUtf8(dlgtext::kNoDate));
  }

  void badInputShowsInvalidAndStoresNothingUnconfirmed() {
    test::writeFile(ini_, "[Datum]\nTyp=0\n");
    const std::string before = test::readFile(ini_);
    auto dlg = open();
    for (const QString& junk : {QString("31.02.2005"), QString("99999999.1.1"), QString("..//--::"),
                                QString("äöü ÄÖÜ ß"), QString(5000, QChar('9')), QString("1.1.1.1.1.1.1.1.1.1")}) {
      type(dlg.get(), "editFrom", junk);
      QCOMPARE(text(dlg.get(), "labelFromShown"), QString::fromUtf8(dlgtext::kInvalidDate));
    }
    QTest::mouseClick(find<QRadioButton>(dlg.get(), "radioRelative"), Qt::LeftButton);
    for (const QString& hours : {QString("99999999999999999999"), QString("-99999999999999"), QString("-5")}) {
      type(dlg.get(), "editHours", hours);
      QVERIFY(!text(dlg.get(), "labelHoursShown").isEmpty());
    }
    QCOMPARE(text(dlg.get(), "labelHoursShown"), QString("15.06.2010 19:30:05"));  // -5 hours: the future
    type(dlg.get(), "editHours", "99999999999999999999");
    QCOMPARE(text(dlg.get(), "labelHoursShown"), QString::fromUtf8(dlgtext::kInvalidDate));
    QCOMPARE(text(dlg.get(), "labelSummary"), QString::fromUtf8(dlgtext::kNoDate));
    find<QPushButton>(dlg.get(), "btnCancel")->click();
    QCOMPARE(test::readFile(ini_), before);
  }

  void invalidDateIsStoredEmpty() {
    test::writeFile(ini_, "[Datum]\r\nTyp=0\r\nDatumVon=" + serial("1.1.2004") + "\r\nDatumBis=" +
                              serial("1.1.2006") + "\r\nStunden=12\r\n");
    auto dlg = open();
    type(dlg.get(), "editFrom", "01.02.05");
    find<QPushButton>(dlg.get(), "btnOk")->click();
    QCOMPARE(dlg->result(), int(QDialog::Accepted));
    const std::string stored = test::readFile(ini_);
    QVERIFY2(stored.find("DatumVon=\r\n") != std::string::npos, stored.c_str());
    QVERIFY(stored.find("DatumBis=" + serial("1.1.2006").substr(0, 5)) != std::string::npos);
    QVERIFY(stored.find("Stunden=12\r\n") != std::string::npos);
    QCOMPARE(boxes_.boxes.size(), size_t(0));
  }

  void fromAfterToIsRefused() {
    test::writeFile(ini_, "[Datum]\r\nTyp=1\r\nStunden=3\r\n");
    const std::string before = test::readFile(ini_);
    auto dlg = open();
    QTest::mouseClick(find<QRadioButton>(dlg.get(), "radioAbsolute"), Qt::LeftButton);
    type(dlg.get(), "editFrom", "02.01.2005");
    type(dlg.get(), "editTo", "01.01.2005");
    dlg->show();
    find<QPushButton>(dlg.get(), "btnOk")->click();
    QCOMPARE(boxes_.boxes.size(), size_t(1));
    QCOMPARE(boxes_.boxes[0].kind, 2);
    QCOMPARE(boxes_.lastText(), std::string("Das Von-Datum muß kleiner gleich dem Bis-Datum sein!"));
    QVERIFY(dlg->isVisible());  // stays open
    QCOMPARE(test::readFile(ini_), before);
    // Equal bounds are allowed.
    type(dlg.get(), "editTo", "02.01.2005");
    find<QPushButton>(dlg.get(), "btnOk")->click();
    QCOMPARE(dlg->result(), int(QDialog::Accepted));
    QCOMPARE(boxes_.boxes.size(), size_t(1));
  }

  void relativeFormStoresHoursAndTypLast() {
    auto dlg = open();
    QTest::mouseClick(find<QRadioButton>(dlg.get(), "radioRelative"), Qt::LeftButton);
    type(dlg.get(), "editHours", "  24 ");
    QCOMPARE(text(dlg.get(), "labelHoursShown"), QString("14.06.2010 14:30:05"));
    find<QPushButton>(dlg.get(), "btnOk")->click();
    QCOMPARE(dlg->result(), int(QDialog::Accepted));
    const std::string stored = test::readFile(ini_);
    QCOMPARE(stored, std::string("[Datum]\r\nStunden=24\r\nTyp=1\r\n"));
  }

  void relativeFormKeepsTheAbsoluteDates() {
    const std::string von = serial("1.1.2004"), bis = serial("1.1.2006");
    test::writeFile(ini_, "[Datum]\r\nDatumVon=" + von + "\r\nDatumBis=" + bis + "\r\nTyp=0\r\n");
    auto dlg = open();
    QTest::mouseClick(find<QRadioButton>(dlg.get(), "radioRelative"), Qt::LeftButton);
    type(dlg.get(), "editHours", "24");
    find<QPushButton>(dlg.get(), "btnOk")->click();
    StoredDateValues v = ReadStoredDateValues(ini_);
    QCOMPARE(v.typ, 1);
    QCOMPARE(QString::fromStdString(v.from.format()), QString("01.01.2004 00:00:00"));
    QCOMPARE(QString::fromStdString(v.to.format()), QString("01.01.2006 00:00:00"));
    QCOMPARE(QString::fromStdString(v.hoursText), QString("24"));
  }

  void cancelLeavesTheFileByteIdentical() {
    test::writeFile(ini_, "; mine\n[Datum]\nTyp=0\nDatumVon=" + serial("1.1.2004") + "\n[Allg]\nX=1\n");
    const std::string before = test::readFile(ini_);
    auto dlg = open();
    type(dlg.get(), "editFrom", "5.5.2005");
    type(dlg.get(), "editTo", "6.5.2005");
    QTest::mouseClick(find<QRadioButton>(dlg.get(), "radioRelative"), Qt::LeftButton);
    type(dlg.get(), "editHours", "7");
    find<QPushButton>(dlg.get(), "btnCancel")->click();
    QCOMPARE(dlg->result(), int(QDialog::Rejected));
    QCOMPARE(test::readFile(ini_), before);
    // Escape is the same as "Abbrechen".
    auto again = open();
    again->show();
    type(again.get(), "editFrom", "5.5.2005");
    QTest::keyClick(again.get(), Qt::Key_Escape);
    QCOMPARE(test::readFile(ini_), before);
  }
};

QTEST_MAIN(DlgDatumTest)
#include "DlgDatumTest.moc"
