#pragma once
// Keeps the computer awake while a run copies: logind's delay lock against
// sleep and idle, and a listener that stops the run in order when the
// computer goes to sleep anyway (lid closed, suspend chosen), so no file is
// left half-written before the delay runs out.
#include <atomic>
#include <memory>
#include <string>

namespace kalvero::platform {

// The cancel flag's value when the run was stopped for sleep; 1 (or any
// other value) is the user's own cancel.
inline constexpr int kCancelForSleep = 2;

class SleepLock {
 public:
  // why is what the desktop shows as the reason ("systemd-inhibit --list").
  // Without a system bus or logind there is no lock and no error: held() is
  // false and failure() says why.
  SleepLock(const std::string& why, std::atomic<int>* cancel);
  ~SleepLock();  // the lock is released here
  SleepLock(const SleepLock&) = delete;
  SleepLock& operator=(const SleepLock&) = delete;

  bool held() const;
  const std::string& failure() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace kalvero::platform
