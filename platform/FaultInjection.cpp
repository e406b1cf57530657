#include "platform/FaultInjection.h"

#include <array>
#include <atomic>
#include <mutex>
#include <vector>

namespace kalvero::platform::fault {
namespace {

struct State {
  std::mutex mutex;
  std::vector<Rule> rules;
  std::array<std::atomic<int>, static_cast<int>(Call::Count)> hits{};
  std::array<std::atomic<int>, static_cast<int>(Call::Count)> calls{};
  bool counting = false;
};

State& state() {
  static State s;
  return s;
}

// Checked first so that an unarmed program pays one relaxed load per call.
std::atomic<bool> g_armed{false};

}  // namespace

const char* callName(Call c) {
  static const char* const names[] = {
      "Open",     "Read",     "Write",   "Close",  "Stat",   "Mkdir",  "Rename", "Unlink",   "Rmdir",
      "OpenDir",  "ReadDir",  "SetTimes", "GetXattr", "SetXattr", "Chmod", "Fsync", "CopyRange", "Chown"};
  static_assert(sizeof(names) / sizeof(names[0]) == static_cast<int>(Call::Count));
  int i = static_cast<int>(c);
  return i >= 0 && i < static_cast<int>(Call::Count) ? names[i] : "";
}

void arm(const Rule& rule) {
  State& s = state();
  std::lock_guard<std::mutex> lock(s.mutex);
  s.rules.push_back(rule);
  g_armed.store(true, std::memory_order_release);
}

void disarmAll() {
  State& s = state();
  std::lock_guard<std::mutex> lock(s.mutex);
  s.rules.clear();
  for (auto& h : s.hits) h.store(0, std::memory_order_relaxed);
  s.counting = false;
  g_armed.store(false, std::memory_order_release);
}

int hits(Call c) {
  int i = static_cast<int>(c);
  if (i < 0 || i >= static_cast<int>(Call::Count)) return 0;
  return state().hits[i].load(std::memory_order_relaxed);
}

void countCalls(bool on) {
  State& s = state();
  std::lock_guard<std::mutex> lock(s.mutex);
  s.counting = on;
  if (on) {
    for (auto& n : s.calls) n.store(0, std::memory_order_relaxed);
    g_armed.store(true, std::memory_order_release);
  } else {
    g_armed.store(!s.rules.empty(), std::memory_order_release);
  }
}

int calls(Call c) {
  int i = static_cast<int>(c);
  if (i < 0 || i >= static_cast<int>(Call::Count)) return 0;
  return state().calls[i].load(std::memory_order_relaxed);
}

int check(Call c, const char* path, unsigned long* limit) {
  if (!g_armed.load(std::memory_order_relaxed)) return 0;
  State& s = state();
  std::lock_guard<std::mutex> lock(s.mutex);
  if (s.counting) s.calls[static_cast<int>(c)].fetch_add(1, std::memory_order_relaxed);
  for (Rule& r : s.rules) {
    if (r.call != c || r.times == 0) continue;
    if (!r.pathContains.empty() && (path == nullptr || std::string(path).find(r.pathContains) == std::string::npos))
      continue;
    if (r.skip > 0) {
      --r.skip;
      continue;
    }
    if (r.error == 0 && (r.shortBy == 0 || limit == nullptr)) continue;  // a short rule on a call without a length
    if (r.times > 0) --r.times;
    s.hits[static_cast<int>(c)].fetch_add(1, std::memory_order_relaxed);
    if (r.error != 0) return r.error;
    if (*limit > r.shortBy) *limit = r.shortBy;
    return 0;
  }
  return 0;
}

}  // namespace kalvero::platform::fault
