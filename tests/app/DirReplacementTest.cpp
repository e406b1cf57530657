#include <gtest/gtest.h>

#include <cerrno>

#include "app/DirReplacement.h"
#include "app/SettingsFile.h"
#include "platform/FaultInjection.h"
#include "support/TempDir.h"

using namespace kalvero;
using kalvero::test::TempDir;
namespace fault = kalvero::platform::fault;

TEST(ApplyDirReplacements, CaseOfOldIgnoredNewAsTyped) {
  EXPECT_EQ(ApplyDirReplacements("C:\\DATEN\\Texte", {{1, "c:\\daten", "D:\\Daten"}}), "D:\\Daten\\Texte");
  EXPECT_EQ(ApplyDirReplacements("/a/x/b/x", {{1, "X", "yy"}}), "/a/yy/b/yy");
  EXPECT_EQ(ApplyDirReplacements("/a/x", {{0, "x", "y"}}), "/a/x");
  EXPECT_EQ(ApplyDirReplacements("X1 X2", {{1, "X", "Y"}, {1, "Y", "Z"}}), "Z1 Z2");
  // Searching again from the start after each replacement, as the rule says.
  EXPECT_EQ(ApplyDirReplacements("ABB", {{1, "AB", "AA"}}), "AAA");
}

TEST(ApplyDirReplacements, SelfContainingAndEmptyEntriesEnd) {
  EXPECT_EQ(ApplyDirReplacements("/home/a", {{1, "", "x"}}), "/home/a");
  EXPECT_EQ(ApplyDirReplacements("/data/data", {{1, "data", "data2"}}), "/data2/data2");
  EXPECT_EQ(ApplyDirReplacements("/Data", {{1, "data", "/mnt/DATA"}}), "//mnt/DATA");
  EXPECT_EQ(ApplyDirReplacements("/x", {{1, "x", "x"}, {1, "/x", "/y"}}), "/y");
}

namespace {
const char* kSettings =
    "[Allg]\nProtokolldatei=/old/log.txt\nPrueffile=/old/pruef.txt\n"
    "[SichQZ]\nVersion=2\nAnzahl=3\nVerz0=1|1|/old/a|/old/b\nVerz1=1|0|/x|/y\nVerz2=1|1|/old/c|/old/d\n"
    "[Verz0]\nNeg0=1|/old/a/tmp\nNeg1=0|/old/a/cache\n"
    "[Rueck]\nPathSrc=/old/b\nPathDst=/old/restore\nProtokolldatei=/old/r.log\n"
    "[Verzeichnisse]\nVerz1=1|/OLD|/new\n";
}

TEST(DirReplacementInSettings, BackupSideRewritesPathFieldsOnly) {
  TempDir t;
  t.write("k.INI", kSettings);
  SettingsFile s(t / "k.INI");
  ASSERT_TRUE(ReplaceInBackupSettings(s));
  BackupOptions o = s.loadBackupOptions();
  EXPECT_EQ(o.Protokolldatei, "/new/log.txt");
  EXPECT_EQ(o.Prueffile, "/new/pruef.txt");
  JobList jobs = s.loadJobList();
  ASSERT_EQ(jobs.size(), 3u);
  EXPECT_EQ(jobs[0].source, "/new/a");
  EXPECT_EQ(jobs[0].destination, "/new/b");
  EXPECT_EQ(jobs[0].excluded[1].directory, "/new/a/cache");
  EXPECT_EQ(jobs[0].excluded[1].withSubdirs, 0);
  EXPECT_EQ(jobs[2].destination, "/new/d");
  EXPECT_EQ(s.loadRestoreOptions().PathSrc, "/old/b");  // the other side is untouched
}

TEST(DirReplacementInSettings, FlagsAndSeparatorsAreNeverReplaced) {
  TempDir t;
  t.write("k.INI",
          "[SichQZ]\nVersion=2\nAnzahl=1\nVerz0=1|0|/d1|/e1\n[Verz0]\nNeg0=1|/d1/x\n"
          "[Verzeichnisse]\nVerz1=1|1|9\nVerz2=1|||\n");
  SettingsFile s(t / "k.INI");
  ASSERT_TRUE(ReplaceInBackupSettings(s));
  JobList jobs = s.loadJobList();
  ASSERT_EQ(jobs.size(), 1u);
  EXPECT_EQ(jobs[0].active, 1);
  EXPECT_EQ(jobs[0].withSubdirs, 0);
  EXPECT_EQ(jobs[0].source, "/d9");
  EXPECT_EQ(jobs[0].excluded[0].directory, "/d9/x");
  EXPECT_NE(t.read("k.INI").find("Verz0=1|0|/d9|/e9"), std::string::npos);
}

TEST(DirReplacementInSettings, VersionZeroEntriesKeepTheirForm) {
  TempDir t;
  t.write("k.INI", "[SichQZ]\nAnzahl=1\nVerz0=1|/old/a|/old/b\n[Verzeichnisse]\nVerz1=1|/old|/new\n");
  SettingsFile s(t / "k.INI");
  ASSERT_TRUE(ReplaceInBackupSettings(s));
  EXPECT_NE(t.read("k.INI").find("Verz0=1|/new/a|/new/b"), std::string::npos);
}

TEST(DirReplacementInSettings, RestoreSideAndEmptyList) {
  TempDir t;
  t.write("k.INI", kSettings);
  SettingsFile s(t / "k.INI");
  ASSERT_TRUE(ReplaceInRestoreSettings(s));
  RestoreOptions r = s.loadRestoreOptions();
  EXPECT_EQ(r.PathSrc, "/new/b");
  EXPECT_EQ(r.PathDst, "/new/restore");
  EXPECT_EQ(r.Protokolldatei, "/new/r.log");
  EXPECT_EQ(s.loadJobList()[0].source, "/old/a");

  t.write("e.INI", "[Rueck]\nPathSrc=/old\n");
  SettingsFile e(t / "e.INI");
  ASSERT_TRUE(ReplaceInRestoreSettings(e));
  EXPECT_EQ(t.read("e.INI"), "[Rueck]\nPathSrc=/old\n");
}

TEST(DirReplacementInSettings, AFailedSaveLeavesEveryPathAsItWas) {
  TempDir t;
  t.write("k.INI", kSettings);
  SettingsFile s(t / "k.INI");
  fault::Scope scope;
  fault::arm({fault::Call::Write, ENOSPC, 0, -1, ""});
  std::string error;
  EXPECT_FALSE(ReplaceInBackupSettings(s, &error));
  EXPECT_NE(error.find("konnten nicht in die Datei"), std::string::npos);
  fault::disarmAll();
  EXPECT_EQ(t.read("k.INI"), kSettings);
}
