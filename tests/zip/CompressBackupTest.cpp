// A whole backup with "Compress" and "Compare" on, through kalvero-cli.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <map>

#include "app/SettingsFile.h"
#include "backup/BackupRun.h"
#include "backup/CompressZip.h"
#include "restore/RestoreRun.h"
#include "support/Files.h"
#include "support/LogText.h"
#include "support/RecordingReporter.h"
#include "support/TempDir.h"
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

namespace fs = std::filesystem;

// The number of threads a run uses, set as the user sets it.
struct Threads {
  explicit Threads(const char* n) { setenv("KALVERO_THREADS", n, 1); }
  ~Threads() { unsetenv("KALVERO_THREADS"); }
};

// Every file below root (hidden ones included) with its bytes.
std::map<std::string, std::string> filesBelow(const std::string& root) {
  std::map<std::string, std::string> out;
  if (!fs::exists(root)) return out;
  for (auto& e : fs::recursive_directory_iterator(root))
    if (e.is_regular_file()) out[fs::relative(e.path(), root).string()] = test::readFile(e.path().string());
  return out;
}

// Sources for the pool: small and large, compressible and not, one of the
// "never compress" extension, some in subdirectories.
void writeSources(const test::TempDir& t, int count) {
  for (int i = 0; i < count; ++i) {
    const std::string dir = i % 3 == 0 ? "src/" : "src/teil " + std::to_string(i % 4) + "/";
    const std::size_t size = i == 5 ? 1300000 : static_cast<std::size_t>(i * 3001 % 70000);
    t.write(dir + "datei " + std::to_string(i) + (i % 2 ? ".txt" : ".bin"),
            i % 2 ? std::string(size, static_cast<char>('a' + i % 26)) : test::mixedBytes(size, static_cast<std::uint32_t>(i)));
  }
  t.write("src/bild.jpg", test::mixedBytes(5000, 99));
  t.write("src/leer", "");
}

BackupRunSetup compressedBackup(const test::TempDir& t, RunReporter* reporter, std::atomic<int>* cancel) {
  BackupRunSetup s;
  s.options.Protokolldatei = t / "run.log";
  s.options.Archivbit = s.options.ArchivbitReset = 0;
  s.options.Compress = s.options.Compare = 1;
  s.options.NotCompress = "jpg";
  s.options.MitPrueffile = 1;
  s.options.Prueffile = t / "pruef.chk";
  s.jobs.push_back(DirPair{1, 1, t / "src", t / "dst", {}});
  s.captions = DefaultOptionCaptions("Datum");
  for (int i = 0; i < 4; ++i) s.listFiles[i] = t / ("liste" + std::to_string(i + 1) + ".txt");
  s.versionText = "1,0,0,0";
  s.cancel = cancel;
  s.reporter = reporter;
  return s;
}

// A compressed backup and its restore with n threads; every output is renamed
// with the suffix n afterwards, so both runs write (and log) the same names.
void backupAndRestore(const test::TempDir& t, const char* n) {
  Threads threads(n);
  test::RecordingReporter reporter;
  std::atomic<int> cancel{0};
  BackupRun backup(compressedBackup(t, &reporter, &cancel));
  backup.run();
  EXPECT_EQ(backup.totals().runErrors, 0) << test::joined(reporter.lines);
  RestoreRunSetup r;
  r.options.PathSrc = t / "dst";
  r.options.PathDst = t / "back";
  r.options.Protokolldatei = t / "restore.log";
  r.options.SubVerz = 1;
  r.options.OnlyByKalvero = 1;
  r.versionText = "1,0,0,0";
  r.cancel = &cancel;
  RestoreRun restore(r);
  restore.run();
  EXPECT_EQ(restore.errors(), 0);
  for (const char* name : {"dst", "back", "run.log", "restore.log", "pruef.chk", "liste1.txt", "liste2.txt",
                           "liste3.txt", "liste4.txt"})
    fs::rename(t / name, t / (std::string(name) + "." + n));
}

TEST(CompressBackup, FourThreadsWriteWhatOneWrites) {
  test::TempDir t;
  writeSources(t, 40);
  backupAndRestore(t, "1");
  backupAndRestore(t, "4");
  EXPECT_EQ(filesBelow(t / "dst.1").size(), 42u);
  EXPECT_TRUE(filesBelow(t / "dst.1") == filesBelow(t / "dst.4")) << "archives differ";
  EXPECT_TRUE(filesBelow(t / "back.4") == filesBelow(t / "src")) << "restored tree differs";
  EXPECT_TRUE(filesBelow(t / "back.1") == filesBelow(t / "back.4"));
  for (const char* name : {"run.log", "restore.log", "pruef.chk", "liste1.txt", "liste2.txt", "liste3.txt", "liste4.txt"})
    EXPECT_EQ(test::maskTimes(t.read(std::string(name) + ".1")), test::maskTimes(t.read(std::string(name) + ".4")))
        << name;
}

TEST(CompressBackup, CancelOfFourThreadsLeavesOnlyWholeArchives) {
  test::TempDir t;
  writeSources(t, 40);
  Threads threads("4");
  test::RecordingReporter reporter;
  std::atomic<int> cancel{0};
  int compressing = 0;
  reporter.onProgress = [&](int code, const ProgressInfo&) {
    if (code == NOTIFY_COMPRESSING && ++compressing == 8) cancel = 1;
  };
  BackupRun backup(compressedBackup(t, &reporter, &cancel));
  backup.run();
  EXPECT_TRUE(backup.totals().cancelled);
  EXPECT_EQ(backup.totals().runErrors, 0);
  const auto copies = filesBelow(t / "dst");
  EXPECT_GE(copies.size(), 6u);
  EXPECT_LT(copies.size(), 42u);
  for (const auto& [name, bytes] : copies) {
    // No worker's hidden archive is left, and every archive holds its source whole.
    ASSERT_EQ(name.find(".kalvero-"), std::string::npos) << name;
    if (name.size() < 4 || name.substr(name.size() - 4) != ".zip") {
      EXPECT_EQ(bytes, t.read("src/" + name)) << name;
      continue;
    }
    ZipArchiveLayer zip;
    zip.Open(t / "dst/" + name, ZipArchiveLayer::OpenExisting);
    EXPECT_EQ(test::readEntry(zip, 0), t.read("src/" + name.substr(0, name.size() - 4))) << name;
    zip.Close(false);
  }
}

}  // namespace
}  // namespace kalvero
