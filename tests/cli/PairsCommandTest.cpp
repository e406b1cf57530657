// kalvero-cli on a first start and with its job list: the way from nothing
// to a first backup, the pairs command through the settings file the window
// reads, and refused arguments that leave the file as it was.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "app/SettingsFile.h"
#include "support/RunCli.h"
#include "support/TempDir.h"

namespace kalvero {
namespace {

using test::CliResult;
using test::RunCli;
using test::TempDir;

class PairsCommand : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!std::getenv("KALVERO_CLI")) GTEST_SKIP() << "KALVERO_CLI not set";
  }
  std::string ini() const { return t / "config/kalvero/kalvero.INI"; }
  TempDir t;
};

TEST_F(PairsCommand, FromNothingToAFirstBackup) {
  t.write("Dokumente/Brief.txt", "Brief");
  for (const char* command : {"backup", "list", "check"}) {
    const CliResult r = RunCli(t, command);
    EXPECT_EQ(r.status, 2) << command;
    EXPECT_EQ(r.err, "Es gibt noch keine Einstellungsdatei '" + ini() +
                         "'. Legen Sie mit 'kalvero-cli pairs add QUELLE ZIEL' ein Paar an oder starten Sie das "
                         "Fenster 'kalvero'.\n")
        << command;
  }
  EXPECT_FALSE(t.exists("config/kalvero/kalvero.INI"));

  CliResult r = RunCli(t, "pairs add Dokumente 'USB/Dokumente'");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "Paar 1 angelegt: '" + t / "Dokumente" + "' -> '" + t / "USB/Dokumente" +
                       "'.\nSichern Sie jetzt mit 'kalvero-cli backup'; das Protokoll steht in '" +
                       t / "data/kalvero/sichern.log" + "'.\n");
  r = RunCli(t, "backup --quiet");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(t.read("USB/Dokumente/Brief.txt"), "Brief");
  // Quiet: no pair lines, only the summary.
  EXPECT_EQ(r.out.rfind("1 Dateien kopiert\n", 0), 0u) << r.out;
  EXPECT_NE(t.read("data/kalvero/sichern.log").find("ZUSAMMENFASSUNG"), std::string::npos);

  // A file without an active pair is no start either.
  ASSERT_EQ(RunCli(t, "pairs set 1 --inactive").status, 0);
  r = RunCli(t, "backup");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("enthält kein aktives Paar"), std::string::npos) << r.err;
}

// A hint shows the settings file as the command line gave it, so that the
// command it names works on the same job list.
TEST_F(PairsCommand, HintsKeepTheSettingsFile) {
  t.mkdir("Dokumente");
  CliResult r = RunCli(t, "--ini 'eigene Liste.INI' backup");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("Legen Sie mit 'kalvero-cli --ini 'eigene Liste.INI' pairs add QUELLE ZIEL' ein Paar an"),
            std::string::npos)
      << r.err;
  r = RunCli(t, "--ini liste.INI pairs add Dokumente USB");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("Sichern Sie jetzt mit 'kalvero-cli --ini liste.INI backup';"), std::string::npos) << r.out;
  ASSERT_EQ(RunCli(t, "--ini liste.INI pairs remove 1").status, 0);
  EXPECT_EQ(RunCli(t, "--ini liste.INI pairs").out,
            "Die Auftragsliste ist leer. Legen Sie mit 'kalvero-cli --ini liste.INI pairs add QUELLE ZIEL' ein Paar "
            "an.\n");
}

TEST_F(PairsCommand, RoundTripThroughTheWindowsLoader) {
  t.mkdir("q");
  ASSERT_EQ(RunCli(t, "pairs add q z --no-subdirs --exclude q/tmp --exclude-tree 'q/Cache ä'").status, 0);
  ASSERT_EQ(RunCli(t, "pairs add /daten /sicherung/daten --inactive").status, 0);
  ASSERT_EQ(RunCli(t, "pairs add /drei /ziel3").status, 0);
  ASSERT_EQ(RunCli(t, "pairs set 2 --active").status, 0);
  ASSERT_EQ(RunCli(t, "pairs remove 3").status, 0);

  const JobList jobs = SettingsFile(ini()).loadJobList();
  ASSERT_EQ(jobs.size(), 2u);
  EXPECT_EQ(jobs[0].active, 1);
  EXPECT_EQ(jobs[0].withSubdirs, 0);
  EXPECT_EQ(jobs[0].source, t / "q");
  EXPECT_EQ(jobs[0].destination, t / "z");
  ASSERT_EQ(jobs[0].excluded.size(), 2u);
  EXPECT_EQ(jobs[0].excluded[0].withSubdirs, 0);
  EXPECT_EQ(jobs[0].excluded[0].directory, t / "q/tmp");
  EXPECT_EQ(jobs[0].excluded[1].withSubdirs, 1);
  EXPECT_EQ(jobs[0].excluded[1].directory, t / "q/Cache ä");
  EXPECT_EQ(jobs[1].active, 1);
  EXPECT_EQ(jobs[1].source, "/daten");

  const CliResult r = RunCli(t, "pairs");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "1  Aktiv: Ja  Unterverzeichnisse: Nein\n   Quelle: " + t / "q" + "\n   Ziel:   " + t / "z" +
                       "\n   Ausgeschlossen (nur dieses Verzeichnis): " + t / "q/tmp" +
                       "\n   Ausgeschlossen (mit Unterverzeichnissen): " + t / "q/Cache ä" +
                       "\n2  Aktiv: Ja  Unterverzeichnisse: Ja\n   Quelle: /daten\n   Ziel:   /sicherung/daten\n");

  // set-log names the run log and creates nothing.
  EXPECT_EQ(RunCli(t, "set-log logs/s.log").status, 0);
  EXPECT_EQ(SettingsFile(ini()).loadBackupOptions().Protokolldatei, t / "logs/s.log");
  EXPECT_FALSE(t.exists("logs"));
  EXPECT_EQ(SettingsFile(ini()).loadJobList().size(), 2u);
}

TEST_F(PairsCommand, RefusedArgumentsLeaveTheFileByteIdentical) {
  ASSERT_EQ(RunCli(t, "pairs add /a /b").status, 0);
  const std::string before = test::readFile(ini());
  for (const char* args :
       {"pairs add /a", "pairs add /a /b", "pairs add /a /a/sicherung", "pairs add '/a|b' /c",
        "pairs add /a /c --bogus", "pairs add /a /c --exclude", "pairs add /a /c --exclude /anderswo", "pairs remove 2",
        "pairs remove x", "pairs remove", "pairs set 1", "pairs set 1 --an", "pairs set 0 --active", "pairs frob",
        "set-log", "set-log a b", "set-log /tmp/"}) {
    const CliResult r = RunCli(t, args);
    EXPECT_EQ(r.status, 2) << args;
    EXPECT_EQ(r.out, "") << args;
    EXPECT_EQ(r.err.empty() ? '\0' : r.err.back(), '\n') << args;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << args << ": " << r.err;
    EXPECT_EQ(test::readFile(ini()), before) << args;
  }
  // Every command explains itself with an example.
  for (const char* command : {"pairs", "set-log", "check", "list", "backup", "restore", "schedule"}) {
    const CliResult r = RunCli(t, std::string(command) + " --help");
    EXPECT_EQ(r.status, 0) << command;
    EXPECT_NE(r.out.find("Beispiel"), std::string::npos) << command;
  }
}

}  // namespace
}  // namespace kalvero
