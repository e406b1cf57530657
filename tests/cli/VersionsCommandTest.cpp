// kalvero-cli versions over dated folders written by real runs on other days.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "support/RunCli.h"
#include "support/TempDir.h"

namespace kalvero {
namespace {

using test::CliResult;
using test::TempDir;

CliResult BackupOnDay(const TempDir& t, const std::string& day) {
  return test::RunCli(t, "--ini k.INI backup --quiet",
                      "NO_FAKE_STAT=1 ASAN_OPTIONS=verify_asan_link_order=0 faketime '" + day + " 10:00:00'");
}

TEST(CliVersions, ListsFoldedStatesAndPutsOneBesideTheFile) {
  if (std::system("command -v faketime >/dev/null 2>&1") != 0) GTEST_SKIP() << "faketime is not installed";
  TempDir t;
  t.write("k.INI", "[Allg]\nSubVerzDatum=1\nDatumVollstaendig=1\nProtokolldatei=" + t / "sichern.log" +
                       "\n[SichQZ]\nVersion=2\nAnzahl=1\nVerz0=1|1|" + t / "quelle" + "|" + t / "ziel" + "\n");
  const std::string file = t.write("quelle/notiz.txt", "erster Stand");
  ASSERT_EQ(0, BackupOnDay(t, "2026-11-02").status);
  ASSERT_EQ(0, BackupOnDay(t, "2026-11-03").status);
  t.write("quelle/notiz.txt", "zweiter Stand");
  CliResult r = BackupOnDay(t, "2026-11-05");
  ASSERT_EQ(0, r.status) << r.out << r.err;

  r = test::RunCli(t, "--ini k.INI versions " + file);
  ASSERT_EQ(0, r.status) << r.err;
  EXPECT_NE(std::string::npos, r.out.find("2026-11-02 bis 2026-11-03")) << r.out;
  EXPECT_NE(std::string::npos, r.out.find("  2026-11-05 ")) << r.out;
  EXPECT_NE(std::string::npos, r.out.find(" 12 Byte")) << r.out;

  r = test::RunCli(t, "--ini k.INI versions " + file + " --restore 03.11.2026");
  ASSERT_EQ(0, r.status) << r.err;
  EXPECT_NE(std::string::npos, r.out.find(t / "quelle/notiz (Stand 2026-11-02).txt")) << r.out;
  EXPECT_EQ("erster Stand", t.read("quelle/notiz (Stand 2026-11-02).txt"));
  EXPECT_EQ("zweiter Stand", t.read("quelle/notiz.txt"));

  r = test::RunCli(t, "--ini k.INI versions " + file + " --restore 2026_11_04");
  EXPECT_EQ(2, r.status);
  EXPECT_NE(std::string::npos, r.err.find("keinen Stand vom 2026-11-04")) << r.err;
  r = test::RunCli(t, "--ini k.INI versions " + file + " --restore 31.02.2026");
  EXPECT_EQ(2, r.status);
  r = test::RunCli(t, "--ini k.INI versions " + t / "anderswo.txt");
  EXPECT_EQ(2, r.status);
  EXPECT_NE(std::string::npos, r.err.find("keiner Quelle eines aktiven Paares")) << r.err;
}

}  // namespace
}  // namespace kalvero
