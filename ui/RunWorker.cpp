#include "ui/RunWorker.h"

#include <QDeadlineTimer>
#include <QThread>
#include <exception>

#include "ui/QtRunReporter.h"
#include "ui/UiTexts.h"

namespace kalvero {

namespace {

// As long as the run's own lines for an exception's text.
constexpr qsizetype kMaxErrorText = 2048;

QString errorLine(const QString& text) { return text.left(kMaxErrorText) + QStringLiteral("\r\n"); }

}  // namespace

RunWorker::RunWorker(const QString& name, QObject* parent) : QObject(parent), channel_(new RunChannel(this)) {
  setObjectName(name);
}

RunWorker::~RunWorker() {
  if (!thread_) return;
  // The run must never report to a page that is gone: stop it, and handle the
  // calls it waits in (which do nothing once detached) until it has ended.
  if (cancel_) *cancel_ = 1;
  channel_->detach();
  while (!thread_->wait(QDeadlineTimer(20))) channel_->handlePending();
  delete thread_;
  thread_ = nullptr;
}

bool RunWorker::start(std::function<void()> body, std::atomic<int>* cancel) {
  if (thread_) return false;
  cancel_ = cancel;
  RunChannel* channel = channel_;
  thread_ = QThread::create([this, channel, body = std::move(body)] {
    QString line;
    try {
      body();
      return;
    } catch (const std::exception& e) {
      line = QString::fromUtf8(e.what());
      if (line.isEmpty()) line = QString::fromUtf8(ui_texts::kRunAborted);
    } catch (...) {
      line = QString::fromUtf8(ui_texts::kRunAborted);
    }
    // The page shows it before it hears of the end (finished() is queued after this call).
    channel->call([this, &line] { emit failed(errorLine(line)); });
  });
  thread_->setObjectName(objectName());
  connect(thread_, &QThread::finished, this, &RunWorker::threadEnded, Qt::QueuedConnection);
  thread_->start();
  // A thread that could not be created is neither running nor finished, and never sends finished.
  if (thread_->isRunning() || thread_->isFinished()) return true;
  delete thread_;
  thread_ = nullptr;
  QMetaObject::invokeMethod(
      this,
      [this] {
        emit failed(errorLine(QString::fromUtf8(ui_texts::kRunNotStarted)));
        emit finished();
      },
      Qt::QueuedConnection);
  return false;
}

void RunWorker::threadEnded() {
  if (!thread_) return;
  thread_->wait();
  delete thread_;
  thread_ = nullptr;
  cancel_ = nullptr;
  emit finished();
}

}  // namespace kalvero
