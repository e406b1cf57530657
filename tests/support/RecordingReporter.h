#pragma once
// A RunReporter that keeps everything a run (or a piece of it: a copy, a
// compression, the progress estimate) sends, for the tests to read afterwards.
#include <functional>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "run/RunProgress.h"
#include "run/RunReport.h"

namespace kalvero::test {

class RecordingReporter : public RunReporter {
 public:
  struct Event {
    int code;
    ProgressInfo info;  // the record as it was at this notification
  };

  void progress(int code, const ProgressInfo& info) override {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      events.push_back({code, info});
    }
    // Outside the lock: a hook may cancel the run or change its files.
    if (onProgress) onProgress(code, info);
  }
  void clearLog() override {
    std::lock_guard<std::mutex> lock(mutex_);
    ++clears;
  }
  void logLine(const std::string& text) override {
    std::lock_guard<std::mutex> lock(mutex_);
    lines.push_back(text);
  }
  void selectPair(int row) override {
    std::lock_guard<std::mutex> lock(mutex_);
    rows.push_back(row);
  }
  void endOfRunSound() override {
    std::lock_guard<std::mutex> lock(mutex_);
    ++sounds;
  }

  // The notification codes in the order they came.
  std::vector<int> codes() const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<int> out;
    for (const auto& e : events) out.push_back(e.code);
    return out;
  }
  // Each code with one field of its record, e.g. codesWith(&ProgressInfo::fileDone).
  template <class T>
  std::vector<std::pair<int, T>> codesWith(T ProgressInfo::*field) const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<std::pair<int, T>> out;
    for (const auto& e : events) out.emplace_back(e.code, e.info.*field);
    return out;
  }
  // The record of the last notification (an empty one before the first).
  ProgressInfo last() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return events.empty() ? ProgressInfo{} : events.back().info;
  }
  int count(int code) const {
    std::lock_guard<std::mutex> lock(mutex_);
    int n = 0;
    for (const auto& e : events) n += e.code == code;
    return n;
  }
  // Every log line as one text.
  std::string allLines() const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::string s;
    for (const auto& l : lines) s += l + kLineEnd;  // as the run log has them
    return s;
  }

  std::vector<Event> events;
  std::vector<std::string> lines;
  std::vector<int> rows;  // selectPair calls
  int clears = 0;
  int sounds = 0;
  std::function<void(int, const ProgressInfo&)> onProgress;

 private:
  mutable std::mutex mutex_;  // a run's workers may report from several threads
};

}  // namespace kalvero::test
