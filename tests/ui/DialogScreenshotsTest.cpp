// Pictures of the dialogs for the README (scripts/screenshots-dialogs.sh).
// Skipped unless KALVERO_SCREENSHOT_DIR names the output directory.
#include <QLineEdit>
#include <QRadioButton>
#include <QTableWidget>
#include <QtTest>

#include "DialogTestSupport.h"
#include "ui/DlgDatum.h"
#include "ui/DlgHinweis.h"
#include "ui/DlgInfo.h"
#include "ui/DlgNegativliste.h"
#include "ui/DlgPaar.h"
#include "ui/DlgSichernErweitert.h"
#include "ui/DlgZeitplan.h"
#include "ui/PageSichern.h"
#include "ui_DlgZeitplan.h"

using namespace kalvero;

namespace {

DirPair Pair(int active, int sub, const std::string& src, const std::string& dst) {
  DirPair p;
  p.active = active;
  p.withSubdirs = sub;
  p.source = src;
  p.destination = dst;
  return p;
}

JobList Example() {
  DirPair docs = Pair(1, 1, "/home/anna/Dokumente", "/media/anna/Sicherung/Dokumente");
  docs.excluded = {{1, "/home/anna/Dokumente/Temp"}, {0, "/home/anna/Dokumente/Überträge"}};
  return {docs, Pair(1, 0, "/home/anna/Bilder", "/media/anna/Sicherung/Bilder"),
          Pair(0, 1, "/srv/projekte", "/media/anna/Sicherung/Projekte")};
}

}  // namespace

class DialogScreenshotsTest : public QObject {
  Q_OBJECT
  QString out_;
  bool save(QWidget* w, const char* name) {
    w->show();
    if (!QTest::qWaitForWindowExposed(w)) return false;
    QCoreApplication::processEvents();
    return w->grab().save(out_ + "/" + name + ".png");
  }

 private slots:
  void screenshots() {
    out_ = qEnvironmentVariable("KALVERO_SCREENSHOT_DIR");
    if (out_.isEmpty()) QSKIP("KALVERO_SCREENSHOT_DIR not set");
    test::AppFixture fx;
    test::MessageBoxFake boxes;
    test::writeFile(fx.settingsPath(),
                     "[Datum]\r\nTyp=0\r\nDatumVon=38353\r\nDatumBis=38383.5\r\nStunden=24\r\n");
    PageSichern page(*fx.app, boxes);
    page.setJobList(Example());
    page.selectPair(0);

    auto* pair = new DlgPaar(page, boxes);
    pair->show();
    pair->load(true);
    QVERIFY(save(pair, "dlg-paar"));
    pair->openNegativeEditor();
    QVERIFY(save(pair->negativeEditor(), "dlg-negativliste"));
    pair->done(QDialog::Rejected);

    DlgSichernErweitert extended(Example(), boxes);
    extended.resize(extended.sizeHint().expandedTo(QSize(760, 260)));
    QVERIFY(save(&extended, "dlg-sichern-erweitert"));

    DlgDatum date(fx.settingsPath(), boxes, nullptr, [] { return DateTime::fromSerial(40344.6042245370); });
    QVERIFY(save(&date, "dlg-datum"));
    date.findChild<QRadioButton*>("radioRelative")->click();
    QVERIFY(save(&date, "dlg-datum-relativ"));

    DlgInfo info("/home/anna/.config/kalvero/kalvero.INI", "/tmp/Kalvero-1000/", Application::versionText());
    QVERIFY(save(&info, "dlg-info"));

    test::SystemctlStandIn systemctl;
    DlgZeitplan schedule("/usr/bin/kalvero-cli", fx.settingsPath(), boxes);
    schedule.form()->radioWeekly->click();
    schedule.form()->timeWeekly->setTime(QTime(20, 15));
    QVERIFY(save(&schedule, "dlg-zeitplan"));

    QWidget owner;
    DlgHinweis* hint = DlgHinweis::open(&owner, HintKind::Patterns);
    QVERIFY(save(hint, "dlg-hinweis-muster"));
    hint = DlgHinweis::open(&owner, HintKind::Extensions);
    QVERIFY(save(hint, "dlg-hinweis-erweiterungen"));
  }
};

QTEST_MAIN(DialogScreenshotsTest)
#include "DialogScreenshotsTest.moc"
