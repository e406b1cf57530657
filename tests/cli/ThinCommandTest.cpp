// kalvero-cli thin, and the thinning a backup does after each pair: dated
// folders made by hand around today's date, with and without the mark of a
// complete state, real locks.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <string>

#include "platform/FileTime.h"
#include "platform/RunLock.h"
#include "run/DatedFolders.h"
#include "support/RunCli.h"
#include "support/TempDir.h"

namespace kalvero {
namespace {

using test::CliResult;
using test::RunCli;
using test::TempDir;

// The dated folder name of the day daysAgo before today.
std::string DaysAgo(int daysAgo) {
  platform::LocalTime noon = platform::localNow();
  noon.hour = 12;
  noon.minute = noon.second = 0;
  platform::LocalTime day;
  EXPECT_TRUE(platform::localFromUnix(platform::unixFromLocal(noon) - daysAgo * 86400LL, day));
  return DatedFolderName(day);
}

class ThinCommand : public ::testing::Test {
 protected:
  TempDir t;

  void SetUp() override {
    t.write("quelle/a.txt", "a");
    settings("");
  }
  void settings(const std::string& allg) {
    t.write("k.INI", "[Allg]\nSubVerzDatum=1\nProtokolldatei=" + t / "sichern.log" + "\n" + allg +
                         "[SichQZ]\nVersion=2\nAnzahl=1\nVerz0=1|1|" + t / "quelle" + "|" + t / "ziel" + "\n");
  }
  void state(int daysAgo, bool complete = true) {
    const std::string folder = t / ("ziel/" + DaysAgo(daysAgo));
    t.write("ziel/" + DaysAgo(daysAgo) + "/a.txt", "alt");
    int err = 0;
    if (complete) {
      ASSERT_TRUE(MarkStateComplete(folder, "vollständig\n", &err)) << err;
    }
  }
  bool exists(int daysAgo) const { return t.exists("ziel/" + DaysAgo(daysAgo)); }
};

// The dry run lists and removes nothing; the run removes what it listed,
// never the incomplete folder.
TEST_F(ThinCommand, DryRunOnlyListsThenTheRunRemoves) {
  state(40);
  state(30, false);
  state(20);
  state(10);
  const CliResult dry = RunCli(t, "--ini k.INI thin --keep-daily 15 --dry-run");
  EXPECT_EQ(dry.status, 0) << dry.err;
  EXPECT_NE(dry.out.find("löschen    " + DaysAgo(40)), std::string::npos) << dry.out;
  EXPECT_NE(dry.out.find("behalten   " + DaysAgo(30) + "  (unvollständig)"), std::string::npos) << dry.out;
  EXPECT_NE(dry.out.find("Würden gelöscht: 2, behalten: 2"), std::string::npos) << dry.out;
  EXPECT_TRUE(exists(40) && exists(30) && exists(20) && exists(10));

  const CliResult run = RunCli(t, "--ini k.INI thin --keep-daily 15");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("gelöscht   " + DaysAgo(20)), std::string::npos) << run.out;
  EXPECT_FALSE(exists(40));
  EXPECT_FALSE(exists(20));
  EXPECT_TRUE(exists(30));
  EXPECT_TRUE(exists(10));
}

TEST_F(ThinCommand, ADestinationAnotherRunHoldsIsLeftAlone) {
  state(40);
  state(10);
  t.mkdir("laufzeit");
  ASSERT_EQ(chmod((t / "laufzeit").c_str(), 0700), 0);
  setenv("XDG_RUNTIME_DIR", (t / "laufzeit").c_str(), 1);
  platform::RunLock backup;
  const bool held = backup.add(t / "ziel") == platform::RunLock::Result::Held;
  const CliResult r = RunCli(t, "--ini k.INI thin --keep-daily 1", "XDG_RUNTIME_DIR='" + t / "laufzeit" + "'");
  backup.release();
  unsetenv("XDG_RUNTIME_DIR");
  ASSERT_TRUE(held);
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("es wird nicht ausgedünnt"), std::string::npos) << r.err;
  EXPECT_TRUE(exists(40));
}

// With the settings, the backup thins the pair's destination after the pair
// and names the removed folder in the run log.
TEST_F(ThinCommand, TheBackupThinsByTheSettings) {
  settings("AusduennenTage=2\n");
  state(20);
  state(10);
  const CliResult r = RunCli(t, "--ini k.INI backup");
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_TRUE(exists(0));
  EXPECT_FALSE(exists(20));
  const std::string log = t.read("sichern.log");
  EXPECT_NE(log.find("Ausgedünnt: Der ältere Stand '" + t / ("ziel/" + DaysAgo(20)) + "' wurde gelöscht."),
            std::string::npos)
      << log;
}

}  // namespace
}  // namespace kalvero
