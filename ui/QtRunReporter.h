#pragma once
// The window side of the seam between a run and its page. The worker calls
// the reporter; each call is carried to the user-interface thread and the
// worker waits until it has been handled there (Qt::BlockingQueuedConnection),
// so the page reads the ProgressInfo without a lock.
#include <QObject>
#include <QString>
#include <atomic>
#include <functional>

#include "run/RunProgress.h"

namespace kalvero {

// Carries calls from a worker to the user-interface thread. Lives there.
class RunChannel : public QObject {
  Q_OBJECT
 public:
  explicit RunChannel(QObject* parent = nullptr);
  // Runs f on this object's thread and returns after it has run; at once when
  // called there. Does nothing once detached.
  void call(const std::function<void()>& f);
  // Later calls do nothing (the page that took them is going away).
  void detach() { detached_ = true; }
  // Handles the calls a worker is waiting in; for a thread that waits for
  // that worker to end without running its event loop.
  void handlePending();

 private:
  std::atomic<bool> detached_{false};
};

// What the page does with each call of the run, on the user-interface thread.
struct RunSink {
  std::function<void(int code, const ProgressInfo& info)> progress;
  std::function<void()> clearLog;
  std::function<void(const QString& line)> logLine;
  std::function<void(int row)> selectPair;
  // Starts the end-of-run sound; calls done() when it has finished (or at once).
  std::function<void(std::function<void()> done)> playEndSound;
};

class QtRunReporter : public RunReporter {
 public:
  QtRunReporter(RunChannel& channel, RunSink sink);
  void progress(int code, const ProgressInfo& info) override;
  void clearLog() override;
  void logLine(const std::string& text) override;
  void selectPair(int row) override;
  // Waits until the sound has been played, at most kSoundWaitLimitMs.
  void endOfRunSound() override;

  static constexpr int kSoundWaitLimitMs = 8000;

 private:
  RunChannel& channel_;
  RunSink sink_;
};

}  // namespace kalvero
