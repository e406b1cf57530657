// The run's one reader of the settings file: the start's decisions stay for
// the whole run, "Allg" is read again for each pair.
#include <cstdio>

#include <gtest/gtest.h>

#include "app/SettingsFile.h"
#include "run/RunSettings.h"
#include "support/TempDir.h"

namespace kalvero {
namespace {

BackupOptions startOptions() {
  BackupOptions o;
  o.Compress = 1;
  o.NotCompress = "jpg, .Zip";
  o.MitPrueffile = 1;
  o.Prueffile = "/start/pruef.dat";
  return o;
}

TEST(RunSettings, StartIsDecidedOnceFromTheStartOptions) {
  test::TempDir t;
  const std::string ini = t / "k.INI";
  SettingsFile file(ini);
  ASSERT_TRUE(file.writeMinSize(5));
  BackupOptions saved;  // what the file says differs from what the run started with
  saved.Compress = 0;
  saved.MitPrueffile = 0;
  ASSERT_TRUE(file.saveBackupSettings(saved, {}));

  RunSettings settings(ini, startOptions());
  const RunStart& start = settings.startSnapshot();
  EXPECT_TRUE(start.withCheckFile);
  EXPECT_EQ(start.checkFilePath, "/start/pruef.dat");
  EXPECT_EQ(start.noCompress, (NoCompressSet{".JPG", ".ZIP"}));
  EXPECT_EQ(start.minSize, 5);

  ASSERT_TRUE(file.writeMinSize(7));
  EXPECT_EQ(settings.pairSnapshot().Compress, 0);
  EXPECT_EQ(&settings.startSnapshot(), &start);
  EXPECT_EQ(settings.startSnapshot().minSize, 5);
  EXPECT_EQ(RunSettings("", startOptions()).startSnapshot().minSize, 1000);
}

TEST(RunSettings, PairKeepsThePreviousOptionsWhenTheFileCannotBeRead) {
  test::TempDir t;
  const std::string ini = t / "k.INI";
  BackupOptions saved;
  saved.Compare = 0;
  ASSERT_TRUE(SettingsFile(ini).saveBackupSettings(saved, {}));

  RunSettings settings(ini, startOptions());
  EXPECT_EQ(settings.pairSnapshot().Compare, 0);
  ASSERT_EQ(std::rename(ini.c_str(), (t / "away.INI").c_str()), 0);
  t.mkdir("k.INI");  // there, but no file to read
  const BackupOptions kept = settings.pairSnapshot();
  EXPECT_EQ(kept.Compare, 0);
  EXPECT_EQ(kept.Compress, 0);

  RunSettings noFile("", startOptions());
  EXPECT_EQ(noFile.pairSnapshot().Prueffile, "/start/pruef.dat");
}

}  // namespace
}  // namespace kalvero
