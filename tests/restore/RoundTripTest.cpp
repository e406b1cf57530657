#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "support/RestoreTestSupport.h"
#include "backup/BackupRun.h"
#include "platform/FileSystem.h"
#include "support/RecordingReporter.h"
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

// Backs up src into tmp/backup (run log tmp/backup.log); the run's error count.
int RunBackup(TempDir& tmp, const std::string& src, const Variant& v) {
  std::atomic<int> cancel{0};
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
  for (int i = 0; i < 4; ++i) setup.listFiles[i] = tmp / ("list" + std::to_string(i));
  setup.cancel = &cancel;
  setup.reporter = &backupReporter;
  BackupRun backup(setup);
  backup.run();
  return backup.totals().runErrors;
}

TEST_P(RoundTrip, RestoringABackupGivesBackBytesTimesAndReadOnlyState) {
  const Variant v = GetParam();
  TempDir tmp;
  BuildTree(tmp);
  const std::string src = tmp / "src";
  ASSERT_EQ(RunBackup(tmp, src, v), 0) << readFile(tmp / "backup.log");

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

// Two names of one file stay one file through a plain backup and its
// restore; with compression each name has its own archive and comes back as
// a file of its own.
TEST_P(RoundTrip, HardLinksComeBackAsHardLinksFromAPlainBackup) {
  const Variant v = GetParam();
  TempDir tmp;
  tmp.write("src/eins.txt", "ein Inhalt, zwei Namen");
  tmp.mkdir("src/unter");
  ASSERT_EQ(link((tmp / "src/eins.txt").c_str(), (tmp / "src/unter/zwei.txt").c_str()), 0);
  ASSERT_EQ(RunBackup(tmp, tmp / "src", v), 0) << readFile(tmp / "backup.log");
  const auto out = RunRestore(OptionsFor(BackupRoot(tmp / "backup", v.dateSubdir), tmp / "zurück", tmp / "restore.log"));
  ASSERT_EQ(out.errors, 0) << readFile(tmp / "restore.log");
  EXPECT_EQ(TreeContents(tmp / "zurück"), TreeContents(tmp / "src"));
  const struct stat one = lstatOf(tmp / "zurück/eins.txt");
  const struct stat two = lstatOf(tmp / "zurück/unter/zwei.txt");
  EXPECT_EQ(one.st_ino == two.st_ino, !v.compress);
  EXPECT_EQ(one.st_nlink, v.compress ? 1u : 2u);
}

// A tree with every kind a Linux home holds.
void BuildTreeOfEveryKind(TempDir& tmp, bool asRoot) {
  const std::string src = tmp / "src";
  tmp.write("src/datei.txt", "Inhalt\n");
  tmp.write("src/privat/geheim.txt", "nur für mich");
  chmod((src + "/privat/geheim.txt").c_str(), 0600);
  chmod((src + "/privat").c_str(), 0700);
  tmp.write("src/bin/skript.sh", "#!/bin/sh\necho hallo\n");
  chmod((src + "/bin/skript.sh").c_str(), 0755);
  tmp.mkdir("src/leer/auch leer");
  fs::create_symlink("datei.txt", src + "/zeiger");
  fs::create_symlink("../leer", src + "/bin/ordnerlink");
  fs::create_symlink("nirgends/wo", src + "/kaputt");
  // A disk image: 16 MiB with two blocks of data.
  {
    std::ofstream image(src + "/platte.img", std::ios::binary);
    image << "Anfang";
    image.seekp(16 << 20);
    image << "Ende";
  }
  setxattr((src + "/datei.txt").c_str(), "user.herkunft", "Kamera", 6, 0);
  mkfifo((src + "/rohr").c_str(), 0600);
  if (asRoot) {
    const std::string tool = tmp.write("src/bin/werkzeug", "#!/bin/sh\n");
    chown(tool.c_str(), 4321, 4322);
    chmod(tool.c_str(), 04750);
    chown((src + "/privat").c_str(), 4321, 4322);
    chown((src + "/privat/geheim.txt").c_str(), 4321, 4322);
  }
  // A user's names that only look like the program's temporaries are the user's.
  tmp.write("src/.notizen.kalvero-backup", "eigene Notizen");
  tmp.write("src/.x.kalvero-abcdef", "eigen");
  tmp.write("src/.ordner.kalvero-abcdef/innen.txt", "ganzer Ordner");
  tmp.write("src/alt.txt", "aus den Sechzigern");
  // Directory times last: they are part of what comes back.
  for (const char* dir : {"leer/auch leer", "leer", "privat", "bin", ""}) {
    const struct timespec times[2] = {{1500000000, 0}, {1600000000, 123456789}};
    utimensat(AT_FDCWD, (src + "/" + dir).c_str(), times, AT_SYMLINK_NOFOLLOW);
  }
}

TEST_P(RoundTrip, ATreeOfEveryKindComesBackAsItWas) {
  const Variant v = GetParam();
  TempDir tmp;
  const bool asRoot = geteuid() == 0;
  BuildTreeOfEveryKind(tmp, asRoot);
  const std::string src = tmp / "src";
  if (!v.compress) {  // Linux keeps a time before 1970, and so does a plain copy (archives start in 1980)
    const struct timespec sixties[2] = {{-220000000, 0}, {-220000000, 5}};
    ASSERT_EQ(utimensat(AT_FDCWD, (src + "/alt.txt").c_str(), sixties, 0), 0);
  }
  // A user's file named as the backup's checksum list comes back as the user's
  // (from its archive: an even second); the root keeps its time.
  const std::string named = tmp.write("src/Kalvero-Pruefsummen.sha256", "eine Datei des Benutzers");
  const struct timespec even[2] = {{1700000000, 0}, {1700000000, 0}};
  const struct timespec rootTimes[2] = {{1500000000, 0}, {1600000000, 123456789}};
  ASSERT_EQ(utimensat(AT_FDCWD, named.c_str(), even, 0), 0);
  ASSERT_EQ(utimensat(AT_FDCWD, src.c_str(), rootTimes, 0), 0);
  chmod(src.c_str(), 0750);
  ASSERT_EQ(RunBackup(tmp, src, v), 0) << readFile(tmp / "backup.log");
  // The backup's own list stays in the backup: the comparison below shows it is not restored.
  EXPECT_TRUE(platform::statPath(BackupRoot(tmp / "backup", v.dateSubdir) + "/Kalvero-Pruefsummen.sha256"));
  // The pair's own folder, made by the run, has the source root's mode and time.
  if (!v.dateSubdir) {
    const auto root = platform::statPath(tmp / "backup");
    ASSERT_TRUE(root);
    EXPECT_EQ(root->mode & 07777, 0750u);
    EXPECT_EQ(root->mtimeSeconds, 1600000000);
  }
  const auto out = RunRestore(OptionsFor(BackupRoot(tmp / "backup", v.dateSubdir), tmp / "zurück", tmp / "restore.log"));
  ASSERT_EQ(out.errors, 0) << readFile(tmp / "restore.log");

  // Archives keep the mode and owner, not xattrs, holes or more than even seconds.
  TreeAspects aspects;
  aspects.owners = asRoot;
  aspects.xattrs = aspects.sparse = !v.compress;
  aspects.evenFileSeconds = v.compress;
  auto expected = DescribeTree(src, aspects);
  // The FIFO is named in the backup's log, not copied.
  ASSERT_NE(std::find(expected.begin(), expected.end(), "rohr special"), expected.end());
  expected.erase(std::find(expected.begin(), expected.end(), "rohr special"));
  EXPECT_NE(readFile(tmp / "backup.log").find(src + "/rohr"), std::string::npos);
  EXPECT_EQ(DescribeTree(tmp / "zurück", aspects), expected);
  if (!v.compress) {  // the tree really has what the comparison is about
    const std::string all = ::testing::PrintToString(expected);
    EXPECT_NE(all.find(" sparse"), std::string::npos) << all;
    EXPECT_NE(all.find("user.herkunft=Kamera"), std::string::npos) << all;
  }
}

INSTANTIATE_TEST_SUITE_P(Variants, RoundTrip,
                         ::testing::Values(Variant{0, 0}, Variant{1, 0}, Variant{0, 1}, Variant{1, 1}),
                         [](const auto& info) {
                           return std::string(info.param.compress ? "Compressed" : "Plain") +
                                  (info.param.dateSubdir ? "WithDateSubdir" : "");
                         });

}  // namespace
}  // namespace kalvero::test
