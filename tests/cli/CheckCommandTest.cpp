#include <gtest/gtest.h>
#include <sys/wait.h>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "support/RunCli.h"
#include "support/TempDir.h"

using kalvero::test::TempDir;

namespace {

using kalvero::test::CliResult;

CliResult runCli(const TempDir& t, const std::string& args) { return kalvero::test::RunCli(t, args); }

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
  CliResult r = runCli(t, "--ini k.INI check");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out,
            "Alle aktiven Quellverzeichnisse sind vorhanden.\r\n\r\n"
            "Alle aktiven Zielverzeichnisse sind vorhanden.\r\n\r\n");
}

TEST_F(CheckCommand, MissingDirectoriesExitOne) {
  t.mkdir("q");
  t.write("datei", "a file where a directory would have to be made");
  t.write("k.INI", "[SichQZ]\nVersion=2\nAnzahl=1\nVerz0=1|1|" + t / "q" + "|" + t / "datei/fehlt" + "\n");
  CliResult r = runCli(t, "'/Ini=" + t / "k.INI" + "' check");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "Alle aktiven Quellverzeichnisse sind vorhanden.\r\n\r\n"
                   "Die folgenden aktiven Zielverzeichnisse sind nicht vorhanden:\n" + t / "datei/fehlt" + "\r\n\r\n");
}

TEST_F(CheckCommand, ADestinationTheFirstBackupMakesIsANote) {
  t.mkdir("q");
  t.write("k.INI", "[SichQZ]\nVersion=2\nAnzahl=1\nVerz0=1|1|" + t / "q" + "|" + t / "neu/Sicherung" + "\n");
  const CliResult r = runCli(t, "--ini k.INI check");
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(r.out, "Alle aktiven Quellverzeichnisse sind vorhanden.\r\n\r\n"
                   "Hinweis: Das Zielverzeichnis '" + t / "neu/Sicherung" +
                       "' ist noch nicht vorhanden und wird beim ersten Sichern angelegt.\r\n");
}

TEST_F(CheckCommand, IncompleteEntriesAreNamedOnStderr) {
  t.mkdir("q");
  t.write("k.INI", "[SichQZ]\nVersion=2\nAnzahl=2\nVerz0=1|1||\nVerz1=1|1|" + t / "q" + "|" + t / "q" + "\n");
  CliResult r = runCli(t, "--ini=k.INI check");
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.err.find("'Verz0'"), std::string::npos) << r.err;
}

TEST_F(CheckCommand, DefaultSettingsFileAndBareIniNames) {
  // No settings file at all: a first start, told where the file was looked for.
  CliResult r = runCli(t, "check");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("'" + t / "config/kalvero/kalvero.INI" + "'"), std::string::npos) << r.err;
  t.write("config/kalvero/eigen.INI", "[SichQZ]\nVersion=2\nAnzahl=1\nVerz0=1|1|/gibt/es/nicht|/tmp\n");
  r = runCli(t, "/ini=eigen.INI check");  // a bare name lives beside the default file
  EXPECT_EQ(r.status, 1);
}

TEST_F(CheckCommand, UsageErrorsAndUnreadableSettings) {
  for (const char* args : {"", "frob", "--ini", "--bogus check", "check extra"}) {
    CliResult r = runCli(t, args);
    EXPECT_EQ(r.status, 2) << args;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << args << ": " << r.err;
    EXPECT_EQ(r.out, "") << args;
  }
  t.mkdir("dir.INI");
  CliResult r = runCli(t, "--ini dir.INI check");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("kann nicht gelesen werden"), std::string::npos);
}

TEST_F(CheckCommand, HelpAndVersion) {
  CliResult h = runCli(t, "--help");
  EXPECT_EQ(h.status, 0);
  EXPECT_NE(h.out.find("kalvero-cli [--ini DATEI | /Ini=DATEI] BEFEHL"), std::string::npos);
  CliResult v = runCli(t, "--version");
  EXPECT_EQ(v.status, 0);
  EXPECT_EQ(v.out.rfind("kalvero-cli ", 0), 0u);
}

TEST_F(CheckCommand, ListFilesAreRemovedAtTheEnd) {
  runCli(t, "check");
  std::string dir = t / "cache/kalvero";
  FILE* p = popen(("ls -A '" + dir + "' 2>/dev/null").c_str(), "r");
  char buf[256];
  std::string listing;
  std::size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) listing.append(buf, n);
  pclose(p);
  EXPECT_EQ(listing, "");
}
