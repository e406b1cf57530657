#include <gtest/gtest.h>

#include <filesystem>

#include "RestoreTestSupport.h"
#include "backup/BackupRun.h"
#include "platform/FileSystem.h"
#include "support/TempDir.h"

namespace kalvero::test {
namespace {

namespace fs = std::filesystem;

struct Variant {
  int compress;
  int dateSubdir;
};

class RoundTrip : public ::testing::TestWithParam<Variant> {};

void BuildTree(TempDir& tmp) {
  tmp.write("src/leer.txt", "");
  tmp.write("src/Übergröße ä/Grüße.txt", "Schöne Grüße\r\n");
  std::string big;
  for (int i = 0; i < 700'000; ++i) big += static_cast<char>((i * 2654435761u) >> 24);
  tmp.write("src/groß.bin", big);
  tmp.write("src/a/b/c/d/e/f/g/tief.txt", std::string(1500, 't'));
  tmp.write("src/a/leer", "");
  tmp.write("src/nur lesen.txt", "schreibgeschützt");
  fs::permissions(tmp / "src/nur lesen.txt", fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
}

std::string BackupRoot(const std::string& destination, int dateSubdir) {
  if (!dateSubdir) return destination;
  for (const auto& e : fs::directory_iterator(destination))
    if (e.is_directory()) return e.path().string();
  return destination;
}

TEST_P(RoundTrip, RestoringABackupGivesBackBytesTimesAndReadOnlyState) {
  const Variant v = GetParam();
  TempDir tmp;
  BuildTree(tmp);
  const std::string src = tmp / "src";

  std::atomic<int> cancel{0}, batch{0};
  RecordingReporter backupReporter;
  BackupRunSetup setup;
  setup.jobs = {DirPair{1, 1, src, tmp / "backup", {}}};
  setup.options.Protokolldatei = tmp / "backup.log";
  setup.options.Archivbit = 0;
  setup.options.ArchivbitReset = 0;
  setup.options.Compress = v.compress;
  setup.options.SubVerzDatum = v.dateSubdir;
  setup.options.NotCompress = "";
  setup.captions = DefaultOptionCaptions("");
  setup.tempDir = tmp.path() + "/";
  for (int i = 0; i < 4; ++i) setup.listFiles[i] = tmp / ("list" + std::to_string(i));
  setup.cancel = &cancel;
  setup.pageBatchMode = &batch;
  setup.reporter = &backupReporter;
  BackupRun backup(setup);
  backup.run();
  ASSERT_EQ(backup.totals().runErrors, 0) << readFile(tmp / "backup.log");

  RecordingReporter reporter;
  auto options = OptionsFor(BackupRoot(tmp / "backup", v.dateSubdir), tmp / "zurück", tmp / "restore.log");
  const auto out = RunRestore(options, &reporter);
  ASSERT_EQ(out.errors, 0) << readFile(tmp / "restore.log");

  const auto original = TreeContents(src);
  EXPECT_EQ(TreeContents(tmp / "zurück"), original);
  for (const auto& [rel, contents] : original) {
    const auto a = platform::statPath(src + "/" + rel);
    const auto b = platform::statPath(tmp / "zurück/" + rel);
    ASSERT_TRUE(a && b) << rel;
    const std::int64_t slack = v.compress ? 2 : 0;  // archives keep even seconds
    EXPECT_LE(a->mtimeSeconds - b->mtimeSeconds, slack) << rel;
    EXPECT_GE(a->mtimeSeconds - b->mtimeSeconds, 0) << rel;
    EXPECT_EQ((a->mode & 0200) == 0, (b->mode & 0200) == 0) << rel;
  }
  if (v.compress) {
    EXPECT_GT(out.totals.unpackedBytes, 700'000u);
  }
  fs::permissions(tmp / "src/nur lesen.txt", fs::perms::owner_write, fs::perm_options::add);
}

INSTANTIATE_TEST_SUITE_P(Variants, RoundTrip,
                         ::testing::Values(Variant{0, 0}, Variant{1, 0}, Variant{0, 1}, Variant{1, 1}),
                         [](const auto& info) {
                           return std::string(info.param.compress ? "Compressed" : "Plain") +
                                  (info.param.dateSubdir ? "WithDateSubdir" : "");
                         });

}  // namespace
}  // namespace kalvero::test
