// "Versionen ...": the states of a file in dated folders made by hand, and
// one of them put back beside the file with the keyboard alone.
#include <QFileDialog>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QtTest>
#include <string>

#include "DialogTestSupport.h"
#include "run/DatedFolders.h"
#include "ui/DlgVersionen.h"

using namespace kalvero;

class DlgVersionenTest : public QObject {
  Q_OBJECT

 private slots:
  void listsTheStatesAndRestoresOneBesideByKeyboard() {
    test::DialogTempDir dir;
    const std::string source = dir / "quelle";
    for (const char* d : {"quelle", "ziel/2026_11_02", "ziel/2026_11_05"}) dir.mkdir(d);
    test::writeFile(dir / "quelle/notiz.txt", "heute");
    test::writeFile(dir / "ziel/2026_11_02/notiz.txt", "alter Stand");
    test::writeFile(dir / "ziel/2026_11_05/notiz.txt", "neuerer Stand");
    int err = 0;
    QVERIFY(MarkStateComplete(dir / "ziel/2026_11_02", "fertig", &err));
    VersionList list = FindVersions({DirPair{1, 1, source, dir / "ziel", {}}}, dir / "quelle/notiz.txt");
    QCOMPARE(list.versions.size(), std::size_t(2));

    DlgVersionen dlg(std::move(list));
    dlg.show();
    dlg.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&dlg));
    auto* tree = dlg.findChild<QTreeWidget*>(QStringLiteral("listVersions"));
    QCOMPARE(tree->topLevelItemCount(), 2);
    QCOMPARE(tree->topLevelItem(0)->text(0), QStringLiteral("2026-11-05 (unvollständig)"));
    QCOMPARE(tree->topLevelItem(1)->text(0), QStringLiteral("2026-11-02"));
    QCOMPARE(tree->topLevelItem(1)->text(1), QStringLiteral("11"));
    QCOMPARE(QApplication::focusWidget(), tree);

    QTest::keyClick(tree, Qt::Key_Down);
    QTest::keyClick(tree, Qt::Key_D, Qt::AltModifier);
    const std::string beside = dir / "quelle/notiz (Stand 2026-11-02).txt";
    auto* result = dlg.findChild<QLabel*>(QStringLiteral("labelResult"));
    QTRY_VERIFY(result->text().contains(QString::fromStdString(beside)));  // a mnemonic clicks after a short delay
    QCOMPARE(test::readFile(beside), std::string("alter Stand"));
    QCOMPARE(test::readFile(dir / "quelle/notiz.txt"), std::string("heute"));

    // Once more: the first name is taken now, the next one is numbered.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_D, Qt::AltModifier);
    QTRY_VERIFY(result->text().contains(QStringLiteral("(Stand 2026-11-02) 2.txt")));
    QCOMPARE(test::readFile(dir / "quelle/notiz (Stand 2026-11-02) 2.txt"), std::string("alter Stand"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    QVERIFY(!dlg.isVisible());
  }

  // The question takes a file, and with nothing chosen the folder it shows.
  void asksForAFileOrAFolder() {
    test::DialogTempDir dir;
    dir.mkdir("quelle/Ordner");
    test::writeFile(dir / "quelle/notiz.txt", "x");
    const QString start = QString::fromStdString(dir / "quelle");
    auto answer = [](const QString& file) {
      QTimer::singleShot(0, [file] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        if (!file.isEmpty()) dialog->selectFile(file);
        QMetaObject::invokeMethod(dialog, "accept");
      });
    };
    answer(QStringLiteral("notiz.txt"));
    QCOMPARE(DlgVersionen::askPath(nullptr, start), start + "/notiz.txt");
    answer({});
    QCOMPARE(DlgVersionen::askPath(nullptr, start + "/Ordner"), start + "/Ordner");
  }

  // The dialog with a few states, as a picture (only with KALVERO_SCREENSHOT_DIR).
  void screenshot() {
    const QString out = qEnvironmentVariable("KALVERO_SCREENSHOT_DIR");
    if (out.isEmpty()) QSKIP("KALVERO_SCREENSHOT_DIR not set");
    test::DialogTempDir dir;
    const char* days[] = {"2026_11_02", "2026_11_03", "2026_11_04", "2026_11_09", "2026_12_01"};
    std::string text = "Stand";
    for (const char* day : days) {
      dir.mkdir((std::string("ziel/") + day + "/Briefe").c_str());
      text += " und mehr";
      test::writeFile(dir / "ziel" + "/" + day + "/Briefe/Antrag Wohngeld 2026.odt", text);
      int err = 0;
      if (std::string(day) != "2026_12_01") QVERIFY(MarkStateComplete(dir / "ziel" + "/" + day, "fertig", &err));
    }
    dir.mkdir("quelle/Briefe");
    DlgVersionen dlg(FindVersions({DirPair{1, 1, dir / "quelle", dir / "ziel", {}}},
                                  dir / "quelle/Briefe/Antrag Wohngeld 2026.odt"));
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    dlg.restoreChosen();
    QVERIFY(dlg.grab().save(out + "/dlg-versionen.png"));
  }
};

QTEST_MAIN(DlgVersionenTest)
#include "DlgVersionenTest.moc"
