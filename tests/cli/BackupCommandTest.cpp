// kalvero-cli backup on real trees: the start check, the run's lines on
// stdout, and the exit status (0 clean, 1 errors, 2 not started, 3 cancelled).
#include <fcntl.h>
#include <sys/stat.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include <gtest/gtest.h>

#include "app/SettingsFile.h"
#include "support/RunCli.h"
#include "support/TempDir.h"

extern char** environ;

namespace kalvero {
namespace {

using test::TempDir;

struct Result {
  int status = -1;
  std::string out;
};

// Starts kalvero-cli backup on the settings file; sends SIGINT as soon as a
// stdout line containing interruptOnLineWith has arrived.
Result runBackup(const TempDir& t, const std::string& ini, const std::string& interruptOnLineWith = {}) {
  Result r;
  const char* cli = std::getenv("KALVERO_CLI");
  if (!cli) return r;
  std::filesystem::create_directories(t.path() + "/tmp");
  int fds[2];
  if (pipe(fds) != 0) return r;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
  posix_spawn_file_actions_addclose(&actions, fds[0]);
  const std::string errPath = t.path() + "/stderr";
  posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  std::vector<std::string> env = {"TMPDIR=" + t.path() + "/tmp", "XDG_CONFIG_HOME=" + t.path() + "/cfg",
                                  "PATH=/usr/bin:/bin"};
  std::vector<char*> envp;
  for (auto& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  std::string a0 = cli, a1 = "--ini", a2 = ini, a3 = "backup";
  char* argv[] = {a0.data(), a1.data(), a2.data(), a3.data(), nullptr};
  pid_t pid = 0;
  const int rc = posix_spawn(&pid, cli, &actions, nullptr, argv, envp.data());
  posix_spawn_file_actions_destroy(&actions);
  close(fds[1]);
  if (rc != 0) {
    close(fds[0]);
    return r;
  }
  FILE* in = fdopen(fds[0], "r");
  char buf[4096];
  bool interrupted = false;
  while (fgets(buf, sizeof buf, in)) {
    r.out += buf;
    if (!interruptOnLineWith.empty() && !interrupted && r.out.find(interruptOnLineWith) != std::string::npos) {
      kill(pid, SIGINT);
      interrupted = true;
    }
  }
  fclose(in);
  int st = 0;
  waitpid(pid, &st, 0);
  r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  return r;
}

std::string save(const TempDir& t, const BackupOptions& o, const JobList& jobs) {
  const std::string ini = t.path() + "/k.INI";
  std::string error;
  EXPECT_TRUE(SettingsFile(ini).saveBackupSettings(o, jobs, &error)) << error;
  return ini;
}

TEST(CliBackup, LogDirectoryMissingDoesNotStart) {
  TempDir t;
  t.write("s/a.txt", "a");
  BackupOptions o;
  o.Protokolldatei = t.path() + "/missing/run.log";
  const std::string ini = save(t, o, {{1, 1, t.path() + "/s", t.path() + "/d", {}}});
  const Result r = runBackup(t, ini);
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(test::readFile(t.path() + "/stderr"),
            "Verzeichnis der Protokolldatei: '" + t.path() + "/missing/'\nnicht vorhanden.\n");
  EXPECT_FALSE(t.exists("d"));
}

TEST(CliBackup, CleanRunAndRunWithErrors) {
  TempDir t;
  t.write("s/a.txt", "a");
  t.write("s/sub/b.txt", "bb");
  BackupOptions o;
  o.Protokolldatei = t.path() + "/run.log";
  o.MitPrueffile = 1;
  o.Prueffile = t.path() + "/p.chk";
  const std::string ini = save(t, o, {{1, 1, t.path() + "/s", t.path() + "/d", {}}});
  Result r = runBackup(t, ini);
  EXPECT_EQ(r.status, 0) << test::readFile(t.path() + "/stderr");
  // The pair's line, then the run's totals in the run log's own words.
  EXPECT_EQ(r.out.rfind("**** Quellverzeichnis: \"" + t.path() + "/s\",   Zielverzeichnis: \"" + t.path() + "/d\"\n"
                        "2 Dateien kopiert\n"
                        "Gesamtanzahl der übersprungenen Dateien: 0\n"
                        "Gesamtanzahl der Fehler: 0,  Anzahl nicht vorhandener Quellverzeichnisse: 0\n"
                        "Benötigte Zeit = 00:00:",
                        0),
            0u)
      << r.out;
  EXPECT_NE(r.out.find("\nProtokolldatei = " + t.path() + "/run.log\n"), std::string::npos) << r.out;
  EXPECT_EQ(t.read("d/sub/b.txt"), "bb");
  EXPECT_NE(t.read("run.log").find("Gesamtanzahl der Fehler: 0,"), std::string::npos);

  // A folder whose copy is a file of an earlier run: the file is kept
  // beside the new folder, and the run is clean.
  t.write("s/blocked/c.txt", "c");
  t.write("d/blocked", "file");
  r = runBackup(t, ini);
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(t.read("d/blocked/c.txt"), "c");
  EXPECT_NE(r.out.find("ist in der Quelle jetzt von anderer Art"), std::string::npos) << r.out;

  // A source directory that is gone: the run ends with errors.
  std::filesystem::remove_all(t.path() + "/s");
  r = runBackup(t, ini);
  EXPECT_EQ(r.status, 1) << r.out;
  EXPECT_EQ(r.out.find("\nGesamtanzahl der Fehler: 0,  Anzahl nicht vorhandener Quellverzeichnisse: 0"),
            std::string::npos)
      << r.out;
}

TEST(CliBackup, MissingSourceIsNoSuccess) {
  TempDir t;
  t.write("s/a.txt", "a");
  BackupOptions o;
  o.Protokolldatei = t.path() + "/run.log";
  const std::string ini =
      save(t, o, {{1, 1, t.path() + "/fehlt", t.path() + "/d1", {}}, {1, 1, t.path() + "/s", t.path() + "/d2", {}}});
  const Result r = runBackup(t, ini);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(t.read("d2/a.txt"), "a");
  EXPECT_EQ(test::readFile(t.path() + "/stderr"),
            "kalvero-cli: Diese Quellverzeichnisse waren nicht vorhanden und wurden nicht gesichert: '" + t.path() +
                "/fehlt'\n");
  // The run log tells it as before: a missing source is not counted as an error there.
  const std::string log = t.read("run.log");
  EXPECT_NE(log.find("ACHTUNG: Das Quellverzeichnis existiert nicht !!"), std::string::npos);
  EXPECT_NE(log.find("Gesamtanzahl der Fehler: 0,  Anzahl nicht vorhandener Quellverzeichnisse: 1\r\n"),
            std::string::npos);
}

TEST(CliBackup, CtrlCCancelsInOrder) {
  TempDir t;
  t.write("s1/a.txt", "a");
  // Large enough that its copy is usually still running when the signal arrives.
  t.write("s2/big.bin", std::string(64u * 1024 * 1024, 'x'));
  t.write("s3/c.txt", "c");
  BackupOptions o;
  o.Protokolldatei = t.path() + "/run.log";
  o.Compare = 1;
  o.MitPrueffile = 1;
  o.Prueffile = t.path() + "/p.chk";
  const std::string ini = save(t, o,
                               {{1, 1, t.path() + "/s1", t.path() + "/d1", {}},
                                {1, 1, t.path() + "/s2", t.path() + "/d2", {}},
                                {1, 1, t.path() + "/s3", t.path() + "/d3", {}}});
  const Result r = runBackup(t, ini, "/s2\"");
  EXPECT_EQ(r.status, 3) << r.out << test::readFile(t.path() + "/stderr");
  const std::string log = t.read("run.log");
  // The signal comes either before pair 2 starts (it is passed over) or
  // during its copy (its log ends with the cancel line); the run ends in
  // order either way.
  if (log.find("Quellverzeichnis = " + t.path() + "/s2\r\nDas Quellverzeichnis existiert.\r\nZielverzeichnis") !=
      std::string::npos) {
    EXPECT_NE(log.find("***   Das Sichern wurde abgebrochen!   ***\r\n"), std::string::npos) << log;
  }
  EXPECT_NE(log.find("ZUSAMMENFASSUNG"), std::string::npos) << log;
  EXPECT_NE(log.find("Quellverzeichnis = " + t.path() + "/s3\r\nZielverzeichnis"), std::string::npos);
  EXPECT_TRUE(t.exists("p.chk"));
  EXPECT_EQ(t.read("d1/a.txt"), "a");
  EXPECT_FALSE(t.exists("d2/big.bin"));
  EXPECT_FALSE(t.exists("d3"));
}

// One run a day under a faked clock (the files' own times stay real).
test::CliResult RunOnDay(const TempDir& t, const std::string& day) {
  return test::RunCli(t, "--ini k.INI backup",
                      "NO_FAKE_STAT=1 ASAN_OPTIONS=verify_asan_link_order=0 faketime '" + day + " 10:00:00'");
}

ino_t InodeOf(const std::string& path) {
  struct stat st {};
  return lstat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}

TEST(CliBackup, CompleteDatedStatesOnThreeDays) {
  if (std::system("command -v faketime >/dev/null 2>&1") != 0) GTEST_SKIP() << "faketime is not installed";
  TempDir t;
  t.write("q/a.txt", "eins");
  t.write("q/sub/b.txt", "zwei");
  ASSERT_EQ(chmod((t.path() + "/q/sub/b.txt").c_str(), 0644), 0);
  BackupOptions o;
  o.Protokolldatei = t.path() + "/run.log";
  o.SubVerzDatum = 1;
  o.DatumVollstaendig = 1;
  save(t, o, {{1, 1, t.path() + "/q", t.path() + "/z", {}}});
  const std::string z = t.path() + "/z/";
  test::CliResult r = RunOnDay(t, "2026-11-02");
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  ASSERT_TRUE(t.exists("z/2026_11_02/Kalvero-Vollstaendig.txt"));

  t.write("q/a.txt", "eins, geändert");
  r = RunOnDay(t, "2026-11-03");
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_NE(r.out.find("1 davon unverändert als feste Verknüpfung"), std::string::npos) << r.out;
  EXPECT_EQ(InodeOf(z + "2026_11_03/sub/b.txt"), InodeOf(z + "2026_11_02/sub/b.txt"));
  EXPECT_NE(InodeOf(z + "2026_11_03/a.txt"), InodeOf(z + "2026_11_02/a.txt"));

  // The mode alone changed: a copy, and the older states keep theirs.
  ASSERT_EQ(chmod((t.path() + "/q/sub/b.txt").c_str(), 0600), 0);
  r = RunOnDay(t, "2026-11-04");
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_EQ(InodeOf(z + "2026_11_04/a.txt"), InodeOf(z + "2026_11_03/a.txt"));
  EXPECT_NE(InodeOf(z + "2026_11_04/sub/b.txt"), InodeOf(z + "2026_11_03/sub/b.txt"));
  struct stat st {};
  ASSERT_EQ(stat((z + "2026_11_03/sub/b.txt").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0644u);
  for (const char* day : {"2026_11_02", "2026_11_03", "2026_11_04"}) {
    EXPECT_TRUE(t.exists(std::string("z/") + day + "/Kalvero-Vollstaendig.txt")) << day;
    EXPECT_EQ(std::system(("cd '" + z + day + "' && sha256sum -c --quiet --strict Kalvero-Pruefsummen.sha256").c_str()), 0);
  }
  r = test::RunCli(t, "--ini k.INI verify");
  EXPECT_EQ(r.status, 0) << r.out << r.err;

  // One dated folder restored: that day's state, without the program's own files.
  r = test::RunCli(t, "--ini k.INI restore '" + z + "2026_11_03' '" + t.path() + "/zurueck'");
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_EQ(t.read("zurueck/a.txt"), "eins, geändert");
  EXPECT_EQ(t.read("zurueck/sub/b.txt"), "zwei");
  EXPECT_FALSE(t.exists("zurueck/Kalvero-Vollstaendig.txt"));
  EXPECT_FALSE(t.exists("zurueck/Kalvero-Pruefsummen.sha256"));
}

}  // namespace
}  // namespace kalvero
