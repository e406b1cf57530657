// The worker both pages run their runs on: a run that throws ends with an
// error line, and a worker that goes while its run waits in a call stops it.
#include <QSignalSpy>
#include <QtTest>
#include <atomic>
#include <memory>
#include <stdexcept>

#include "ui/QtRunReporter.h"
#include "ui/RunWorker.h"

using namespace kalvero;

class RunWorkerTest : public QObject {
  Q_OBJECT
 private slots:
  void aRunThatThrowsEndsWithAnErrorLine();
  void aWorkerThatGoesStopsItsRun();
};

void RunWorkerTest::aRunThatThrowsEndsWithAnErrorLine() {
  RunWorker worker(QStringLiteral("TestRun"));
  QStringList lines;
  bool endedAfterLine = false;
  connect(&worker, &RunWorker::failed, this, [&](const QString& line) { lines << line; });
  connect(&worker, &RunWorker::finished, this, [&] { endedAfterLine = lines.size() == 1; });
  QSignalSpy finished(&worker, &RunWorker::finished);
  std::atomic<int> cancel{0};
  QVERIFY(worker.start([] { throw std::runtime_error("Datenträger voll"); }, &cancel));
  QVERIFY(!worker.start([] {}, &cancel));  // one run at a time
  QVERIFY(finished.wait(20000));
  QCOMPARE(lines, QStringList{QString::fromUtf8("Datenträger voll\r\n")});
  QVERIFY(endedAfterLine);
  QVERIFY(!worker.running());

  // The worker takes the next run; one that ends normally reports no line.
  QVERIFY(worker.start([] {}, &cancel));
  QVERIFY(finished.wait(20000));
  QCOMPARE(lines.size(), 1);
  QCOMPARE(finished.size(), 2);
}

void RunWorkerTest::aWorkerThatGoesStopsItsRun() {
  auto worker = std::make_unique<RunWorker>(QStringLiteral("TestRun"));
  std::atomic<int> cancel{0}, handled{0}, calls{0};
  RunChannel& channel = worker->channel();
  // A run that reports until it is cancelled, each call waiting for this thread.
  QVERIFY(worker->start(
      [&] {
        while (!cancel) {
          channel.call([&] { ++handled; });
          ++calls;
        }
      },
      &cancel));
  QTRY_VERIFY_WITH_TIMEOUT(handled > 0, 20000);
  worker.reset();  // returns only after the run has ended
  QCOMPARE(cancel.load(), 1);
  const int handledAtEnd = handled;
  QVERIFY(calls >= handledAtEnd);
  QCoreApplication::processEvents();
  QCOMPARE(handled.load(), handledAtEnd);  // nothing reached this side afterwards
}

QTEST_MAIN(RunWorkerTest)
#include "RunWorkerTest.moc"
