#pragma once
// Ctrl-C for command-line runs: the first SIGINT (or SIGTERM) asks the run
// to stop in order by setting a flag; a second one ends the process.
#include <atomic>

namespace kalvero::platform {

// flag must outlive the handler (until removeInterruptHandler).
void installInterruptHandler(std::atomic<int>* flag);
void removeInterruptHandler();

// Whether standard error (fd 2) / standard output (fd 1) is a terminal.
bool isTerminal(int fd);

}  // namespace kalvero::platform
