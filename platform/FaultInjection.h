#pragma once
// Test-only seam: makes a chosen platform call fail with a chosen errno or
// transfer fewer bytes. CI runs as root, so file modes alone cannot deny a
// test anything. Production code never arms it; an unarmed check is one
// relaxed atomic load.
#include <string>

namespace kalvero::platform::fault {

enum class Call {
  Open, Read, Write, Close, Stat, Mkdir, Rename, Unlink, Rmdir,
  OpenDir, ReadDir, SetTimes, GetXattr, SetXattr, Chmod, Fsync, CopyRange, Chown,
  Count
};
const char* callName(Call c);

struct Rule {
  Call call = Call::Open;
  int error = 0;          // errno to fail with; 0 with shortBy > 0: short transfer
  int skip = 0;           // let this many matching calls pass first
  int times = 1;          // fail this many times (-1: always)
  std::string pathContains;  // only calls on a path containing this ("" = any)
  unsigned shortBy = 0;   // Read/Write: transfer at most this many bytes
};

void arm(const Rule& rule);   // adds a rule
void disarmAll();
int hits(Call c);              // how often a rule fired for c since the last disarmAll
// Counting mode: every checked call is counted (to find the call sites of a run).
void countCalls(bool on);
int calls(Call c);             // checked calls of c since countCalls(true)

// Used by platform/ only: errno to fail with (0 = go on); for Read/Write
// *limit may be lowered for a short transfer.
int check(Call c, const char* path, unsigned long* limit = nullptr);
// The same for call sites without a retry loop of their own: an injected
// EINTR is retried (checked again) as an interrupted call would be.
inline int checkRetrying(Call c, const char* path, unsigned long* limit = nullptr) {
  for (;;) {
    int e = check(c, path, limit);
    if (e != 4 /* EINTR */) return e;
  }
}

// Disarms everything when it goes out of scope.
struct Scope {
  Scope() = default;
  ~Scope() { disarmAll(); }
};

}  // namespace kalvero::platform::fault
