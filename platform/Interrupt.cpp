#include "platform/Interrupt.h"

#include <signal.h>
#include <unistd.h>

namespace kalvero::platform {

namespace {

std::atomic<int>* g_flag = nullptr;
std::atomic<int> g_count{0};
static_assert(std::atomic<int>::is_always_lock_free, "used from a signal handler");

extern "C" void onInterrupt(int) {
  if (g_count.fetch_add(1) > 0) _exit(130);  // the second Ctrl-C ends the process at once
  if (g_flag) g_flag->store(1, std::memory_order_relaxed);
}

}  // namespace

void installInterruptHandler(std::atomic<int>* flag) {
  g_flag = flag;
  g_count.store(0);
  struct sigaction sa {};
  sa.sa_handler = onInterrupt;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = SA_RESTART;
  sigaction(SIGINT, &sa, nullptr);
  sigaction(SIGTERM, &sa, nullptr);
}

void removeInterruptHandler() {
  struct sigaction sa {};
  sa.sa_handler = SIG_DFL;
  sigemptyset(&sa.sa_mask);
  sigaction(SIGINT, &sa, nullptr);
  sigaction(SIGTERM, &sa, nullptr);
  g_flag = nullptr;
}

bool isTerminal(int fd) { return ::isatty(fd) == 1; }

}  // namespace kalvero::platform
