#pragma once
// Runs one backup or restore on a thread of its own for a page. Both pages
// use it, so they stop, report and end a run the same way:
//  - a run that throws ends like any other run, with the exception's text as
//    one error line for the log page;
//  - a thread that cannot be started ends the run at once;
//  - when the worker goes (with its page) while the run is going, the run is
//    cancelled, its channel detached, and the calls it waits in are handled
//    without touching the page until its thread has ended.
#include <QObject>
#include <QString>
#include <atomic>
#include <functional>

class QThread;

namespace kalvero {

class RunChannel;

class RunWorker : public QObject {
  Q_OBJECT
 public:
  // Lives on the user-interface thread; name is the thread's name.
  explicit RunWorker(const QString& name, QObject* parent = nullptr);
  ~RunWorker() override;

  // The reporter of the run sends its calls through this channel.
  RunChannel& channel() { return *channel_; }
  bool running() const { return thread_ != nullptr; }

  // Starts body on the worker thread; *cancel is set when the worker goes
  // while the run is going. false when a run is still going (nothing else
  // happens) or when no thread could be started: that run then ends like one
  // that threw at once, failed() and finished() following from the event loop.
  bool start(std::function<void()> body, std::atomic<int>* cancel);

 signals:
  // The run threw: its text (at most 2048 characters) plus "\r\n". Sent
  // on the user-interface thread before finished().
  void failed(const QString& line);
  // The thread has ended and is gone; sent on the user-interface thread once per start.
  void finished();

 private:
  void threadEnded();

  RunChannel* channel_;
  QThread* thread_ = nullptr;
  std::atomic<int>* cancel_ = nullptr;
};

}  // namespace kalvero
