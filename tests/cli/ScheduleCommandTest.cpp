// kalvero-cli schedule against a stand-in systemctl on PATH that records
// its calls (the real user manager is never reached), and the unit texts.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <sstream>
#include <cstdlib>
#include <ctime>
#include <iostream>

#include "app/PluggedRun.h"
#include "app/PluggedSchedule.h"
#include "app/Reminder.h"
#include "app/Schedule.h"
#include "app/SettingsFile.h"
#include "app/VerifySchedule.h"
#include "backup/MainsWait.h"
#include "platform/FileSystem.h"
#include "support/RunCli.h"
#include "support/TempDir.h"

namespace kalvero {
namespace {

using test::CliResult;
using test::readFile;
using test::RunCli;
using test::TempDir;

std::string expected(const std::string& name) {
  const char* source = std::getenv("KALVERO_SOURCE_DIR");
  return readFile(std::string(source ? source : ".") + "/tests/cli/expected/" + name);
}

class ScheduleCommand : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!std::getenv("KALVERO_CLI")) GTEST_SKIP() << "KALVERO_CLI not set";
    // Records every call; "list-timers" answers like systemd; SYSTEMCTL_FAIL makes every call fail.
    t.write("bin/systemctl",
            "#!/bin/sh\n"
            "echo \"$*\" >> \"$SYSTEMCTL_LOG\"\n"
            "[ -n \"$SYSTEMCTL_FAIL\" ] && { echo 'Failed to connect to bus: No medium found' >&2; exit 1; }\n"
            "case \"$*\" in *list-timers*) echo 'NEXT LEFT UNIT'; echo 'Mon 2026-12-07 20:15:00 UTC 1h "
            "kalvero-backup.timer';; esac\n"
            "exit 0\n");
    chmod((t / "bin/systemctl").c_str(), 0755);
  }
  CliResult schedule(const std::string& args, const std::string& more = {}) {
    return RunCli(t, "schedule " + args,
                  "PATH='" + t / "bin" + "':\"$PATH\" SYSTEMCTL_LOG='" + t / "calls" + "' " + more);
  }
  std::string units() const { return t / "config/systemd/user/"; }
  TempDir t;
};

TEST(ScheduleUnits, TextsAsExpected) {
  EXPECT_EQ(ServiceUnitText("/usr/bin/kalvero-cli", "/home/anna/Eigene Dateien/100%$\"ok\".INI"),
            expected("kalvero-backup.service"));
  EXPECT_EQ(TimerUnitText({Schedule::Kind::Daily, 0, 20, 15}), expected("kalvero-backup-daily.timer"));
  EXPECT_EQ(TimerUnitText({Schedule::Kind::Weekly, 4, 7, 5}), expected("kalvero-backup-weekly.timer"));
  int h = 0, m = 0, d = 0;
  EXPECT_TRUE(ParseScheduleTime("7:05", &h, &m) && h == 7 && m == 5);
  for (const char* bad : {"24:00", "12:60", "1205", "12:5", ":30", "12:30:00", "-1:30", " 1:30"})
    EXPECT_FALSE(ParseScheduleTime(bad, &h, &m)) << bad;
  EXPECT_TRUE(ParseWeekday("so", &d) && d == 6);
  EXPECT_TRUE(ParseWeekday("Thu", &d) && d == 3);
  EXPECT_FALSE(ParseWeekday("Montag", &d));
}

TEST_F(ScheduleCommand, DailyWeeklyShowAndOff) {
  t.write("k.INI", "[SichQZ]\n");
  CliResult r = RunCli(t, "--ini k.INI schedule daily 20:15",
                       "PATH='" + t / "bin" + "':\"$PATH\" SYSTEMCTL_LOG='" + t / "calls" + "'");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out, "Zeitplan: täglich um 20:15\nNEXT LEFT UNIT\nMon 2026-12-07 20:15:00 UTC 1h kalvero-backup.timer\n");
  const std::string cli = platform::absolutePath(std::getenv("KALVERO_CLI"));
  EXPECT_EQ(readFile(units() + "kalvero-backup.service"), ServiceUnitText(cli, t / "k.INI"));
  EXPECT_EQ(readFile(units() + "kalvero-backup.timer"), expected("kalvero-backup-daily.timer"));
  EXPECT_EQ(t.read("calls"),
            "--user daemon-reload\n--user enable --now kalvero-backup.timer\n"
            "--user daemon-reload\n--user enable --now kalvero-remind.timer\n"
            "--user list-timers --all --no-pager kalvero-backup.timer\n");
  EXPECT_EQ(readFile(units() + "kalvero-remind.service"), ReminderServiceText(cli, t / "k.INI"));
  EXPECT_EQ(readFile(units() + "kalvero-remind.timer"), expected("kalvero-remind.timer"));

  // systemd reads them as units (where systemd-analyze is installed).
  t.mkdir("run");
  const std::string verify = "XDG_RUNTIME_DIR='" + t / "run" + "' systemd-analyze --user --man=no verify '" + units() +
                             "kalvero-backup.service' '" + units() + "kalvero-backup.timer' '" + units() + "kalvero-remind.service' '" +
                             units() + "kalvero-remind.timer' >'" + t / "verify.txt" +
                             "' 2>&1";
  if (std::system("command -v systemd-analyze >/dev/null") == 0) {
    EXPECT_EQ(std::system(verify.c_str()), 0) << t.read("verify.txt");
  }

  test::writeFile(t / "calls", "");
  r = schedule("weekly Fr 07:05");
  ASSERT_EQ(r.status, 0) << r.err;
  // Planned on the default settings file, which is not there yet: said, not refused.
  EXPECT_NE(r.err.find("Warnung: Es gibt noch keine Einstellungsdatei"), std::string::npos) << r.err;
  EXPECT_EQ(readFile(units() + "kalvero-backup.timer"), expected("kalvero-backup-weekly.timer"));
  // A timer already running takes its new time only when restarted.
  EXPECT_NE(t.read("calls").find("--user restart kalvero-backup.timer\n"), std::string::npos) << t.read("calls");
  r = schedule("show");
  EXPECT_EQ(r.out.rfind("Zeitplan: wöchentlich am Fr um 07:05\n", 0), 0u) << r.out;

  test::writeFile(t / "calls", "");
  r = schedule("off");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "Zeitplan: nie\n");
  EXPECT_FALSE(t.exists("config/systemd/user/kalvero-backup.timer"));
  EXPECT_FALSE(t.exists("config/systemd/user/kalvero-backup.service"));
  EXPECT_EQ(t.read("calls"),
            "--user disable --now kalvero-backup.timer\n--user daemon-reload\n"
            "--user disable --now kalvero-remind.timer\n--user daemon-reload\n");
  EXPECT_FALSE(t.exists("config/systemd/user/kalvero-remind.timer"));
}

TEST_F(ScheduleCommand, RefusalsLeaveNoHalfPlan) {
  for (const char* args : {"", "daily", "daily 25:00", "weekly Montag 20:00", "weekly Mo", "hourly", "off now"}) {
    const CliResult r = schedule(args);
    EXPECT_EQ(r.status, 2) << args;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << args << ": " << r.err;
  }
  EXPECT_FALSE(t.exists("calls"));

  // No user manager: a clear message, and nothing is left behind.
  CliResult r = schedule("daily 20:15", "SYSTEMCTL_FAIL=1");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("'systemctl --user daemon-reload' ist fehlgeschlagen (Rückgabewert 1)"), std::string::npos)
      << r.err;
  EXPECT_NE(r.err.find("No medium found"), std::string::npos) << r.err;
  EXPECT_FALSE(t.exists("config/systemd/user/kalvero-backup.timer"));
  EXPECT_FALSE(t.exists("config/systemd/user/kalvero-backup.service"));

  // No systemctl at all.
  r = RunCli(t, "schedule daily 20:15", "PATH='" + t / "leer" + "'");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("'systemctl' wurde nicht gefunden"), std::string::npos) << r.err;
  EXPECT_FALSE(t.exists("config/systemd/user/kalvero-backup.timer"));
}

// A system as the desktop leaves it after mounting a stick: the mount table
// and the links udev makes, below the test's directory.
void fakeSystem(const TempDir& t) {
  t.write("sys/proc/self/mountinfo",
          "28 1 254:0 / / rw,relatime - ext4 /dev/vda rw\n"
          "90 28 8:17 / /media/anna/MEIN\\040STICK rw,nosuid,nodev - vfat /dev/sdb1 rw\n");
  t.mkdir("sys/dev/disk/by-uuid");
  t.mkdir("sys/dev/disk/by-label");
  EXPECT_EQ(symlink("../../vda", (t / "sys/dev/disk/by-uuid/0b5e7c1a-2f0d-4c55-9e1b-6f0a8c3d2e11").c_str()), 0);
  EXPECT_EQ(symlink("../../sdb1", (t / "sys/dev/disk/by-uuid/1234-ABCD").c_str()), 0);
  EXPECT_EQ(symlink("../../sdb1", (t / "sys/dev/disk/by-label/MEIN\\x20STICK").c_str()), 0);
}

TEST(PluggedDrive, MountTableNamesTheDriveItsUnitAndItsPairs) {
  TempDir t;
  fakeSystem(t);
  Drive d;
  // A destination not made yet counts by the mount it will be on.
  ASSERT_TRUE(DriveOfPath("/media/anna/MEIN STICK/Sicherung/neu", &d, t / "sys"));
  EXPECT_EQ(d.uuid, "1234-ABCD");
  EXPECT_EQ(d.label, "MEIN STICK");
  EXPECT_EQ(d.mountPoint, "/media/anna/MEIN STICK");
  EXPECT_EQ(d.device, "/dev/sdb1");
  ASSERT_TRUE(DriveOfPath("/media/anna/MEIN STICKER", &d, t / "sys"));
  EXPECT_EQ(d.mountPoint, "/");
  EXPECT_FALSE(DriveOfPath("/x", &d, t / "kein-system"));

  // As systemd-escape --path --suffix=mount names them.
  EXPECT_EQ(MountUnitName("/media/anna/MEIN STICK"), "media-anna-MEIN\\x20STICK.mount");
  EXPECT_EQ(MountUnitName("/run/media/anna/Über-Platte/"), "run-media-anna-\\xc3\\x9cber\\x2dPlatte.mount");

  // Only the pairs on the drive run; a pair elsewhere is left to its timer.
  const JobList jobs{{1, 1, "/home/anna/Dokumente", "/media/anna/MEIN STICK/Dokumente", {}},
                     {1, 1, "/home/anna/Bilder", "/home/anna/Sicherung", {}},
                     {0, 1, "/home/anna/Alt", "/media/anna/MEIN STICK/Alt", {}}};
  int onDrive = 0;
  const JobList run = PairsOnDrive(jobs, "1234-ABCD", &onDrive, t / "sys");
  EXPECT_EQ(onDrive, 1);
  EXPECT_EQ(run[0].active, 1);
  EXPECT_EQ(run[1].active, 0);
  EXPECT_EQ(run[2].active, 0);
  PairsOnDrive(jobs, "9999-0000", &onDrive, t / "sys");  // another stick mounted at the same place
  EXPECT_EQ(onDrive, 0);
}

// "schedule plugged" writes one service per drive, wanted by the drive's
// mount; "show" names the drive; "plugged" without a drive refuses and keeps
// what is planned; "off" removes it with the timer.
TEST_F(ScheduleCommand, PluggedServicePerDriveShowAndOff) {
  fakeSystem(t);
  Drive d;
  ASSERT_TRUE(DriveOfPath("/media/anna/MEIN STICK/Sicherung", &d, t / "sys"));
  const std::string path = std::getenv("PATH");
  ASSERT_EQ(setenv("PATH", (t / "bin:" + path).c_str(), 1), 0);
  ASSERT_EQ(setenv("SYSTEMCTL_LOG", (t / "calls").c_str(), 1), 0);
  ASSERT_EQ(setenv("XDG_CONFIG_HOME", (t / "config").c_str(), 1), 0);
  const std::string cli = platform::absolutePath(std::getenv("KALVERO_CLI"));
  const std::string e = ApplyPlugged({d}, cli, "/home/anna/.config/kalvero/kalvero.INI");
  const std::vector<Drive> planned = CurrentPlugged();
  setenv("PATH", path.c_str(), 1);
  unsetenv("SYSTEMCTL_LOG");
  unsetenv("XDG_CONFIG_HOME");
  ASSERT_EQ(e, "");
  EXPECT_EQ(readFile(units() + "kalvero-plugged-1234-ABCD.service"),
            PluggedServiceText(d, cli, "/home/anna/.config/kalvero/kalvero.INI"));
  EXPECT_EQ(PluggedServiceText(d, "/usr/bin/kalvero-cli", "/home/anna/.config/kalvero/kalvero.INI"),
            expected("kalvero-plugged.service"));
  EXPECT_EQ(t.read("calls"), "--user daemon-reload\n--user enable kalvero-plugged-1234-ABCD.service\n");
  ASSERT_EQ(planned.size(), 1u);
  EXPECT_EQ(planned[0].label, "MEIN STICK");
  EXPECT_EQ(planned[0].mountPoint, "/media/anna/MEIN STICK");
  t.mkdir("run");
  const std::string verify = "XDG_RUNTIME_DIR='" + t / "run" + "' systemd-analyze --user --man=no verify '" + units() +
                             "kalvero-plugged-1234-ABCD.service' >'" + t / "verify.txt" + "' 2>&1";
  if (std::system("command -v systemd-analyze >/dev/null") == 0)
    EXPECT_EQ(std::system(verify.c_str()), 0) << t.read("verify.txt");
  else
    std::cout << "systemd-analyze is not installed: the unit is not verified\n";

  CliResult r = schedule("show");
  EXPECT_EQ(r.out, "Zeitplan: nie\nSicherung beim Anschließen des Laufwerks 'MEIN STICK' (UUID 1234-ABCD)\n");

  // This test's destinations lie on the system's own disk: nothing to plug in.
  t.write("k.INI", "");
  SettingsFile(t / "k.INI").saveBackupSettings({}, {{1, 1, t / "s", t / "d", {}}});
  test::writeFile(t / "calls", "");
  r = RunCli(t, "--ini k.INI schedule plugged", "PATH='" + t / "bin" + "':\"$PATH\" SYSTEMCTL_LOG='" + t / "calls" + "'");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("Das Ziel '" + t / "d" + "' liegt auf keinem angeschlossenen Laufwerk"), std::string::npos)
      << r.err;
  EXPECT_NE(r.err.find("Kein aktives Ziel liegt auf einem angeschlossenen Laufwerk."), std::string::npos) << r.err;
  EXPECT_EQ(t.read("calls"), "");
  EXPECT_TRUE(t.exists("config/systemd/user/kalvero-plugged-1234-ABCD.service"));

  r = schedule("off");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "Zeitplan: nie\n");
  EXPECT_FALSE(t.exists("config/systemd/user/kalvero-plugged-1234-ABCD.service"));
  EXPECT_EQ(t.read("calls"), "--user disable kalvero-plugged-1234-ABCD.service\n--user daemon-reload\n");
}

// The run the service starts: another stick mounted at the same place backs
// up nothing; a drive backed up today is not backed up again by a plug-in.
TEST_F(ScheduleCommand, PluggedRunOnlyForItsDriveOnceADay) {
  t.write("s/a.txt", "a");
  t.write("k.INI", "");
  SettingsFile(t / "k.INI").saveBackupSettings({}, {{1, 1, t / "s", t / "d", {}}});
  const std::string env = "XDG_STATE_HOME='" + t / "state" + "'";
  CliResult r = RunCli(t, "--ini k.INI backup --plugged 1234-ABCD", env);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "Kein aktives Ziel liegt auf dem Laufwerk mit der UUID 1234-ABCD; es wird nichts gesichert.\n");
  EXPECT_FALSE(t.exists("d"));
  r = RunCli(t, "--ini k.INI backup --plugged", env);
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err, "kalvero-cli: --plugged erwartet die UUID des Laufwerks\n");

  ASSERT_EQ(setenv("XDG_STATE_HOME", (t / "state").c_str(), 1), 0);
  EXPECT_FALSE(PluggedRunDoneToday("1234-ABCD"));
  MarkPluggedRunDone("1234-ABCD");
  EXPECT_TRUE(PluggedRunDoneToday("1234-ABCD"));
  EXPECT_FALSE(PluggedRunDoneToday("9999-0000"));
  unsetenv("XDG_STATE_HOME");
  EXPECT_TRUE(t.exists("state/kalvero/angeschlossen-1234-ABCD"));
}

// The reminder names a pair whose last complete backup (from the run log) is
// older than the setting, with what to do; fresh pairs are not named.
TEST_F(ScheduleCommand, RemindNamesOverduePairsAndWhatToDo) {
  t.write("Dokumente/a.txt", "a");
  t.write("Bilder/b.txt", "b");
  BackupOptions o;
  o.Protokolldatei = t / "run.log";
  ASSERT_TRUE(SettingsFile(t / "k.INI").saveBackupSettings(o, {{1, 1, t / "Dokumente", t / "d1", {}}}));
  ASSERT_EQ(RunCli(t, "--ini k.INI backup -q").status, 0);
  // That backup was nine days ago: its dates in the log say so.
  const std::time_t now = std::time(nullptr), then = now - 9 * 86400;
  std::tm today{}, before{};
  localtime_r(&now, &today);
  localtime_r(&then, &before);
  char todayText[16], beforeText[16];
  std::strftime(todayText, sizeof todayText, "%d.%m.%Y", &today);
  std::strftime(beforeText, sizeof beforeText, "%d.%m.%Y", &before);
  std::string log = t.read("run.log");
  for (std::size_t at; (at = log.find(todayText)) != std::string::npos;) log.replace(at, 10, beforeText);
  t.write("run.log", log);
  ASSERT_TRUE(SettingsFile(t / "k.INI").saveBackupSettings(o, {{0, 1, t / "Dokumente", t / "d1", {}},
                                                               {1, 1, t / "Bilder", t / "d2", {}}}));
  ASSERT_EQ(RunCli(t, "--ini k.INI backup -q").status, 0);
  // The stick is in a drawer now.
  ASSERT_TRUE(SettingsFile(t / "k.INI").saveBackupSettings(
      o, {{1, 1, t / "Dokumente", "/media/anna/STICK/Dokumente", {}}, {1, 1, t / "Bilder", t / "d2", {}}}));

  CliResult r = RunCli(t, "--ini k.INI remind");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "Letzte Sicherung von 'Dokumente' vor 9 Tagen: Laufwerk 'STICK' anschließen.\n");
  t.write("k.INI", t.read("k.INI") + "[Allg]\nErinnernNachTagen=10\n");
  r = RunCli(t, "--ini k.INI remind");
  EXPECT_EQ(r.out, "");
}

// A planned run on battery waits for mains power, unless the last backup is
// overdue; the wait is said, also in the run log, and a cancel ends it.
TEST_F(ScheduleCommand, PlannedRunOnBatteryWaitsForMains) {
  t.write("power/AC/type", "Mains\n");
  t.write("power/AC/online", "0\n");
  t.write("power/BAT0/type", "Battery\n");
  t.write("power/BAT0/status", "Discharging\n");
  t.write("s/a.txt", "a");
  BackupOptions o;
  o.Protokolldatei = t / "run.log";
  ASSERT_TRUE(SettingsFile(t / "k.INI").saveBackupSettings(o, {{1, 1, t / "s", t / "d", {}}}));
  MainsWaitSetup setup;
  setup.powerRoot = t / "power";
  setup.pollMilliseconds = 10;
  std::atomic<int> cancel{0};
  std::ostringstream out;
  std::string waited;
  // Never backed up: the run does not wait.
  EXPECT_TRUE(WaitForMains(t / "k.INI", out, cancel, setup, &waited));
  EXPECT_EQ(waited, "");
  EXPECT_EQ(out.str(), "");

  ASSERT_EQ(RunCli(t, "--ini k.INI backup -q").status, 0);
  int waitings = 0;
  setup.onWaiting = [&] {
    ++waitings;
    t.write("power/AC/online", "1\n");  // the laptop is plugged in
  };
  EXPECT_TRUE(WaitForMains(t / "k.INI", out, cancel, setup, &waited));
  EXPECT_EQ(waitings, 1);
  EXPECT_NE(out.str().find("Der Rechner läuft mit Akku"), std::string::npos) << out.str();
  EXPECT_NE(waited.find(" auf das Netzteil gewartet."), std::string::npos) << waited;
  EXPECT_NE(t.read("run.log").find(waited + "\r\n"), std::string::npos);

  t.write("power/AC/online", "0\n");
  setup.onWaiting = nullptr;
  cancel = 1;
  EXPECT_FALSE(WaitForMains(t / "k.INI", out, cancel, setup, &waited));
}

// "schedule verify monthly" plans the check beside the backup's timer; "off" removes only it.
TEST_F(ScheduleCommand, VerifyMonthlyShowAndOff) {
  t.write("k.INI", "[SichQZ]\n");
  const std::string env = "PATH='" + t / "bin" + "':\"$PATH\" SYSTEMCTL_LOG='" + t / "calls" + "'";
  CliResult r = RunCli(t, "--ini k.INI schedule verify monthly", env);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "Zeitplan: nie\nPrüfung der Sicherungen: monatlich (am 1. um 12:00)\n");
  const std::string cli = platform::absolutePath(std::getenv("KALVERO_CLI"));
  EXPECT_EQ(readFile(units() + "kalvero-verify.service"), VerifyServiceText(cli, t / "k.INI"));
  EXPECT_NE(VerifyServiceText(cli, t / "k.INI").find(" verify --notify\n"), std::string::npos);
  EXPECT_EQ(readFile(units() + "kalvero-verify.timer"), expected("kalvero-verify.timer"));
  EXPECT_EQ(t.read("calls"), "--user daemon-reload\n--user enable --now kalvero-verify.timer\n");
  t.mkdir("run");
  const std::string verify = "XDG_RUNTIME_DIR='" + t / "run" + "' systemd-analyze --user --man=no verify '" + units() +
                             "kalvero-verify.service' '" + units() + "kalvero-verify.timer' >'" + t / "verify.txt" +
                             "' 2>&1";
  if (std::system("command -v systemd-analyze >/dev/null") == 0)
    EXPECT_EQ(std::system(verify.c_str()), 0) << t.read("verify.txt");
  else
    std::cout << "systemd-analyze is not installed: the units are not verified\n";

  ASSERT_EQ(RunCli(t, "--ini k.INI schedule daily 20:15", env).status, 0);
  r = RunCli(t, "--ini k.INI schedule verify off", env);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out.rfind("Zeitplan: täglich um 20:15\n", 0), 0u) << r.out;
  EXPECT_EQ(r.out.find("Prüfung"), std::string::npos) << r.out;
  EXPECT_FALSE(t.exists("config/systemd/user/kalvero-verify.timer"));
  EXPECT_TRUE(t.exists("config/systemd/user/kalvero-backup.timer"));
  EXPECT_EQ(RunCli(t, "--ini k.INI schedule verify weekly", env).status, 2);
}

}  // namespace
}  // namespace kalvero
