#include <gtest/gtest.h>

#include <cerrno>

#include "app/SettingsFile.h"
#include "diag/ErrorText.h"
#include "platform/FaultInjection.h"
#include "support/TempDir.h"

using namespace kalvero;
using kalvero::test::TempDir;
namespace fault = kalvero::platform::fault;

TEST(SettingsFile, MissingFileGivesEveryDefault) {
  TempDir t;
  SettingsFile s(t / "fehlt.INI");
  BackupOptions b = s.loadBackupOptions();
  EXPECT_EQ(b.Archivbit, 1);
  EXPECT_EQ(b.ArchivbitReset, 1);
  EXPECT_EQ(b.Compare, 1);
  EXPECT_EQ(b.Tooltip, 1);
  EXPECT_EQ(b.DeleteZieldatei, 1);
  EXPECT_EQ(b.Exit + b.Reboot + b.Symbol + b.Compress + b.SubVerzDatum + b.MusterFlagErlaubt +
                b.MusterFlagNichtErlaubt + b.Close + b.Datum + b.MitPrueffile,
            0);
  EXPECT_EQ(b.MusterErlaubt + b.MusterNichtErlaubt + b.NotCompress + b.Prueffile, "");
  // A first start has somewhere to log to; the directory is made by the first run.
  EXPECT_EQ(b.Protokolldatei, DefaultDataDirectory() + "sichern.log");
  RestoreOptions r = s.loadRestoreOptions();
  EXPECT_EQ(r.SubVerz, 1);
  EXPECT_EQ(r.OnlyByKalvero, 1);
  EXPECT_EQ(r.Tooltip, 1);
  EXPECT_EQ(r.Symbol, 0);
  EXPECT_EQ(r.PathSrc + r.PathDst, "");
  EXPECT_EQ(r.Protokolldatei, DefaultDataDirectory() + "ruecksichern.log");
  InfoOptions i = s.loadInfoOptions();
  EXPECT_EQ(i.DeleteSrc, 1);
  EXPECT_EQ(i.MinSize, 1000);
  DirReplacementList v = s.loadDirReplacementList();
  EXPECT_EQ(v.Sichern, 1);
  EXPECT_EQ(v.Ruecksichern, 1);
  EXPECT_TRUE(v.entries.empty());
  EXPECT_TRUE(s.loadJobList().empty());
  EXPECT_EQ(s.readDebug(), 0);
  EXPECT_FALSE(t.exists("fehlt.INI"));  // reading never creates it
}

TEST(SettingsFile, VersionZeroLoadsAndIsWrittenAsVersionTwo) {
  TempDir t;
  t.write("k.INI",
          "[SichQZ]\r\nAnzahl=1\r\nVerz0=1|/data|/backup\r\n"
          "[Allg]\r\nMuster=*.doc\r\nMusterFlag=1\r\nPathSrc=/alt\r\nPathDst=/alt2\r\nMusterErlaubt=*.txt\r\n");
  SettingsFile s(t / "k.INI");
  JobList jobs = s.loadJobList();
  ASSERT_EQ(jobs.size(), 1u);
  EXPECT_EQ(jobs[0].active, 1);
  EXPECT_EQ(jobs[0].withSubdirs, 1);
  EXPECT_EQ(jobs[0].source, "/data");
  EXPECT_EQ(jobs[0].destination, "/backup");
  BackupOptions o = s.loadBackupOptions();
  EXPECT_EQ(o.MusterErlaubt, "*.doc");  // the legacy keys win before Version 2
  EXPECT_EQ(o.MusterFlagErlaubt, 1);

  std::string error;
  ASSERT_TRUE(s.saveBackupSettings(o, jobs, &error)) << error;
  std::string text = t.read("k.INI");
  EXPECT_NE(text.find("Version=2\r\n"), std::string::npos);
  EXPECT_NE(text.find("Verz0=1|1|/data|/backup\r\n"), std::string::npos);
  for (const char* legacy : {"Muster=", "MusterFlag=", "PathSrc=", "PathDst="})
    EXPECT_EQ(text.find(std::string("\n") + legacy), std::string::npos) << legacy;
  BackupOptions again = s.loadBackupOptions();
  EXPECT_EQ(again.MusterErlaubt, "*.doc");
  EXPECT_EQ(again.MusterFlagErlaubt, 1);
}

TEST(SettingsFile, VersionOneKeepsFourFieldsButOldPatterns) {
  TempDir t;
  t.write("k.INI",
          "[SichQZ]\nVersion=1\nAnzahl=1\nVerz0=0|0|/a|/b\n[Allg]\nMusterErlaubt=neu\nMuster=alt\nMusterFlag=1\n");
  SettingsFile s(t / "k.INI");
  JobList jobs = s.loadJobList();
  ASSERT_EQ(jobs.size(), 1u);
  EXPECT_EQ(jobs[0].active, 0);
  EXPECT_EQ(jobs[0].withSubdirs, 0);
  EXPECT_EQ(s.loadBackupOptions().MusterErlaubt, "alt");
  t.write("k.INI", "[SichQZ]\nVersion=2\n[Allg]\nMusterErlaubt=neu\nMuster=alt\n");
  EXPECT_EQ(s.loadBackupOptions().MusterErlaubt, "neu");
}

TEST(SettingsFile, JobListEndsAtAMissingKeyAndSkipsIncompleteEntries) {
  TempDir t;
  t.write("k.INI", "[SichQZ]\nVersion=2\nAnzahl=3\nVerz0=1|1|/a|/b\nVerz2=1|1|/c|/d\n");
  SettingsFile s(t / "k.INI");
  EXPECT_EQ(s.loadJobList().size(), 1u);

  t.write("k.INI", "[SichQZ]\nVersion=2\nAnzahl=4\nVerz0=1|1|/a|/b\nVerz1=1||/x|/y\nVerz2=5|7|/c|/d\nVerz3=\n");
  std::vector<std::string> warnings;
  JobList jobs = s.loadJobList(&warnings);
  ASSERT_EQ(jobs.size(), 2u);
  EXPECT_EQ(jobs[1].source, "/c");
  EXPECT_EQ(jobs[1].active, 1);  // flags are normalised
  EXPECT_EQ(jobs[1].withSubdirs, 1);
  ASSERT_EQ(warnings.size(), 2u);
  EXPECT_EQ(warnings[0], "Der Eintrag 'Verz1' im Abschnitt [SichQZ] ist unvollständig und wurde übersprungen.");
  // The next save renumbers what was loaded.
  ASSERT_TRUE(s.saveBackupSettings(s.loadBackupOptions(), jobs));
  std::string text = t.read("k.INI");
  EXPECT_NE(text.find("Verz1=1|1|/c|/d"), std::string::npos);
  EXPECT_EQ(text.find("Verz2="), std::string::npos);
  EXPECT_EQ(text.find("Verz3="), std::string::npos);
}

TEST(SettingsFile, HugeAnzahlCostsNothing) {
  TempDir t;
  t.write("k.INI", "[SichQZ]\nVersion=2\nAnzahl=2147483647\nVerz0=1|1|/a|/b\n");
  SettingsFile s(t / "k.INI");
  EXPECT_EQ(s.loadJobList().size(), 1u);
  ASSERT_TRUE(s.saveBackupSettings(BackupOptions{}, {}));
  EXPECT_EQ(t.read("k.INI").find("Verz0"), std::string::npos);
}

TEST(SettingsFile, NegativeListsAndShrinkingJobLists) {
  TempDir t;
  t.write("k.INI", "[SichQZ]\nVersion=2\nAnzahl=1\nVerz0=1|1|/a|/b\n[Verz0]\nNeg0=5|/a/x\nNeg2=1|/a/z\n");
  SettingsFile s(t / "k.INI");
  JobList jobs = s.loadJobList();
  ASSERT_EQ(jobs.size(), 1u);
  ASSERT_EQ(jobs[0].excluded.size(), 1u);
  EXPECT_EQ(jobs[0].excluded[0].withSubdirs, 1);
  EXPECT_EQ(jobs[0].excluded[0].directory, "/a/x");

  JobList five;
  for (int i = 0; i < 5; ++i)
    five.push_back(DirPair{1, 1, "/q" + std::to_string(i), "/z", {ExcludedDir{0, "/q/n" + std::to_string(i)}}});
  ASSERT_TRUE(s.saveBackupSettings(BackupOptions{}, five));
  ASSERT_EQ(s.loadJobList().size(), 5u);
  EXPECT_EQ(s.loadJobList()[4].excluded[0].directory, "/q/n4");
  five.resize(2);
  ASSERT_TRUE(s.saveBackupSettings(BackupOptions{}, five));
  std::string text = t.read("k.INI");
  EXPECT_NE(text.find("Anzahl=2"), std::string::npos);
  for (int j = 2; j < 5; ++j) {
    EXPECT_EQ(text.find("Verz" + std::to_string(j) + "="), std::string::npos);
    EXPECT_EQ(text.find("[Verz" + std::to_string(j) + "]"), std::string::npos);
  }
  EXPECT_EQ(s.loadJobList().size(), 2u);
}

TEST(SettingsFile, IncompleteNegativeEntryIsSkippedNotTheEnd) {
  TempDir t;
  t.write("k.INI", "[SichQZ]\nVersion=2\nAnzahl=1\nVerz0=1|1|/a|/b\n[Verz0]\nNeg0=1|/a/x\nNeg1=1|\nNeg2=0|/a/z\n");
  std::vector<std::string> warnings;
  JobList jobs = SettingsFile(t / "k.INI").loadJobList(&warnings);
  ASSERT_EQ(jobs[0].excluded.size(), 2u);
  EXPECT_EQ(jobs[0].excluded[1].directory, "/a/z");
  EXPECT_EQ(warnings.size(), 1u);
}

TEST(SettingsFile, PathsWithBarsSpacesAndUmlauts) {
  TempDir t;
  SettingsFile s(t / "k.INI");
  JobList jobs{DirPair{1, 0, "/home/ü ser/Mein Ordner", "/ziel|mit|strich", {ExcludedDir{1, "/x|y"}}}};
  ASSERT_TRUE(s.saveBackupSettings(BackupOptions{}, jobs));
  JobList back = s.loadJobList();
  ASSERT_EQ(back.size(), 1u);
  EXPECT_EQ(back[0].source, "/home/ü ser/Mein Ordner");
  EXPECT_EQ(back[0].destination, "/ziel|mit|strich");
  EXPECT_EQ(back[0].excluded[0].directory, "/x|y");
}

TEST(SettingsFile, ReplacementListFromTheWholeSection) {
  TempDir t;
  t.write("k.INI",
          "[Verzeichnisse]\nSichern=0\n; Verz9=1|/kommentar|/x\nFoo=1|C:\\alt|D:\\neu\nVerz1=1|C:\\a|D:\\b ; old\n"
          "RUECKSICHERN=0\nohne Gleichheitszeichen\n");
  DirReplacementList r = SettingsFile(t / "k.INI").loadDirReplacementList();
  EXPECT_EQ(r.Sichern, 0);
  EXPECT_EQ(r.Ruecksichern, 0);
  ASSERT_EQ(r.entries.size(), 2u);
  EXPECT_EQ(r.entries[0].oldName, "C:\\alt");
  EXPECT_EQ(r.entries[0].newName, "D:\\neu");
  EXPECT_EQ(r.entries[1].newName, "D:\\b");

  SettingsFile s(t / "k.INI");
  r.entries.push_back(DirReplacement{7, "/x", "/y"});
  ASSERT_TRUE(s.saveDirReplacementList(r));
  DirReplacementList back = s.loadDirReplacementList();
  ASSERT_EQ(back.entries.size(), 3u);
  EXPECT_EQ(back.entries[2].active, 1);
  EXPECT_NE(t.read("k.INI").find("Verz3=1|/x|/y"), std::string::npos);
}

TEST(SettingsFile, DateFilterRoundTrip) {
  TempDir t;
  SettingsFile s(t / "k.INI");
  DateTime from = DateTime::fromCalendar({2005, 10, 23, 10, 22, 0});
  ASSERT_TRUE(s.saveDateFilter(0, from, DateTime(), "  "));
  std::string text = t.read("k.INI");
  EXPECT_NE(text.find("DatumVon=38648.43194444444"), std::string::npos) << text;
  EXPECT_NE(text.find("DatumBis=\r\n"), std::string::npos);
  DateFilter f = s.loadDateFilter();
  EXPECT_EQ(f.Typ, 0);
  EXPECT_EQ(f.from.format(), "23.10.2005 10:22:00");
  EXPECT_FALSE(f.to.valid());

  ASSERT_TRUE(s.saveDateFilter(1, DateTime(), DateTime(), " 48 "));
  DateTime now = DateTime::fromCalendar({2024, 3, 10, 12, 0, 0});
  f = s.loadDateFilter(now);
  EXPECT_EQ(f.Typ, 1);
  EXPECT_EQ(f.Stunden, 48);
  EXPECT_EQ(f.StundenText, "48");
  EXPECT_EQ(f.from.format(), "08.03.2024 12:00:00");
  EXPECT_NE(t.read("k.INI").find("DatumVon=38648"), std::string::npos);  // kept for Typ 1

  t.write("k.INI", "[Datum]\nTyp=0\nDatumVon=abc\nDatumBis=99999999999\n");
  f = s.loadDateFilter();
  EXPECT_TRUE(f.from.valid());  // atof("abc") is day 0, 30.12.1899
  EXPECT_FALSE(f.to.valid());
}

TEST(SettingsFile, CompleteDatedStatesRoundTrip) {
  TempDir t;
  SettingsFile s(t / "k.INI");
  EXPECT_EQ(s.loadBackupOptions().DatumVollstaendig, 0);
  BackupOptions o;
  o.SubVerzDatum = 1;
  o.DatumVollstaendig = 1;
  ASSERT_TRUE(s.saveBackupSettings(o, {}));
  EXPECT_NE(t.read("k.INI").find("DatumVollstaendig=1\r\n"), std::string::npos);
  EXPECT_EQ(s.loadBackupOptions().DatumVollstaendig, 1);
  o.DatumVollstaendig = 0;
  ASSERT_TRUE(s.saveBackupSettings(o, {}));
  EXPECT_EQ(s.loadBackupOptions().DatumVollstaendig, 0);
}

TEST(SettingsFile, ThinningRoundTrip) {
  TempDir t;
  SettingsFile s(t / "k.INI");
  const BackupOptions none = s.loadBackupOptions();
  EXPECT_EQ(none.AusduennenTage + none.AusduennenWochen + none.AusduennenMonate, 0);
  BackupOptions o;
  o.AusduennenTage = 7;
  o.AusduennenWochen = 4;
  o.AusduennenMonate = 12;
  ASSERT_TRUE(s.saveBackupSettings(o, {}));
  EXPECT_NE(t.read("k.INI").find("AusduennenWochen=4\r\n"), std::string::npos);
  const BackupOptions back = s.loadBackupOptions();
  EXPECT_EQ(back.AusduennenTage, 7);
  EXPECT_EQ(back.AusduennenWochen, 4);
  EXPECT_EQ(back.AusduennenMonate, 12);
}

TEST(SettingsFile, FailedSaveReportsAndChangesNothing) {
  TempDir t;
  t.write("k.INI", "[Rueck]\nPathSrc=/alt\n");
  SettingsFile s(t / "k.INI");
  fault::Scope scope;
  fault::arm({fault::Call::Rename, ENOSPC, 0, -1, ""});
  std::string error;
  RestoreOptions r;
  r.PathSrc = "/neu";
  EXPECT_FALSE(s.saveRestoreOptions(r, &error));
  EXPECT_EQ(error, "Die Einstellungen konnten nicht in die Datei '" + t / "k.INI" +
                       "' geschrieben werden.  " + SystemErrorText(ENOSPC));
  EXPECT_EQ(t.read("k.INI"), "[Rueck]\nPathSrc=/alt\n");
  EXPECT_FALSE(s.writeMinSize(5, &error));
  EXPECT_FALSE(s.saveBackupSettings(BackupOptions{}, {}, &error));
}

TEST(SettingsFile, BadFilesGiveDefaultsAndSavesKeepTheRest) {
  TempDir t;
  struct Case {
    const char* name;
    std::string text;
  };
  std::vector<Case> cases = {
      {"empty", ""},
      {"binary", std::string("\0\x01\xff\xfe[\x00]\n=\n", 10)},
      {"bom", "\xEF\xBB\xBF[Info]\r\nMinSize=5"},
      {"keys-first", "MinSize=7\n[Info]\nMinSize=5\n"},
      {"junk-number", "[Info]\nMinSize=5kB\nDeleteSrc=ja\n"},
      {"duplicates", "[Info]\nMinSize=5\n[Info]\nMinSize=9\nMinSize=8\n"},
      {"huge-line", "[Info]\nMinSize=5\nX=" + std::string(3 * 1024 * 1024, 'y') + "\n[Fremd]\nA=1"},
  };
  for (const auto& c : cases) {
    t.write(c.name, c.text);
    SettingsFile s(t / c.name);
    InfoOptions i = s.loadInfoOptions();
    if (std::string(c.name) == "empty" || std::string(c.name) == "binary") {
      EXPECT_EQ(i.MinSize, 1000) << c.name;
    } else {
      EXPECT_EQ(i.MinSize, 5) << c.name;
    }
    if (std::string(c.name) == "junk-number") {
      EXPECT_EQ(i.DeleteSrc, 0);
    }
    ASSERT_TRUE(s.saveRestoreOptions(RestoreOptions{})) << c.name;
    EXPECT_EQ(s.loadInfoOptions().MinSize, i.MinSize) << c.name;
    EXPECT_EQ(s.loadRestoreOptions().SubVerz, 1) << c.name;
  }
  EXPECT_NE(t.read("huge-line").find("[Fremd]"), std::string::npos);
  EXPECT_EQ(t.read("bom").substr(0, 3), "\xEF\xBB\xBF");

  t.mkdir("dir.INI");
  SettingsFile dir(t / "dir.INI");
  std::string error;
  EXPECT_FALSE(dir.readable(&error));
  EXPECT_NE(error.find("kann nicht gelesen werden"), std::string::npos);
  EXPECT_EQ(dir.loadInfoOptions().MinSize, 1000);
  EXPECT_FALSE(dir.writeMinSize(1, &error));
}

TEST(SettingsFile, DefaultLocationFollowsXdg) {
  TempDir t;
  setenv("XDG_CONFIG_HOME", t.path().c_str(), 1);
  EXPECT_EQ(DefaultSettingsPath(), t.path() + "/kalvero/kalvero.INI");
  EXPECT_EQ(ResolveSettingsPath("a.ini"), t.path() + "/kalvero/a.ini");
  EXPECT_EQ(ResolveSettingsPath("/x/../y/a.ini"), "/y/a.ini");
  SettingsFile s(DefaultSettingsPath());
  ASSERT_TRUE(s.writeDeleteSrc(0));  // the directory is made at the first save
  EXPECT_EQ(s.loadInfoOptions().DeleteSrc, 0);
  unsetenv("XDG_CONFIG_HOME");
}
