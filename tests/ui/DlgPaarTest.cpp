// The pair editor and the negative-list editor on a real backup page.
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QtTest>

#include "DialogTestSupport.h"
#include "ui/DlgNegativliste.h"
#include "ui/DlgPaar.h"
#include "ui/JobListDialogs.h"
#include "ui/PageSichern.h"

using namespace kalvero;

namespace {

template <class T>
T* child(QWidget* w, const char* name) {
  T* c = w->findChild<T*>(QString::fromLatin1(name));
  if (!c) qFatal("no control %s", name);
  return c;
}
QLineEdit* edit(QWidget* w, const char* name) { return child<QLineEdit>(w, name); }
void click(QWidget* w, const char* name) { child<QPushButton>(w, name)->click(); }
bool startsWith(const std::string& s, const std::string& prefix) { return s.rfind(prefix, 0) == 0; }

DirPair Pair(const std::string& src, const std::string& dst) {
  DirPair p;
  p.source = src;
  p.destination = dst;
  return p;
}

}  // namespace

class DlgPaarTest : public QObject {
  Q_OBJECT

  std::unique_ptr<test::AppFixture> fx_;
  test::MessageBoxFake pageBoxes_, boxes_;
  std::unique_ptr<PageSichern> page_;

  QTableWidget* pageList() { return child<QTableWidget>(page_.get(), "listJobs"); }
  DlgPaar* openEditor() {
    auto* editor = new DlgPaar(*page_, boxes_);  // owned by the page, like the one the page opens
    editor->show();
    editor->load(true);
    return editor;
  }
  void selectOnPage(int row) { page_->selectPair(row); }

 private slots:
  void init() {
    fx_ = std::make_unique<test::AppFixture>();
    pageBoxes_ = {};
    boxes_ = {};
    page_ = std::make_unique<PageSichern>(*fx_->app, pageBoxes_);
  }
  void cleanup() {
    page_.reset();
    fx_.reset();
  }

  void firstOpeningWithAnEmptyList() {
    DlgPaar* e = openEditor();
    QCOMPARE(e->windowTitle(), QString("Neu oder Ändern"));
    QVERIFY(!e->isModal());
    QCOMPARE(edit(e, "editSource")->text(), QString());
    // A new pair runs as it stands.
    QVERIFY(child<QCheckBox>(e, "checkActive")->isChecked());
    QVERIFY(child<QCheckBox>(e, "checkSubdirs")->isChecked());
    QVERIFY(!child<QPushButton>(e, "btnChange")->isEnabled());
    e->change();
    QVERIFY(startsWith(boxes_.lastText(), "Änderung ist nicht möglich !\n"));  // ... and what to do instead
    click(e, "btnAdd");
    QCOMPARE(boxes_.lastText(), std::string("Nicht alle Felder ausgefüllt !"));
    QCOMPARE(page_->jobList().size(), size_t(0));
    edit(e, "editSource")->setText("/daten/");
    edit(e, "editDestination")->setText("/");
    click(e, "btnAdd");
    QCOMPARE(page_->jobList().size(), size_t(1));
    const DirPair& p = page_->jobList()[0];
    QCOMPARE(p.active, 1);
    QCOMPARE(p.withSubdirs, 1);
    QCOMPARE(p.source, std::string("/daten"));
    QCOMPARE(p.destination, std::string("/"));  // the root stays the root
    QCOMPARE(edit(e, "editSource")->text(), QString("/daten"));
    QCOMPARE(page_->currentRow(), 0);
    QCOMPARE(boxes_.boxes.size(), size_t(2));
  }

  void addKeepsFieldsAfterRefusals() {
    DlgPaar* e = openEditor();
    edit(e, "editSource")->setText("/a|b/");
    edit(e, "editDestination")->setText("/ziel|x");
    click(e, "btnAdd");
    QCOMPARE(boxes_.boxes.back().kind, 2);
    QVERIFY(boxes_.lastText().find("'|'") != std::string::npos);
    QCOMPARE(edit(e, "editSource")->text(), QString("/a|b/"));  // kept for correction
    QCOMPARE(page_->jobList().size(), size_t(0));
    edit(e, "editSource")->setText("/a\nb");
    click(e, "btnAdd");
    QCOMPARE(page_->jobList().size(), size_t(0));
    // A bar in the destination is fine: it is the last field of the stored entry.
    edit(e, "editSource")->setText(QString("/") + QString(4000, QChar(0xe4)) + "//");
    click(e, "btnAdd");
    QCOMPARE(page_->jobList().size(), size_t(1));
    QCOMPARE(page_->jobList()[0].destination, std::string("/ziel|x"));
    QCOMPARE(QString::fromStdString(page_->jobList()[0].source), QString("/") + QString(4000, QChar(0xe4)));
    // "~/..." is the home directory; a relative path is refused.
    edit(e, "editSource")->setText("~/Dokumente");
    edit(e, "editDestination")->setText("USB/Dokumente");
    click(e, "btnAdd");
    QVERIFY(startsWith(boxes_.lastText(), "'USB/Dokumente' ist kein vollständiger Pfad."));
    QCOMPARE(page_->jobList().size(), size_t(1));
    edit(e, "editDestination")->setText("/media/anna/USB/Dokumente");
    click(e, "btnAdd");
    QCOMPARE(page_->jobList().size(), size_t(2));
    QCOMPARE(QString::fromStdString(page_->jobList()[1].source), QDir::homePath() + "/Dokumente");
  }

  void changeReplacesTheLoadedPair() {
    page_->setJobList({Pair("/q1", "/z1"), Pair("/q2", "/z2")});
    selectOnPage(1);
    DlgPaar* e = openEditor();
    QCOMPARE(e->loadedRow(), 1);
    QCOMPARE(edit(e, "editSource")->text(), QString("/q2"));
    child<QCheckBox>(e, "checkActive")->setChecked(false);
    edit(e, "editDestination")->setText("/neu/");
    click(e, "btnChange");
    QCOMPARE(page_->jobList()[1].destination, std::string("/neu"));
    QCOMPARE(page_->jobList()[1].active, 0);
    QCOMPARE(pageList()->item(1, 1)->text(), QString("Nein"));
    QCOMPARE(pageList()->item(1, 5)->text(), QString("/neu"));
    // Selecting another row on the page does not reload the editor.
    selectOnPage(0);
    QCOMPARE(e->loadedRow(), 1);
    QCOMPARE(edit(e, "editSource")->text(), QString("/q2"));
  }

  void emptiedDestinationChangesNothing() {
    page_->setJobList({Pair("/q1", "/z1")});
    DlgPaar* e = openEditor();
    edit(e, "editDestination")->clear();
    click(e, "btnChange");
    QCOMPARE(boxes_.lastText(), std::string("Nicht alle Felder ausgefüllt !"));
    QCOMPARE(page_->jobList()[0].destination, std::string("/z1"));
  }

  void changeAfterThePairWasDeletedOnThePage() {
    page_->setJobList({Pair("/q1", "/z1"), Pair("/q2", "/z2"), Pair("/q3", "/z3")});
    selectOnPage(1);
    DlgPaar* e = openEditor();
    selectOnPage(1);
    pageBoxes_.answer = MB_RESULT_YES;
    click(page_.get(), "btnLoeschen");
    QCOMPARE(page_->jobList().size(), size_t(2));
    // The page tells the editor that no pair is loaded: "Ändern" is disabled,
    // the fields stay as they were.
    QVERIFY(!child<QPushButton>(e, "btnChange")->isEnabled());
    QCOMPARE(e->loadedRow(), -1);
    QCOMPARE(edit(e, "editSource")->text(), QString("/q2"));
    edit(e, "editDestination")->setText("/anders");
    click(e, "btnChange");  // row 1 now holds /q3: it must not be overwritten
    QCOMPARE(page_->jobList()[1].destination, std::string("/z3"));
    QCOMPARE(edit(e, "editDestination")->text(), QString("/anders"));
  }

  void replacedListLeavesNoPairLoaded() {
    page_->setJobList({Pair("/q1", "/z1"), Pair("/q2", "/z2")});
    selectOnPage(1);
    DlgPaar* e = openEditor();
    QCOMPARE(e->loadedRow(), 1);
    page_->setJobList({Pair("/x", "/y"), Pair("/v", "/w")});
    QCOMPARE(e->loadedRow(), -1);
    QVERIFY(!child<QPushButton>(e, "btnChange")->isEnabled());
    e->change();
    QVERIFY(startsWith(boxes_.lastText(), "Änderung ist nicht möglich !"));
    QCOMPARE(page_->jobList()[1].source, std::string("/v"));
  }

  void excludedDirectoryReachesThePageOnlyThroughChange() {
    DirPair p = Pair("/q", "/z");
    p.active = 1;
    p.withSubdirs = 1;
    page_->setJobList({p});
    DlgPaar* e = openEditor();
    e->openNegativeEditor();
    DlgNegativliste* n = e->negativeEditor();
    QVERIFY(n && n->isVisible());
    QCOMPARE(n->windowTitle(), QString("Neu oder Ändern (Negativliste)"));
    QVERIFY(!child<QPushButton>(n, "btnChange")->isEnabled() || n->loadedRow() < 0);
    // A relative name is refused here already, as the pair editor refuses it.
    edit(n, "editDirectory")->setText("tmp");
    click(n, "btnAdd");
    QCOMPARE(boxes_.boxes.size(), size_t(1));
    QVERIFY(startsWith(boxes_.boxes[0].text, "'tmp' ist kein vollständiger Pfad."));
    QCOMPARE(child<QTableWidget>(e, "listNegative")->rowCount(), 0);
    edit(n, "editDirectory")->setText("/q/tmp/");
    child<QCheckBox>(n, "checkSubdirs")->setChecked(true);
    click(n, "btnAdd");
    QCOMPARE(edit(n, "editDirectory")->text(), QString("/q/tmp"));
    QTableWidget* neg = child<QTableWidget>(e, "listNegative");
    QCOMPARE(neg->rowCount(), 1);
    QCOMPARE(neg->item(0, 0)->text(), QString("Ja"));
    QCOMPARE(neg->item(0, 1)->text(), QString("/q/tmp"));
    QCOMPARE(page_->jobList()[0].excluded.size(), size_t(0));
    QCOMPARE(pageList()->item(0, 3)->text(), QString("Nein"));
    QCOMPARE(pageList()->item(0, 0)->data(Qt::UserRole).toInt(), 3);
    click(e, "btnChange");
    QCOMPARE(page_->jobList()[0].excluded.size(), size_t(1));
    QCOMPARE(page_->jobList()[0].excluded[0].directory, std::string("/q/tmp"));
    QCOMPARE(pageList()->item(0, 3)->text(), QString("Ja"));
    QCOMPARE(pageList()->item(0, 0)->data(Qt::UserRole).toInt(), 7);
  }

  void negativeListDeleteAndChange() {
    DirPair p = Pair("/q", "/z");
    p.excluded = {{1, "/q/a"}, {0, "/q/b"}, {1, "/q/c"}};
    page_->setJobList({p});
    DlgPaar* e = openEditor();
    QTableWidget* neg = child<QTableWidget>(e, "listNegative");
    QCOMPARE(neg->rowCount(), 3);
    QCOMPARE(e->firstSelectedNegativeRow(), 0);
    e->openNegativeEditor();
    DlgNegativliste* n = e->negativeEditor();
    QCOMPARE(n->loadedRow(), 0);
    QCOMPARE(edit(n, "editDirectory")->text(), QString("/q/a"));

    // Several rows selected: message 212, the first selected row changes.
    neg->selectAll();
    edit(n, "editDirectory")->setText("/q/A2/");
    click(n, "btnChange");
    QCOMPARE(boxes_.lastText(),
             std::string("Es sind mehrere Zeilen selektiert.\nEs wird jedoch nur die 1. selektierte Zeile geaendert."));
    QCOMPARE(e->negativeList()[0].directory, std::string("/q/A2"));
    QCOMPARE(e->negativeList()[1].directory, std::string("/q/b"));

    boxes_.answer = MB_RESULT_NO;
    click(e, "btnDeleteNegative");
    QCOMPARE(boxes_.lastText(), std::string("Sollen die 3 markierten Einträge aus der Liste entfernt werden ?"));
    QCOMPARE(boxes_.boxes.back().kind, 5);
    QCOMPARE(neg->rowCount(), 3);
    neg->clearSelection();
    QVERIFY(!child<QPushButton>(e, "btnDeleteNegative")->isEnabled());
    e->deleteNegative();
    QCOMPARE(boxes_.lastText(), std::string("Es sind keine Einträge markiert !"));
    neg->selectRow(1);
    QVERIFY(child<QPushButton>(e, "btnDeleteNegative")->isEnabled());
    boxes_.answer = MB_RESULT_YES;
    click(e, "btnDeleteNegative");
    QCOMPARE(boxes_.lastText(), std::string("Soll der markierte Eintrag aus der Liste entfernt werden ?"));
    QCOMPARE(neg->rowCount(), 2);
    QCOMPARE(e->negativeList()[1].directory, std::string("/q/c"));
    QCOMPARE(e->firstSelectedNegativeRow(), 0);
    QCOMPARE(n->loadedRow(), -1);  // told that nothing is selected
    QVERIFY(!child<QPushButton>(n, "btnChange")->isEnabled());
    n->change();
    QCOMPARE(boxes_.lastText(), std::string("Änderung ist nicht möglich !"));
    edit(n, "editDirectory")->clear();
    click(n, "btnAdd");
    QCOMPARE(boxes_.lastText(), std::string("Nicht alle Felder ausgefüllt !"));
    QCOMPARE(page_->jobList()[0].excluded.size(), size_t(3));  // the pair waits for "Ändern"
  }

  void nextPairStartsEmptyAndInputIsChecked() {
    DirPair p = Pair("/q", "/z");
    p.excluded = {{1, "/q/tmp"}};
    page_->setJobList({p});
    DlgPaar* e = openEditor();
    QCOMPARE(e->negativeList().size(), size_t(1));
    // The loaded pair's exclusion lies outside a new source: refused, nothing added.
    edit(e, "editSource")->setText("/andere");
    click(e, "btnAdd");
    QCOMPARE(boxes_.lastText(), std::string("Das ausgeschlossene Verzeichnis '/q/tmp' liegt nicht im Quellverzeichnis '/andere'."));
    QCOMPARE(page_->jobList().size(), size_t(1));
    // The same source and destination again: asked first ("Nein" adds nothing).
    edit(e, "editSource")->setText("/q");
    boxes_.answer = MB_RESULT_NO;
    click(e, "btnAdd");
    QCOMPARE(boxes_.boxes.back().kind, 5);
    QVERIFY(boxes_.lastText().find("'/q' -> '/z'") != std::string::npos);
    QCOMPARE(page_->jobList().size(), size_t(1));
    boxes_.answer = MB_RESULT_YES;
    edit(e, "editDestination")->setText("/z2");
    click(e, "btnAdd");
    QCOMPARE(page_->jobList().size(), size_t(2));
    QCOMPARE(page_->jobList()[1].excluded.size(), size_t(1));
    // The next pair takes nothing over: empty exclusions, both boxes ticked, no pair loaded.
    QCOMPARE(e->negativeList().size(), size_t(0));
    QCOMPARE(child<QTableWidget>(e, "listNegative")->rowCount(), 0);
    QVERIFY(child<QCheckBox>(e, "checkActive")->isChecked());
    QVERIFY(child<QCheckBox>(e, "checkSubdirs")->isChecked());
    QCOMPARE(e->loadedRow(), -1);
    QCOMPARE(edit(e, "editDestination")->text(), QString("/z2"));
    // A destination inside its own source is refused.
    edit(e, "editDestination")->setText("/q/sicherung");
    click(e, "btnAdd");
    QCOMPARE(page_->jobList().size(), size_t(2));
    QVERIFY(boxes_.lastText().find("/q/sicherung") != std::string::npos);
  }

  void enterDoesNothingAndCloseKeepsTheFields() {
    DlgPaar* e = openEditor();
    edit(e, "editSource")->setText("/quelle");
    edit(e, "editDestination")->setText("/ziel");
    e->openNegativeEditor();
    edit(e->negativeEditor(), "editDirectory")->setText("/quelle/x");
    click(e->negativeEditor(), "btnAdd");
    QTest::keyClick(edit(e, "editSource"), Qt::Key_Return);
    QTest::keyClick(edit(e->negativeEditor(), "editDirectory"), Qt::Key_Enter);
    QVERIFY(e->isVisible());
    QVERIFY(e->negativeEditor()->isVisible());
    QCOMPARE(page_->jobList().size(), size_t(0));
    QCOMPARE(e->negativeList().size(), size_t(1));

    QTest::keyClick(e, Qt::Key_Escape);
    QVERIFY(!e->isVisible());
    QVERIFY(!e->negativeEditor()->isVisible());  // goes with the pair editor
    QCOMPARE(e->negativeList().size(), size_t(0));
    openPairEditor(page_.get());  // the page's own opening finds the same editor
    QCOMPARE(page_->findChildren<DlgPaar*>().size(), qsizetype(1));
    QVERIFY(e->isVisible());
    QCOMPARE(edit(e, "editSource")->text(), QString("/quelle"));  // nothing selected on the page
    QCOMPARE(edit(e->negativeEditor(), "editDirectory")->text(), QString("/quelle/x"));
    click(e, "btnClose");
    QVERIFY(!e->isVisible());
  }
};

QTEST_MAIN(DlgPaarTest)
#include "DlgPaarTest.moc"
