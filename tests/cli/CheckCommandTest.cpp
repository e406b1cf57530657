#include <gtest/gtest.h>
#include <sys/wait.h>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "support/TempDir.h"

using kalvero::test::TempDir;

namespace {

struct Result {
  int status = -1;
  std::string out;
  std::string err;
};

// Runs kalvero-cli with a private temporary and config directory.
Result runCli(const TempDir& t, const std::string& args) {
  const char* cli = std::getenv("KALVERO_CLI");
  Result r;
  if (!cli) return r;
  std::string errFile = t / "stderr.txt";
  std::string cmd = "cd '" + t.path() + "' && TMPDIR='" + t.path() + "' XDG_CONFIG_HOME='" + t.path() +
                    "/config' '" + cli + "' " + args + " 2>'" + errFile + "'";
  FILE* p = popen(cmd.c_str(), "r");
  char buf[4096];
  std::size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
  int st = pclose(p);
  r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  r.err = kalvero::test::readFile(errFile);
  return r;
}

}  // namespace

class CheckCommand : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!std::getenv("KALVERO_CLI")) GTEST_SKIP() << "KALVERO_CLI not set";
  }
  TempDir t;
};

TEST_F(CheckCommand, EveryDirectoryPresent) {
  t.mkdir("Quelle mit Leerzeichen");
  t.mkdir("Ziel ä");
  t.write("k.INI", "[SichQZ]\nVersion=2\nAnzahl=2\nVerz0=1|1|" + t / "Quelle mit Leerzeichen" + "|" + t / "Ziel ä" +
                       "\nVerz1=0|1|/gibt/es/nicht|/auch/nicht\n");
  Result r = runCli(t, "--ini k.INI check");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out,
            "Alle aktiven Quellverzeichnisse sind vorhanden.\r\n\r\n"
            "Alle aktiven Zielverzeichnisse sind vorhanden.\r\n\r\n");
}

TEST_F(CheckCommand, MissingDirectoriesExitOne) {
  t.mkdir("q");
  t.write("k.INI", "[SichQZ]\nVersion=2\nAnzahl=1\nVerz0=1|1|" + t / "q" + "|" + t / "fehlt" + "\n");
  Result r = runCli(t, "'/Ini=" + t / "k.INI" + "' check");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "Alle aktiven Quellverzeichnisse sind vorhanden.\r\n\r\n"
                   "Die folgenden aktiven Zielverzeichnisse sind nicht vorhanden:\n" + t / "fehlt" + "\r\n\r\n");
}

TEST_F(CheckCommand, IncompleteEntriesAreNamedOnStderr) {
  t.mkdir("q");
  t.write("k.INI", "[SichQZ]\nVersion=2\nAnzahl=2\nVerz0=1|1||\nVerz1=1|1|" + t / "q" + "|" + t / "q" + "\n");
  Result r = runCli(t, "--ini=k.INI check");
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.err.find("'Verz0'"), std::string::npos) << r.err;
}

TEST_F(CheckCommand, DefaultSettingsFileAndBareIniNames) {
  // No settings file at all: an empty job list, nothing missing.
  Result r = runCli(t, "check");
  EXPECT_EQ(r.status, 0);
  t.write("config/kalvero/eigen.INI", "[SichQZ]\nVersion=2\nAnzahl=1\nVerz0=1|1|/gibt/es/nicht|/tmp\n");
  r = runCli(t, "/ini=eigen.INI check");  // a bare name lives beside the default file
  EXPECT_EQ(r.status, 1);
}

TEST_F(CheckCommand, UsageErrorsAndUnreadableSettings) {
  for (const char* args : {"", "frob", "--ini", "--bogus check", "check extra"}) {
    Result r = runCli(t, args);
    EXPECT_EQ(r.status, 2) << args;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << args << ": " << r.err;
    EXPECT_EQ(r.out, "") << args;
  }
  t.mkdir("dir.INI");
  Result r = runCli(t, "--ini dir.INI check");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("kann nicht gelesen werden"), std::string::npos);
}

TEST_F(CheckCommand, HelpAndVersion) {
  Result h = runCli(t, "--help");
  EXPECT_EQ(h.status, 0);
  EXPECT_NE(h.out.find("kalvero-cli [--ini DATEI | /Ini=DATEI] BEFEHL"), std::string::npos);
  Result v = runCli(t, "--version");
  EXPECT_EQ(v.status, 0);
  EXPECT_EQ(v.out.rfind("kalvero-cli ", 0), 0u);
}

TEST_F(CheckCommand, ListFilesAreRemovedAtTheEnd) {
  runCli(t, "check");
  std::string dir = t / ("Kalvero-" + std::to_string(geteuid()));
  FILE* p = popen(("ls -A '" + dir + "' 2>/dev/null").c_str(), "r");
  char buf[256];
  std::string listing;
  std::size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) listing.append(buf, n);
  pclose(p);
  EXPECT_EQ(listing, "");
}
