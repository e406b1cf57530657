#pragma once
// The record a run fills and hands to its page with every notification, the
// notification codes, and the seam between a run and whoever watches it.
#include <cstdint>
#include <string>

namespace kalvero {

struct ProgressInfo {
  int filesInPair = 0;
  std::string currentSource;
  std::string currentDestination;
  int pairErrors = 0;
  int filesDone = 0;
  int pairSkipped = 0;
  int runErrors = 0;
  std::uint64_t fileSize = 0;
  std::uint64_t fileDone = 0;
  std::uint64_t pairBytes = 0;
  std::uint64_t pairBytesDone = 0;
  std::string remainingTimeText;
  int runSkipped = 0;
};

enum NotifyCode : int {
  NOTIFY_FILES_FOUND = 1,
  NOTIFY_SEARCHING = 2,
  NOTIFY_COPYING = 3,
  NOTIFY_COMPARING = 4,
  NOTIFY_FINISHED = 5,
  NOTIFY_LOG_OPENED = 6,
  NOTIFY_COMPRESSING = 7,
  NOTIFY_UNPACKING = 8,
  NOTIFY_FILE_START = 10,
  NOTIFY_FILE_STEP = 11,
  NOTIFY_ARCHIVE_RESET = 23,
  NOTIFY_REMAINING_TIME = 30,
  NOTIFY_CHECKFILE_READ = 40,
  NOTIFY_CHECKFILE_WRITE = 41,
  NOTIFY_SKIPPING = 50,
  NOTIFY_RESET = 100,
};

// Name of a code ("NOTIFY_COPYING"), "" for an unknown one.
const char* notifyCodeName(int code);

// What a run tells its window. Every call returns only after the receiver
// has handled it, so the receiver may read the ProgressInfo without a lock.
class RunReporter {
 public:
  virtual ~RunReporter() = default;
  virtual void progress(int code, const ProgressInfo& info) = 0;
  virtual void clearLog() = 0;
  virtual void logLine(const std::string& text) = 0;  // one line, without its line end
  virtual void selectPair(int /*row*/) {}
  virtual void endOfRunSound() {}
};

}  // namespace kalvero
