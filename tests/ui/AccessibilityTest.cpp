// Every window and dialog as a screen reader sees it through Qt's
// accessibility interfaces: each focusable control has a name, descriptions
// carry no markup, and no two controls shown together share name and role.
#include <QAccessible>
#include <QAbstractButton>
#include <QHash>
#include <QKeySequence>
#include <QLabel>
#include <QTabWidget>
#include <QtTest>

#include "DialogTestSupport.h"
#include "MainTestSupport.h"
#include "ui/BatchWarning.h"
#include "ui/DlgDatum.h"
#include "ui/DlgHinweis.h"
#include "ui/DlgInfo.h"
#include "ui/DlgNegativliste.h"
#include "ui/DlgPaar.h"
#include "ui/DlgSichernErweitert.h"
#include "ui/DlgDirReplacement.h"
#include "ui/DlgZeitplan.h"
#include "ui/MainSheet.h"
#include "ui/PageRuecksichern.h"
#include "ui/PageSichern.h"
#include "ui/SheetParameter.h"

using namespace kalvero;
using namespace kalvero::test;

namespace {

QString describe(QWidget* w, QAccessibleInterface* iface) {
  return QStringLiteral("%1 (%2, \"%3\")")
      .arg(w->objectName(), QString::fromLatin1(w->metaObject()->className()), iface->text(QAccessible::Name));
}

// The faults among the controls shown now; Qt's own inner parts (named qt_...) speak through their owner.
QStringList faultsShown(QWidget* window) {
  QStringList faults;
  QHash<QPair<QString, int>, QWidget*> named;
  for (QWidget* w : window->findChildren<QWidget*>()) {
    if (w->window() != window || !w->isVisible() || w->objectName().startsWith(QLatin1String("qt_"))) continue;
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(w);
    if (!iface) continue;
    if (iface->text(QAccessible::Description).contains(QLatin1Char('<')))
      faults << QStringLiteral("markup in the description of ") + describe(w, iface);
    if (!iface->state().focusable) continue;
    const QString name = iface->text(QAccessible::Name).trimmed();
    if (name.isEmpty()) {
      faults << QStringLiteral("no name: ") + describe(w, iface);
      continue;
    }
    QWidget*& first = named[{name, int(iface->role())}];
    if (first && first != w) faults << QStringLiteral("same name and role: ") + describe(first, iface) + " / " + w->objectName();
    first = w;
  }
  return faults;
}

// Every captioned button and check box shown has an Alt key of its own, also
// against the labels that lead to a field. "?", "..." and the date caption
// are reached by Tab.
QStringList altKeyFaultsShown(QWidget* window) {
  QStringList faults;
  QHash<int, QString> taken;
  for (QWidget* w : window->findChildren<QWidget*>()) {
    if (w->window() != window || !w->isVisible() || w->objectName().startsWith(QLatin1String("qt_"))) continue;
    QString caption;
    if (auto* b = qobject_cast<QAbstractButton*>(w)) caption = b->text();
    if (auto* l = qobject_cast<QLabel*>(w); l && l->buddy()) caption = l->text();
    const QString plain = QString(caption).remove(QLatin1Char('&')).trimmed();
    if (plain.size() < 2 || plain == QLatin1String("...") || w->objectName() == QLatin1String("chkDatum")) continue;
    const QKeySequence key = QKeySequence::mnemonic(caption);
    if (key.isEmpty() && qobject_cast<QLabel*>(w)) continue;  // its field has its name; Tab reaches it
    if (key.isEmpty()) {
      faults << QStringLiteral("no Alt key: ") + w->objectName() + " \"" + plain + "\"";
      continue;
    }
    QString& first = taken[key[0].toCombined()];
    if (!first.isEmpty()) faults << QStringLiteral("same Alt key: ") + first + " / " + w->objectName();
    first = w->objectName();
  }
  return faults;
}

// Shows the window and looks at it once per tab of each of its tab widgets.
QStringList faultsOf(QWidget* window) {
  window->show();
  if (!QTest::qWaitForWindowExposed(window)) return {QStringLiteral("not shown: ") + window->objectName()};
  QStringList faults = faultsShown(window) + altKeyFaultsShown(window);
  for (QTabWidget* tabs : window->findChildren<QTabWidget*>()) {
    for (int i = 0; i < tabs->count(); ++i) {
      tabs->setCurrentIndex(i);
      faults += faultsShown(window) + altKeyFaultsShown(window);
    }
    tabs->setCurrentIndex(0);
  }
  faults.removeDuplicates();
  return faults;
}

#define VERIFY_ACCESSIBLE(window)                                                   \
  do {                                                                              \
    const QStringList faults = faultsOf(window);                                    \
    for (const QString& f : faults) qWarning("%s", qPrintable(f));                  \
    QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QLatin1Char('\n'))));         \
  } while (false)

DirPair Pair(const std::string& src, const std::string& dst) {
  DirPair p;
  p.active = 1;
  p.source = src;
  p.destination = dst;
  p.excluded = {{1, src + "/tmp"}};
  return p;
}

}  // namespace

class AccessibilityTest : public QObject {
  Q_OBJECT
 private slots:
  void mainWindowAndItsPages();
  void jobListDialogs();
  void parameterSheetAndReplacementEditor();
  void smallDialogs();
  void restoreIconIsNamedLikeTheBackupIcon();
};

void AccessibilityTest::mainWindowAndItsPages() {
  QTemporaryDir dir;
  StandIns standIns;
  // Tool tips on, on both pages: their rich text must not reach the descriptions.
  Application app(argsFor(makeBackupSetup(dir, "Tooltip=1\n[Rueck]\nTooltip=1")));
  MessageBoxFake box;
  MainSheet window(app, box);
  for (QWidget* page : {static_cast<QWidget*>(window.pageSichern()), static_cast<QWidget*>(window.pageRuecksichern())})
    QVERIFY(page->findChild<QWidget*>("chkTooltip")->toolTip().contains('<'));
  VERIFY_ACCESSIBLE(&window);
}

void AccessibilityTest::jobListDialogs() {
  AppFixture fx;
  MessageBoxFake boxes;
  PageSichern page(*fx.app, boxes);
  page.setJobList({Pair("/home/anna/Texte", "/media/anna/Texte"), Pair("/srv/a", "/srv/b")});
  page.selectPair(0);
  auto* pair = new DlgPaar(page, boxes);
  pair->load(true);
  VERIFY_ACCESSIBLE(pair);
  pair->openNegativeEditor();
  VERIFY_ACCESSIBLE(pair->negativeEditor());
  pair->done(QDialog::Rejected);
  DlgSichernErweitert extended(page.jobList(), boxes);
  VERIFY_ACCESSIBLE(&extended);
}

void AccessibilityTest::parameterSheetAndReplacementEditor() {
  AppFixture fx;
  MessageBoxFake boxes;
  writeFile(fx.settingsPath(), "[Verzeichnisse]\r\nVerz1=1|/media/alt|/media/neu\r\n");
  SheetParameter sheet(*fx.app, boxes);
  VERIFY_ACCESSIBLE(&sheet);
  DlgDirReplacement editor(boxes, DirReplacement{1, "/media/alt", "/media/neu"});
  VERIFY_ACCESSIBLE(&editor);
}

void AccessibilityTest::smallDialogs() {
  AppFixture fx;
  MessageBoxFake boxes;
  DlgDatum date(fx.settingsPath(), boxes);
  VERIFY_ACCESSIBLE(&date);
  DlgInfo info(fx.settingsPath(), "/tmp/Kalvero-1000/", Application::versionText());
  VERIFY_ACCESSIBLE(&info);
  QWidget owner;
  VERIFY_ACCESSIBLE(DlgHinweis::open(&owner, HintKind::Patterns));
  BatchWarning warning;
  VERIFY_ACCESSIBLE(&warning);
  SystemctlStandIn systemctl;
  DlgZeitplan schedule("/usr/bin/kalvero-cli", fx.settingsPath(), boxes);
  VERIFY_ACCESSIBLE(&schedule);
}

void AccessibilityTest::restoreIconIsNamedLikeTheBackupIcon() {
  AppFixture fx;
  MessageBoxFake boxes;
  PageRuecksichern page(*fx.app, boxes);
  QWidget* icon = page.findChild<QWidget*>("iconInfo");
  QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(icon);
  QCOMPARE(iface->text(QAccessible::Name), QString("Information"));
  QCOMPARE(iface->text(QAccessible::Description), QString("Klick mich !"));
  // Tool tips off: no pop-up, the description stays.
  page.findChild<QAbstractButton*>("chkTooltip")->setChecked(false);
  QVERIFY(icon->toolTip().isEmpty());
  QCOMPARE(iface->text(QAccessible::Description), QString("Klick mich !"));
}

QTEST_MAIN(AccessibilityTest)
#include "AccessibilityTest.moc"
