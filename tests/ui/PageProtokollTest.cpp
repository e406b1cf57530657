// The log page: row limit, newest row selected, the full text below the list.
#include <QElapsedTimer>
#include <QTableView>
#include <QtTest>
#include <thread>

#include "support/AppFixture.h"
#include "support/MessageBoxFake.h"
#include "ui/PageProtokoll.h"
#include "ui/QtRunReporter.h"

using namespace kalvero;

class PageProtokollTest : public QObject {
  Q_OBJECT
 private slots:
  void keepsAtMostTenThousandRows();
  void newestRowIsSelectedAndShownBelow();
  void selectedRowShowsItsWholeText();
  void clearEmptiesListAndField();
  void linesFromAWorker();
};

void PageProtokollTest::keepsAtMostTenThousandRows() {
  test::AppFixture f;
  test::MessageBoxFake box;
  PageProtokoll page(*f.app, box);
  for (int i = 1; i <= 10001; ++i) page.appendLine(QStringLiteral("Zeile %1\r\n").arg(i));
  QCOMPARE(page.rowCount(), 10000);
  QCOMPARE(page.rowText(9999), QStringLiteral("Zeile 10000\r\n"));
  // The line beyond the limit is dropped; the last shown row stays current.
  QTRY_COMPARE(page.view()->currentIndex().row(), 9999);
  QVERIFY(box.boxes.empty());
}

void PageProtokollTest::newestRowIsSelectedAndShownBelow() {
  test::AppFixture f;
  test::MessageBoxFake box;
  PageProtokoll page(*f.app, box);
  page.resize(600, 300);
  page.show();
  page.appendLine(QStringLiteral("erste\r\n"));
  page.appendLine(QStringLiteral("zweite Zeile\r\n"));
  QTRY_COMPARE(page.view()->currentIndex().row(), 1);
  QVERIFY(page.view()->selectionModel()->isRowSelected(1, QModelIndex()));
  QCOMPARE(page.currentText(), QStringLiteral("zweite Zeile"));
  // The date column uses "%d.%m.%y %H:%M:%S".
  QVERIFY(QRegularExpression(QStringLiteral("^\\d\\d\\.\\d\\d\\.\\d\\d \\d\\d:\\d\\d:\\d\\d$"))
              .match(page.rowDate(0))
              .hasMatch());
  QCOMPARE(page.view()->model()->headerData(0, Qt::Horizontal).toString(), QStringLiteral("Protokolltext"));
  QCOMPARE(page.view()->model()->headerData(1, Qt::Horizontal).toString(), QStringLiteral("Datum"));
}

void PageProtokollTest::selectedRowShowsItsWholeText() {
  test::AppFixture f;
  test::MessageBoxFake box;
  PageProtokoll page(*f.app, box);
  page.resize(300, 200);
  page.show();
  const QString longText = QStringLiteral("Fehler beim Kopieren der Datei von '/home/anna/Bilder/Urlaub 2023/Strand "
                                          "mit Möwen.jpg' nach '/media/sicherung/Bilder/Urlaub 2023/Strand mit "
                                          "Möwen.jpg'.  Fehlernummer = 28  No space left on device");
  page.appendLine(longText + QStringLiteral("\r\n"));
  page.appendLine(QStringLiteral("kurz\r\n"));
  QTRY_COMPARE(page.view()->currentIndex().row(), 1);
  QTest::mouseClick(page.view()->viewport(), Qt::LeftButton, {}, page.view()->visualRect(page.view()->model()->index(0, 0)).center());
  QCOMPARE(page.view()->currentIndex().row(), 0);
  QCOMPARE(page.currentText(), longText);
  // The row shows the text without the line end the runs send.
  QCOMPARE(page.view()->model()->data(page.view()->model()->index(0, 0)).toString(), longText);
}

void PageProtokollTest::clearEmptiesListAndField() {
  test::AppFixture f;
  test::MessageBoxFake box;
  PageProtokoll page(*f.app, box);
  page.appendLine(QStringLiteral("eins\r\n"));
  page.clearLog();
  QCOMPARE(page.rowCount(), 0);
  QCOMPARE(page.currentText(), QString());
  page.appendLine(QStringLiteral("danach\r\n"));
  QCOMPARE(page.rowCount(), 1);
  QTRY_COMPARE(page.currentText(), QStringLiteral("danach"));
}

void PageProtokollTest::linesFromAWorker() {
  // A worker sends 50,000 lines (KALVERO_LOG_LINES) the way a run does (waiting for each one);
  // prints the total time and the longest pause of the window's event loop.
  // The figures belong in the notes, not in an assertion.
  test::AppFixture f;
  test::MessageBoxFake box;
  PageProtokoll page(*f.app, box);
  page.resize(800, 500);
  page.show();
  QVERIFY(QTest::qWaitForWindowExposed(&page));
  RunChannel channel;
  QElapsedTimer sinceTick;
  qint64 longestPause = 0;
  QTimer tick;
  tick.setInterval(5);
  connect(&tick, &QTimer::timeout, &page, [&] {
    longestPause = std::max(longestPause, sinceTick.restart());
  });
  QEventLoop loop;
  QElapsedTimer timer;
  timer.start();
  sinceTick.start();
  tick.start();
  const int lines = qEnvironmentVariableIntValue("KALVERO_LOG_LINES") > 0
                        ? qEnvironmentVariableIntValue("KALVERO_LOG_LINES")
                        : 50000;
  const bool emptyCalls = qEnvironmentVariableIsSet("KALVERO_LOG_EMPTY_CALLS");
  std::thread worker([&] {
    for (int i = 0; i < lines; ++i) {
      if (emptyCalls) {
        channel.call([] {});
        continue;
      }
      const QString line =
          QStringLiteral("Fehler beim Kopieren der Datei von '/quelle/datei%1.txt' nach '/ziel/datei%1.txt'.\r\n").arg(i);
      channel.call([&] { page.appendLine(line); });
    }
    QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
  });
  loop.exec();
  worker.join();
  const qint64 total = timer.elapsed();
  qInfo("%d lines from a worker in %lld ms; longest event-loop pause %lld ms", lines, static_cast<long long>(total),
        static_cast<long long>(longestPause));
  if (emptyCalls) return;
  QCOMPARE(page.rowCount(), std::min(lines, 10000));
  QTRY_COMPARE(page.view()->currentIndex().row(), std::min(lines, 10000) - 1);
}

QTEST_MAIN(PageProtokollTest)
#include "PageProtokollTest.moc"
