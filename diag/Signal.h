#pragma once
// CSignal traces the entry into a scope and, at its end, the time spent in
// it. The guard creates one only when tracing is on.
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "diag/Trace.h"

namespace kalvero {

class CSignal {
 public:
  CSignal(const char* name, const char* file, int line);
  ~CSignal();
  CSignal(const CSignal&) = delete;
  CSignal& operator=(const CSignal&) = delete;
  bool active() const { return active_; }

 private:
  std::string text_;
  std::string file_;
  bool active_ = false;
  std::chrono::steady_clock::time_point start_;
};

class CSignalGuard {
 public:
  CSignalGuard(const char* name, const char* file, int line) {
    if (TraceLevel() != 0) signal_.emplace(name, file, line);
  }
  bool exists() const { return signal_.has_value(); }

 private:
  std::optional<CSignal> signal_;
};

}  // namespace kalvero

#define KALVERO_SIGNAL(name) ::kalvero::CSignalGuard kalvero_signal_guard(name, __FILE__, __LINE__)
