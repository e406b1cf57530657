// "Sichern - Erweitert" on its own copy of the job list.
#include <QHeaderView>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QtTest>

#include "DialogTestSupport.h"
#include "ui/DlgSichernErweitert.h"
#include "ui/PageSichern.h"

using namespace kalvero;

namespace {

DirPair Pair(const std::string& src, const std::string& dst, int active = 1, int sub = 1, bool excluded = false) {
  DirPair p;
  p.active = active;
  p.withSubdirs = sub;
  p.source = src;
  p.destination = dst;
  if (excluded) p.excluded.push_back({1, src + "/tmp"});
  return p;
}

std::vector<std::string> Destinations(const JobList& jobs) {
  std::vector<std::string> out;
  for (const DirPair& p : jobs) out.push_back(p.destination);
  return out;
}

}  // namespace

class DlgSichernErweitertTest : public QObject {
  Q_OBJECT
  test::MessageBoxFake boxes_;
  JobList jobs_ = {Pair("/q/b", "/z/beta"), Pair("/q/a", "/z/Alpha", 0, 0, true), Pair("/q/c", "/z/gamma", 1, 0)};

  static QTableWidget* list(QDialog& d) { return d.findChild<QTableWidget*>("listJobs"); }
  static QPushButton* button(QDialog& d, const char* name) { return d.findChild<QPushButton*>(name); }

 private slots:
  void init() { boxes_.boxes.clear(); boxes_.answer = MB_RESULT_YES; }

  // The thinning numbers shown and changed in the dialog reach the page,
  // count as a change there and are saved with its options.
  void thinningReachesThePageAndTheFile() {
    test::AppFixture fx;
    fx.writeSettings(QByteArray("[Allg]\r\nAusduennenTage=7\r\nProtokolldatei=") +
                     QByteArray::fromStdString(fx.path(QStringLiteral("sichern.log"))) + "\r\n");
    PageSichern page(*fx.app, boxes_);
    DlgSichernErweitert dlg(page.jobList(), boxes_);
    dlg.showThinning(page.options());
    QCOMPARE(dlg.findChild<QSpinBox*>("spinThinDays")->value(), 7);
    dlg.findChild<QSpinBox*>("spinThinWeeks")->setValue(4);
    BackupOptions o = page.options();
    dlg.takeThinning(o);
    page.setThinning(o);
    QVERIFY(page.hasUnsavedChanges());
    QVERIFY(page.saveSettings());
    QVERIFY(fx.settingsBytes().contains("AusduennenTage=7"));
    QVERIFY(fx.settingsBytes().contains("AusduennenWochen=4"));
  }

  void showsThePagesColumns() {
    DlgSichernErweitert dlg(jobs_, boxes_);
    QCOMPARE(dlg.windowTitle(), QString("Sichern - Erweitert"));
    QVERIFY(dlg.windowFlags() & Qt::WindowMaximizeButtonHint);
    QTableWidget* l = list(dlg);
    QCOMPARE(l->rowCount(), 3);
    QStringList headers;
    for (int c = 0; c < l->columnCount(); ++c) headers << l->horizontalHeaderItem(c)->text();
    QCOMPARE(headers, QStringList({"KZ", "Aktiv", "Unterverzeichnis", "Negativliste", "Quellverzeichnis",
                                   "Zielverzeichnis"}));
    QCOMPARE(l->item(1, 1)->text(), QString("Nein"));
    QCOMPARE(l->item(1, 3)->text(), QString("Ja"));
    QCOMPARE(l->item(0, 4)->text(), QString("/q/b"));
    QVERIFY(!l->item(0, 0)->icon().isNull());
    QCOMPARE(l->selectionModel()->selectedRows().size(), 1);
    QCOMPARE(l->selectionModel()->selectedRows().first().row(), 0);
    QVERIFY(!dlg.changed());
  }

  void sortsEachColumnDescendingFirst() {
    DlgSichernErweitert dlg(jobs_, boxes_);
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    QHeaderView* header = list(dlg)->horizontalHeader();
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                      QPoint(header->sectionViewportPosition(5) + 5, header->height() / 2));
    QCOMPARE(Destinations(dlg.jobs()), std::vector<std::string>({"/z/gamma", "/z/beta", "/z/Alpha"}));
    QVERIFY(dlg.changed());
    dlg.sortByColumn(DlgSichernErweitert::ColZiel);
    QCOMPARE(Destinations(dlg.jobs()), std::vector<std::string>({"/z/Alpha", "/z/beta", "/z/gamma"}));
    QCOMPARE(list(dlg)->item(0, 5)->text(), QString("/z/Alpha"));
    // Every column has its own direction: the first click on "Aktiv" is descending too.
    dlg.sortByColumn(DlgSichernErweitert::ColAktiv);
    QCOMPARE(dlg.jobs().back().active, 0);
    dlg.sortByColumn(DlgSichernErweitert::ColNegativliste);
    QVERIFY(!dlg.jobs().front().excluded.empty());
    dlg.sortByColumn(DlgSichernErweitert::ColKz);
    QVERIFY(imageIndexOfFront(dlg) >= imageIndexOfBack(dlg));
  }

  void deleteAsksAndCounts() {
    DlgSichernErweitert dlg(jobs_, boxes_);
    QTableWidget* l = list(dlg);
    l->clearSelection();
    button(dlg, "btnDelete")->click();
    QCOMPARE(boxes_.lastText(), std::string("Es sind keine Einträge markiert !"));
    QVERIFY(!dlg.changed());

    l->selectRow(1);
    boxes_.answer = MB_RESULT_NO;
    button(dlg, "btnDelete")->click();
    QCOMPARE(boxes_.boxes.back().kind, 5);
    QCOMPARE(boxes_.lastText(), std::string("Sollen der eine markierte Eintrag aus der Liste entfernt werden ?"));
    QCOMPARE(dlg.jobs().size(), size_t(3));
    QVERIFY(!dlg.changed());

    l->selectAll();
    boxes_.answer = MB_RESULT_YES;
    button(dlg, "btnDelete")->click();
    QCOMPARE(boxes_.lastText(), std::string("Sollen die 3 markierten Einträge aus der Liste entfernt werden ?"));
    QCOMPARE(dlg.jobs().size(), size_t(0));
    QCOMPARE(l->rowCount(), 0);
    QVERIFY(dlg.changed());
  }

  void checksItsOwnList() {
    test::DialogTempDir dir;
    dir.mkdir("da");
    JobList jobs = {Pair(dir / "fehlt", dir / "da")};
    DlgSichernErweitert dlg(jobs, boxes_);
    button(dlg, "btnCheck")->click();
    QCOMPARE(boxes_.boxes.back().kind, 1);
    QVERIFY(boxes_.lastText().find(dir / "fehlt") != std::string::npos);
    list(dlg)->selectRow(0);
    button(dlg, "btnDelete")->click();
    button(dlg, "btnCheck")->click();  // nothing left to miss
    QCOMPARE(boxes_.boxes.back().kind, 3);
  }

  void cancelAndCloseBoxReject() {
    DlgSichernErweitert dlg(jobs_, boxes_);
    dlg.show();
    dlg.sortByColumn(DlgSichernErweitert::ColQuelle);
    button(dlg, "btnCancel")->click();
    QCOMPARE(dlg.result(), int(QDialog::Rejected));
    DlgSichernErweitert again(jobs_, boxes_);
    again.show();
    again.close();
    QCOMPARE(again.result(), int(QDialog::Rejected));
  }

  void thousandPairsWithLongPaths() {
    JobList many;
    for (int i = 0; i < 1000; ++i)
      many.push_back(Pair("/q/" + std::string(3000, char('a' + i % 26)) + std::to_string(i),
                          "/z/" + std::to_string(999 - i), i % 2, 1, i % 3 == 0));
    DlgSichernErweitert dlg(many, boxes_);
    dlg.resize(800, 500);
    dlg.show();
    dlg.sortByColumn(DlgSichernErweitert::ColQuelle);
    dlg.sortByColumn(DlgSichernErweitert::ColZiel);
    QCOMPARE(dlg.jobs().size(), size_t(1000));
    QCOMPARE(dlg.jobs().front().destination, std::string("/z/999"));
    list(dlg)->selectAll();
    button(dlg, "btnDelete")->click();
    QCOMPARE(dlg.jobs().size(), size_t(0));
  }

 private:
  static int imageIndexOfFront(const DlgSichernErweitert& d) { return imageIndex(d.jobs().front()); }
  static int imageIndexOfBack(const DlgSichernErweitert& d) { return imageIndex(d.jobs().back()); }
  static int imageIndex(const DirPair& p) { return p.active + 2 * p.withSubdirs + 4 * !p.excluded.empty(); }
};

QTEST_MAIN(DlgSichernErweitertTest)
#include "DlgSichernErweitertTest.moc"
