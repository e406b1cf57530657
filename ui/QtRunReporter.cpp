#include "ui/QtRunReporter.h"

#include <QCoreApplication>
#include <QEvent>
#include <QThread>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>

namespace kalvero {

RunChannel::RunChannel(QObject* parent) : QObject(parent) {}

void RunChannel::call(const std::function<void()>& f) {
  if (detached_ || !f) return;
  if (QThread::currentThread() == thread()) {
    f();
    return;
  }
  QMetaObject::invokeMethod(
      this,
      [this, &f] {
        if (!detached_) f();
      },
      Qt::BlockingQueuedConnection);
}

void RunChannel::handlePending() { QCoreApplication::sendPostedEvents(this, QEvent::MetaCall); }

QtRunReporter::QtRunReporter(RunChannel& channel, RunSink sink) : channel_(channel), sink_(std::move(sink)) {}

void QtRunReporter::progress(int code, const ProgressInfo& info) {
  if (sink_.progress) channel_.call([&] { sink_.progress(code, info); });
}

void QtRunReporter::clearLog() {
  if (sink_.clearLog) channel_.call([&] { sink_.clearLog(); });
}

void QtRunReporter::logLine(const std::string& text) {
  if (sink_.logLine) channel_.call([&] { sink_.logLine(QString::fromStdString(text)); });
}

void QtRunReporter::selectPair(int row) {
  if (sink_.selectPair) channel_.call([&] { sink_.selectPair(row); });
}

void QtRunReporter::endOfRunSound() {
  if (!sink_.playEndSound) return;
  // The sound plays on the user-interface thread, which stays responsive; this
  // thread waits for its end as the run's protocol asks.
  struct Done {
    std::mutex m;
    std::condition_variable cv;
    bool done = false;
  };
  auto state = std::make_shared<Done>();
  auto finish = [state] {
    std::lock_guard lock(state->m);
    state->done = true;
    state->cv.notify_all();
  };
  bool started = false;
  channel_.call([&] {
    started = true;
    sink_.playEndSound(finish);
  });
  if (!started || QThread::currentThread() == channel_.thread()) return;
  std::unique_lock lock(state->m);
  state->cv.wait_for(lock, std::chrono::milliseconds(kSoundWaitLimitMs), [&] { return state->done; });
}

}  // namespace kalvero
