#pragma once
// A RunReporter that records everything a run sends, for the backup tests.
#include <functional>
#include <string>
#include <vector>

#include "run/RunProgress.h"

namespace kalvero::test {

class RecordingReporter : public RunReporter {
 public:
  struct Event {
    int code;
    ProgressInfo info;
  };
  void progress(int code, const ProgressInfo& info) override {
    events.push_back({code, info});
    if (onProgress) onProgress(code, info);
  }
  void clearLog() override { ++clears; }
  void logLine(const std::string& text) override { lines.push_back(text); }
  void selectPair(int row) override { rows.push_back(row); }
  void endOfRunSound() override { ++sounds; }

  int count(int code) const {
    int n = 0;
    for (const auto& e : events) n += e.code == code;
    return n;
  }
  std::string allLines() const {
    std::string s;
    for (const auto& l : lines) s += l;
    return s;
  }

  std::vector<Event> events;
  std::vector<std::string> lines;
  std::vector<int> rows;
  int clears = 0;
  int sounds = 0;
  std::function<void(int, const ProgressInfo&)> onProgress;
};

}  // namespace kalvero::test
