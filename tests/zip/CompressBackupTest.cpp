// A whole backup with "Compress" and "Compare" on, through kalvero-cli.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "support/TempDir.h"
#include "backup/CompressZip.h"
#include "zip/ZipTestSupport.h"

namespace kalvero {
namespace {

using test::q;

TEST(CompressBackup, LeavesOnlyCheckedArchives) {
  const char* cli = std::getenv("KALVERO_CLI");
  if (!cli) GTEST_SKIP() << "KALVERO_CLI not set";
  test::TempDir t;
  t.write("src/Größe ä.txt", "Hallo Welt");
  t.write("src/sub dir/daten.csv", test::mixedBytes(900000, 4));
  t.write("src/leer", "");
  t.mkdir("tmp");
  t.write("k.INI", "[Allg]\nProtokolldatei=" + t / "run.log" +
                       "\nArchivbit=0\nArchivbitReset=0\nCompare=1\nCompress=1\nNotCompress=\nMitPrueffile=1\nPrueffile=" +
                       t / "pruef.chk" + "\n[SichQZ]\nVersion=2\nAnzahl=1\nVerz0=1|1|" + t / "src" + "|" + t / "dst" + "\n");
  auto r = test::run("TMPDIR=" + q(t / "tmp") + " XDG_CONFIG_HOME=" + q(t / "cfg") + " " + q(cli) + " --ini " +
                     q(t / "k.INI") + " backup");
  ASSERT_EQ(r.status, 0) << r.output;
  int archives = 0;
  for (auto& e : std::filesystem::recursive_directory_iterator(t / "dst")) {
    if (e.is_directory()) continue;
    std::string path = e.path().string();
    ASSERT_EQ(path.substr(path.size() - 4), ".zip") << path;
    ++archives;
    ZipArchiveLayer zip;
    zip.Open(path, ZipArchiveLayer::OpenExisting);
    EXPECT_EQ(zip.GetArchiveComment(), kArchiveComment);
    ZipEntryHeader h;
    ASSERT_TRUE(zip.GetEntryInfo(0, h));
    EXPECT_EQ(t / "dst/" + h.name + ".zip", path);
    EXPECT_TRUE(test::readEntry(zip, 0) == t.read("src/" + h.name)) << h.name;
    zip.Close(false);
  }
  EXPECT_EQ(archives, 3);
  // The temporary archives of the comparison are gone.
  for (auto& e : std::filesystem::recursive_directory_iterator(t / "tmp"))
    EXPECT_TRUE(e.is_directory()) << e.path();
  std::string log = t.read("run.log");
  EXPECT_NE(log.find("Dateien komprimieren = Ja"), std::string::npos);
  EXPECT_NE(log.find("3 Dateien kopiert"), std::string::npos);
  EXPECT_NE(log.find("0 Fehler beim Sichern"), std::string::npos);
}

}  // namespace
}  // namespace kalvero
