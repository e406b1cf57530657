#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "support/RunCli.h"
#include "support/TempDir.h"

using kalvero::test::TempDir;

namespace {

using kalvero::test::CliResult;

CliResult runRestoreCli(const TempDir& t, const std::string& args) { return kalvero::test::RunCli(t, args); }

class RestoreCommand : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!std::getenv("KALVERO_CLI")) GTEST_SKIP() << "KALVERO_CLI not set";
  }
  void writeSettings(const std::string& src, const std::string& dst, const std::string& log) {
    t.write("k.INI", "[Rueck]\nPathSrc=" + src + "\nPathDst=" + dst + "\nProtokolldatei=" + log +
                         "\nSubVerz=1\nOnlyByKalvero=1\n");
  }
  TempDir t;
};

TEST_F(RestoreCommand, RestoresAndReportsACleanRun) {
  t.write("Sicherung/Briefe ä/a.txt", "Brief");
  t.write("Sicherung/leer", "");
  writeSettings(t / "Sicherung", t / "Zurück", t / "r.log");
  const CliResult r = runRestoreCli(t, "--ini k.INI restore");
  EXPECT_EQ(r.status, 0) << r.err;
  // The summary in the run log's words, the time taken and where the log is.
  EXPECT_EQ(r.out.rfind("2 Dateien kopiert\n0 Fehler beim Rücksichern\nBenötigte Zeit = 00:00:", 0), 0u) << r.out;
  EXPECT_NE(r.out.find("\nProtokolldatei = " + t / "r.log" + "\n"), std::string::npos) << r.out;
  EXPECT_EQ(kalvero::test::readFile(t / "Zurück/Briefe ä/a.txt"), "Brief");
  EXPECT_TRUE(t.exists("Zurück/leer"));
  const std::string log = kalvero::test::readFile(t / "r.log");
  EXPECT_NE(log.find("Rücksicherung gestartet: "), std::string::npos);
  EXPECT_NE(log.find("0 Fehler beim Rücksichern\r\n"), std::string::npos);
  // The settings were saved as the start button does (the values survive).
  EXPECT_NE(kalvero::test::readFile(t / "k.INI").find("PathDst=" + t / "Zurück"), std::string::npos);
}

TEST_F(RestoreCommand, FailedFilesGiveExitOneAndTheirLineOnStdout) {
  t.write("Sicherung/b.txt", "neu");
  t.write("Zurück/b.txt", "alt");
  std::filesystem::permissions(t / "Zurück/b.txt", std::filesystem::perms::owner_write,
                               std::filesystem::perm_options::remove);
  writeSettings(t / "Sicherung", t / "Zurück", t / "r.log");
  const CliResult r = runRestoreCli(t, "--ini k.INI restore");
  EXPECT_EQ(r.status, 1) << r.err;
  EXPECT_NE(r.out.find("Fehler beim Kopieren der Datei von '" + t / "Sicherung/b.txt" + "'"), std::string::npos);
  EXPECT_NE(r.out.find("1 Fehler beim Rücksichern\n"), std::string::npos);
  EXPECT_EQ(kalvero::test::readFile(t / "Zurück/b.txt"), "alt");
}

TEST_F(RestoreCommand, RefusedBeforeTheStartWithExitTwo) {
  t.mkdir("Sicherung");
  writeSettings(t / "fehlt", t / "Zurück", t / "r.log");
  CliResult r = runRestoreCli(t, "--ini k.INI restore");
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err, "Quellverzeichnis: '" + t / "fehlt" + "'\nnicht vorhanden.\n");

  writeSettings(t / "Sicherung", t / "Zurück", t / "kein/r.log");
  r = runRestoreCli(t, "--ini k.INI restore");
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err, "Verzeichnis der Protokolldatei: '" + t / "kein/" + "'\nnicht vorhanden.\n");

  writeSettings(t / "Sicherung", "", t / "r.log");
  r = runRestoreCli(t, "--ini k.INI restore");
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err, "Kein Zielverzeichnis angegeben.\n");
  EXPECT_FALSE(t.exists("r.log"));
}

TEST_F(RestoreCommand, SourceAndDestinationNeedNoSettingsFile) {
  t.write("Sicherung/Briefe/a.txt", "aus der Sicherung");
  t.write("Sicherung/oben.txt", "oben");
  t.write("Zurück/Briefe/a.txt", "weitergeschrieben");
  CliResult r = runRestoreCli(t, "restore Sicherung Zurück");
  EXPECT_EQ(r.status, 0) << r.err;
  // The kept file's line as it happens, then the summary that counts it.
  EXPECT_EQ(r.out.rfind("Hinweis: '" + t / "Zurück/Briefe/a.txt" + "' unterschied sich von der Sicherung; die "
                        "bisherige Fassung bleibt als '" + t / "Zurück/Briefe/a (vor Rücksicherung ", 0),
            0u)
      << r.out;
  EXPECT_NE(r.out.find("\n2 Dateien kopiert\n1 abweichende Dateien im Ziel daneben erhalten (vor Rücksicherung)\n"
                       "0 Fehler beim Rücksichern\n"),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("\nProtokolldatei = " + t / "data/kalvero/ruecksichern.log" + "\n"), std::string::npos);
  EXPECT_EQ(t.read("Zurück/Briefe/a.txt"), "aus der Sicherung");
  EXPECT_NE(t.read("data/kalvero/ruecksichern.log").find("Zielverzeichnis = " + t / "Zurück" + "\r\n"),
            std::string::npos);
  EXPECT_FALSE(t.exists("config/kalvero/kalvero.INI"));  // nothing saved without --save

  // --log names the log, --save keeps the arguments for a restore without them.
  r = runRestoreCli(t, "restore Sicherung Zurück --log r.log --save");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("2 Dateien im Ziel waren schon gleich und wurden nicht neu geschrieben\n"), std::string::npos);
  EXPECT_NE(t.read("config/kalvero/kalvero.INI").find("PathSrc=" + t / "Sicherung"), std::string::npos);
  r = runRestoreCli(t, "restore");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("\nProtokolldatei = " + t / "r.log" + "\n"), std::string::npos) << r.out;

  // With --ini the options of its "Rueck" section hold for the arguments too.
  t.write("k.INI", "[Rueck]\nSubVerz=0\n");
  EXPECT_EQ(runRestoreCli(t, "--ini k.INI restore Sicherung flach").status, 0);
  EXPECT_TRUE(t.exists("flach/oben.txt"));
  EXPECT_FALSE(t.exists("flach/Briefe"));
}

TEST_F(RestoreCommand, WithoutSourceAndDestinationTheCallIsShown) {
  CliResult r = runRestoreCli(t, "restore");
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err, "kalvero-cli: restore: Es ist nichts zum Rücksichern angegeben. Sichern Sie mit 'kalvero-cli "
                   "restore QUELLE ZIEL' zurück.\n");
  t.write("k.INI", "[Rueck]\nSubVerz=1\n");
  r = runRestoreCli(t, "--ini k.INI restore");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("'kalvero-cli --ini k.INI restore QUELLE ZIEL'"), std::string::npos) << r.err;
  r = runRestoreCli(t, "restore nur-eins");
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err, "kalvero-cli: restore: 'restore' braucht QUELLE und ZIEL (kalvero-cli restore --help zeigt den "
                   "Aufruf)\n");
  EXPECT_NE(runRestoreCli(t, "restore --help").out.find("kalvero-cli restore QUELLE ZIEL"), std::string::npos);
}

}  // namespace
