// kalvero-cli schedule against a stand-in systemctl on PATH that records
// its calls (the real user manager is never reached), and the unit texts.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>

#include "app/Schedule.h"
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
            "--user list-timers --all --no-pager kalvero-backup.timer\n");

  // systemd reads them as units (where systemd-analyze is installed).
  t.mkdir("run");
  const std::string verify = "XDG_RUNTIME_DIR='" + t / "run" + "' systemd-analyze --user --man=no verify '" + units() +
                             "kalvero-backup.service' '" + units() + "kalvero-backup.timer' >'" + t / "verify.txt" +
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
  EXPECT_EQ(t.read("calls"), "--user disable --now kalvero-backup.timer\n--user daemon-reload\n");
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

}  // namespace
}  // namespace kalvero
