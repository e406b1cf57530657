#include "support/RunCli.h"

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>

namespace kalvero::test {

CliResult RunCli(const TempDir& t, const std::string& args, const std::string& environment) {
  const char* cli = std::getenv("KALVERO_CLI");
  CliResult r;
  if (!cli) return r;
  const std::string errFile = t / "stderr.txt";
  const std::string cmd = "cd '" + t.path() + "' && TMPDIR='" + t.path() + "' XDG_CONFIG_HOME='" + t.path() +
                          "/config' XDG_CACHE_HOME='" + t.path() + "/cache' XDG_DATA_HOME='" + t.path() + "/data' " + environment + " '" + cli + "' " + args + " 2>'" + errFile + "' </dev/null";
  FILE* p = popen(cmd.c_str(), "r");
  if (!p) return r;
  char buf[4096];
  std::size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
  const int st = pclose(p);
  r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  r.err = readFile(errFile);
  return r;
}

}  // namespace kalvero::test
