#pragma once
// Runs kalvero-cli (path in KALVERO_CLI) in a test's own directory, with its
// temporary, configuration and data directories inside it and no standard
// input. environment: extra shell assignments put before the program
// ("PATH='/x':\"$PATH\"").
#include <string>

#include "support/TempDir.h"

namespace kalvero::test {

struct CliResult {
  int status = -1;  // exit status, -1 when the program could not run or died
  std::string out;
  std::string err;
};

CliResult RunCli(const TempDir& t, const std::string& args, const std::string& environment = {});

}  // namespace kalvero::test
