#pragma once
// Starting another program and waiting for it, without a shell: the
// arguments reach it exactly as given.
#include <string>
#include <vector>

namespace kalvero::platform {

struct ProcessResult {
  int status = -1;     // exit status; -1 when it could not be started or was killed by a signal
  int startError = 0;  // errno when it could not be started (ENOENT: not found on PATH)
  std::string output;  // standard output and standard error together
};

// Runs argv[0] (searched on PATH when it has no "/") with standard input
// from /dev/null and collects what it prints.
ProcessResult RunProcess(const std::vector<std::string>& argv);

// Absolute path of the running program ("" when it cannot be told).
std::string ExecutablePath();

}  // namespace kalvero::platform
