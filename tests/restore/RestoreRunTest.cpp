#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <cstdlib>
#include <ctime>
#include <map>
#include <tuple>

#include "support/RestoreTestSupport.h"
#include "restore/RestoreStart.h"
#include "platform/FaultInjection.h"
#include "support/OrdinaryUser.h"
#include "support/RecordingReporter.h"
#include "support/TempDir.h"

namespace kalvero::test {
namespace {

namespace fs = std::filesystem;

constexpr const char* kOwn = "Compressed by Kalvero";

struct RestoreRunTest : ::testing::Test {
  TempDir tmp;
  std::string src = tmp / "src";
  std::string dst = tmp / "dst";
  std::string log = tmp / "restore.log";
  RecordingReporter reporter;
  void SetUp() override {
    tmp.mkdir("src");
  }
  std::string logText() const { return readFile(log); }
};

TEST_F(RestoreRunTest, PlainFilesGoToTheSameRelativePlaceAndTheLogHasHeaderAndSummary) {
  tmp.write("src/a.txt", std::string(300, 'a'));
  tmp.write("src/Übergröße/b c.txt", std::string(500, 'b'));
  tmp.write("src/Übergröße/tief/d.txt", std::string(400, 'd'));
  const auto out = RunRestore(OptionsFor(src, dst, log), &reporter);
  EXPECT_EQ(out.errors, 0);
  EXPECT_EQ(TreeContents(dst), TreeContents(src));
  const std::string text = logText();
  EXPECT_NE(text.find("Quellverzeichnis = " + src + "\r\n"), std::string::npos);
  EXPECT_NE(text.find("Unterverzeichnisse mitkopieren = Ja\r\n"), std::string::npos);
  EXPECT_NE(text.find("Anzahl der zu kopierenden Dateien = 3\r\n"), std::string::npos);
  EXPECT_NE(text.find("3 Dateien kopiert\r\n1 KiloByte kopiert\r\n"), std::string::npos);
  EXPECT_NE(text.find("Kleinste Datei (300 Byte) = " + src + "/a.txt\r\n"), std::string::npos);
  EXPECT_NE(text.find("Größte Datei (500 Byte) = " + src + "/Übergröße/b c.txt\r\n"), std::string::npos);
  EXPECT_NE(text.find("0 Fehler beim Rücksichern\r\n" + std::string(80, '-')), std::string::npos);
  EXPECT_EQ(text.find("dekomprimiert"), std::string::npos);
  // searching, log opened, files found, finished; no notification per plain copy
  EXPECT_EQ(reporter.codes(), (std::vector<int>{NOTIFY_LOG_OPENED, NOTIFY_SEARCHING, NOTIFY_FILES_FOUND, NOTIFY_FINISHED}));
  EXPECT_EQ(reporter.last().filesDone, 3);
}

TEST_F(RestoreRunTest, EmptyTreeAndSourceWithOrWithoutTrailingSlash) {
  auto out = RunRestore(OptionsFor(src, dst, log));
  EXPECT_EQ(out.errors, 0);
  std::string text = logText();
  EXPECT_NE(text.find("Anzahl der zu kopierenden Dateien = 0\r\n"), std::string::npos);
  EXPECT_NE(text.find("0 Dateien kopiert\r\n0 KiloByte kopiert\r\n"), std::string::npos);
  EXPECT_EQ(text.find("Kleinste"), std::string::npos);
  EXPECT_EQ(text.find("Größte"), std::string::npos);

  tmp.write("src/x/y.txt", "y");
  ASSERT_TRUE(MakeZipWithPython(tmp / "src/x/z.txt.zip", {{"x/z.txt", "zet"}}, kOwn));
  RunRestore(OptionsFor(src + "/", tmp / "d1", log));
  RunRestore(OptionsFor(src, tmp / "d2/", log));
  EXPECT_EQ(TreeContents(tmp / "d1"), TreeContents(tmp / "d2"));
  EXPECT_EQ(readFile(tmp / "d1/x/y.txt"), "y");
  EXPECT_EQ(readFile(tmp / "d1/x/z.txt"), "zet");
}

TEST_F(RestoreRunTest, OwnArchivesAreUnpackedForeignOnesCopiedUnchanged) {
  ASSERT_TRUE(MakeZipsWithPython({{tmp / "src/deep/er/a.txt.zip", {{"a.txt", std::string(3000, 'q')}}, kOwn},
                                  {tmp / "src/f.zip", {{"f.txt", "foreign"}}, "compressed by Kalvero"},
                                  {tmp / "src/g.ZIP", {{"g.txt", "gg"}}, ""}}));
  tmp.write("src/kein.zip", "this is no archive at all");
  const auto out = RunRestore(OptionsFor(src, dst, log), &reporter);
  EXPECT_EQ(out.errors, 0);
  // The entry name decides, not where the archive lay.
  EXPECT_EQ(readFile(dst + "/a.txt"), std::string(3000, 'q'));
  EXPECT_FALSE(fs::exists(dst + "/deep/er/a.txt.zip"));
  EXPECT_EQ(readFile(dst + "/f.zip"), readFile(src + "/f.zip"));
  EXPECT_FALSE(fs::exists(dst + "/f.txt"));
  EXPECT_EQ(readFile(dst + "/g.ZIP"), readFile(src + "/g.ZIP"));
  EXPECT_EQ(readFile(dst + "/kein.zip"), "this is no archive at all");
  EXPECT_EQ(out.totals.unpackedBytes, 3000u);
  EXPECT_NE(logText().find("Auf 2 KiloByte dekomprimiert\r\n"), std::string::npos);
  // Unpacking reports the archive and its entry.
  EXPECT_GT(reporter.count(NOTIFY_UNPACKING), 0);
  EXPECT_GT(reporter.count(NOTIFY_FILE_START), 0);
  EXPECT_GT(reporter.count(NOTIFY_FILE_STEP), 0);
}

TEST_F(RestoreRunTest, WithTheSettingOffEveryArchiveIsUnpackedAndCopied) {
  ASSERT_TRUE(MakeZipWithPython(tmp / "src/f.zip", {{"f.txt", std::string(5000, 'f')}}, "made elsewhere"));
  auto options = OptionsFor(src, dst, log);
  options.OnlyByKalvero = 0;
  const auto out = RunRestore(options);
  EXPECT_EQ(out.errors, 0);
  EXPECT_EQ(readFile(dst + "/f.txt"), std::string(5000, 'f'));
  EXPECT_EQ(readFile(dst + "/f.zip"), readFile(src + "/f.zip"));
  EXPECT_EQ(out.totals.unpackedBytes, 0u);
  EXPECT_EQ(logText().find("dekomprimiert"), std::string::npos);
}

TEST_F(RestoreRunTest, CraftedEntriesNeverLeaveTheDestination) {
  const std::string outside = tmp / "outside";
  tmp.mkdir("outside");
  // The backup's own link to outside is made after every file: nothing is written through it.
  fs::create_directory_symlink(outside, src + "/link");
  // A link found where the backup has one is replaced, never followed.
  fs::create_symlink("woanders", src + "/alt");
  fs::create_directories(dst);
  fs::create_directory_symlink(outside, dst + "/alt");
  const std::string absolute = outside + "/abs.txt";
  ASSERT_TRUE(MakeZipWithPython(tmp / "src/evil.zip",
                                {{"../x", "dotdot"},
                                 {absolute, "absolute"},
                                 {"alt/boese.txt", "via old link"},
                                 {"link/through.txt", "via link"},
                                 {"link", "", true},
                                 {"good/ok.txt", "fine"}},
                                kOwn));
  const auto out = RunRestore(OptionsFor(src, dst, log), &reporter);
  EXPECT_EQ(out.errors, 2);  // the archive, counted once, and the link that finds a directory in its place
  EXPECT_TRUE(fs::is_empty(outside));
  EXPECT_FALSE(fs::exists(tmp / "x"));
  EXPECT_FALSE(fs::exists(dst + "/x"));
  EXPECT_EQ(readFile(dst + "/good/ok.txt"), "fine");
  EXPECT_FALSE(fs::is_symlink(dst + "/link"));
  EXPECT_EQ(readFile(dst + "/link/through.txt"), "via link");
  const std::string text = logText();
  const std::string archive = src + "/evil.zip";
  EXPECT_EQ(fs::read_symlink(dst + "/alt").string(), "woanders");
  for (const std::string& name : {std::string("../x"), absolute, std::string("alt/boese.txt")})
    EXPECT_NE(text.find("Fehler beim Dekomprimieren der Datei: '" + name + "' aus dem ZIP-Archiv: '" + archive +
                        "'\r\n"),
              std::string::npos)
        << name;
  EXPECT_NE(text.find("Fehler beim Kopieren der Datei von '" + src + "/link' nach '" + dst + "/link'.  "),
            std::string::npos);
  EXPECT_NE(text.find("\r\n2 Fehler beim Rücksichern\r\n"), std::string::npos);
  EXPECT_EQ(reporter.last().pairErrors, 2);
  EXPECT_EQ(reporter.lines.size(), 4u);  // the failure lines reach the log page as well
  EXPECT_FALSE(fs::exists(dst + "/evil.zip"));  // a failed archive is not copied instead
}

TEST_F(RestoreRunTest, TheUsersOwnDirectoryLinksAreFollowed) {
  // A home whose "Dokumente" is a link to another disk, as cp and rsync -K follow it.
  tmp.mkdir("platte/Dokumente");
  tmp.mkdir("dst");
  fs::create_directory_symlink(tmp / "platte/Dokumente", dst + "/Dokumente");
  tmp.write("src/Dokumente/brief.txt", "Brief");
  ASSERT_TRUE(MakeZipWithPython(tmp / "src/Dokumente/karte.txt.zip", {{"Dokumente/karte.txt", "Karte"}}, kOwn));
  const auto out = RunRestore(OptionsFor(src, dst, log));
  EXPECT_EQ(out.errors, 0) << logText();
  EXPECT_TRUE(fs::is_symlink(dst + "/Dokumente"));
  EXPECT_EQ(readFile(tmp / "platte/Dokumente/brief.txt"), "Brief");
  EXPECT_EQ(readFile(tmp / "platte/Dokumente/karte.txt"), "Karte");
}

TEST_F(RestoreRunTest, OfTwoBackupFilesGivingOneFileTheNewerIsRestored) {
  // The archives' entries are from 17.05.2020 (see MakeZipsWithPython).
  tmp.write("src/dok.txt", "alt, vor dem Komprimieren gesichert");
  const auto old = fs::file_time_type::clock::now() - std::chrono::hours(24 * 365 * 10);
  fs::last_write_time(src + "/dok.txt", old);
  tmp.write("src/brief.txt", "neu, nach dem Komprimieren gesichert");
  // The newer copy is damaged: the older one is the best there is.
  tmp.write("src/kaputt.txt", "alt, aber heil");
  fs::last_write_time(src + "/kaputt.txt", old);
  std::string data;
  for (int i = 0; i < 100000; ++i) data += static_cast<char>('a' + (i * 7919 % 26));
  ASSERT_TRUE(MakeZipsWithPython({{src + "/dok.txt.zip", {{"dok.txt", "neu"}}, kOwn},
                                  {src + "/brief.txt.zip", {{"brief.txt", "alt"}}, kOwn},
                                  {src + "/kaputt.txt.zip", {{"kaputt.txt", data}}, kOwn}}));
  std::string bytes = readFile(src + "/kaputt.txt.zip");
  for (int i = 0; i < 8; ++i) bytes[30 + 10 + 40 + i] ^= 0x55;
  writeFile(src + "/kaputt.txt.zip", bytes);
  const auto out = RunRestore(OptionsFor(src, dst, log), &reporter);
  EXPECT_EQ(out.errors, 1) << logText();
  EXPECT_EQ(readFile(dst + "/dok.txt"), "neu");
  EXPECT_EQ(readFile(dst + "/brief.txt"), "neu, nach dem Komprimieren gesichert");
  EXPECT_EQ(readFile(dst + "/kaputt.txt"), "alt, aber heil");
  EXPECT_EQ(out.totals.filesDone, 6);
  const std::string text = logText();
  EXPECT_NE(text.find("Hinweis: Die neuere Sicherung von '" + dst + "/kaputt.txt' konnte nicht zurückgesichert "
                      "werden; stattdessen wird '" + src + "/kaputt.txt' zurückgesichert.\r\n"),
            std::string::npos)
      << text;
  for (const auto& [left, taken] : {std::pair{std::string("dok.txt"), std::string("dok.txt.zip")},
                                    std::pair{std::string("brief.txt.zip"), std::string("brief.txt")}}) {
    const std::string target = dst + "/" + (left.size() < taken.size() ? left : taken);
    EXPECT_NE(text.find("Hinweis: '" + src + "/" + left + "' wird nicht zurückgesichert, weil '" + src + "/" + taken +
                        "' dieselbe Datei '" + target + "' ergibt und neuer ist.\r\n"),
              std::string::npos)
        << text;
  }
}

TEST_F(RestoreRunTest, ASubfolderOfACompressedBackupRestoresIntoOneFolder) {
  // A backup of a pair whose source held "Fotos": archives store names below that source.
  tmp.write("src/Fotos/a.jpg", "A");
  tmp.write("src/Fotos/Urlaub/c.jpg", "C");
  ASSERT_TRUE(MakeZipsWithPython({{src + "/Fotos/b.txt.zip", {{"Fotos/b.txt", "B"}}, kOwn},
                                  {src + "/Fotos/Urlaub/d.txt.zip", {{"Fotos/Urlaub/d.txt", "D"}}, kOwn},
                                  {src + "/Fotos/e.txt.zip", {{"anderswo/f.txt", "E"}}, kOwn},
                                  {src + "/Fotos/zwei.zip", {{"Fotos/x.txt", "X"}, {"Fotos/y.txt", "Y"}}, kOwn}}));
  auto out = RunRestore(OptionsFor(src + "/Fotos", dst, log));
  EXPECT_EQ(out.errors, 0) << logText();
  using Tree = std::vector<std::pair<std::string, std::string>>;
  // Every file of the folder lands in one place; archives whose stored name does not fit keep the stored name.
  EXPECT_EQ(TreeContents(dst), (Tree{{"Fotos/x.txt", "X"},
                                     {"Fotos/y.txt", "Y"},
                                     {"Urlaub/c.jpg", "C"},
                                     {"Urlaub/d.txt", "D"},
                                     {"a.jpg", "A"},
                                     {"anderswo/f.txt", "E"},
                                     {"b.txt", "B"}}));
  // The whole backup gives the same tree as ever.
  out = RunRestore(OptionsFor(src, tmp / "ganz", log));
  EXPECT_EQ(out.errors, 0) << logText();
  EXPECT_EQ(TreeContents(tmp / "ganz"), (Tree{{"Fotos/Urlaub/c.jpg", "C"},
                                              {"Fotos/Urlaub/d.txt", "D"},
                                              {"Fotos/a.jpg", "A"},
                                              {"Fotos/b.txt", "B"},
                                              {"Fotos/x.txt", "X"},
                                              {"Fotos/y.txt", "Y"},
                                              {"anderswo/f.txt", "E"}}));
}

TEST_F(RestoreRunTest, LinksComeBackAsLinksWhateverTheyPointAt) {
  std::string longTarget;
  while (longTarget.size() < 4092) longTarget += "a/";
  longTarget += "abc";  // 4095 bytes, the longest a link can hold
  const std::map<std::string, std::string> links = {
      {"schleife1", "schleife2"}, {"schleife2", "schleife1"}, {"wurzel", "/"}, {"ziel", dst}, {"lang", longTarget}};
  for (const auto& [name, target] : links) fs::create_symlink(target, src + "/" + name);
  tmp.write("dst/wurzel", "a file where the link goes is replaced");
  const auto out = RunRestore(OptionsFor(src, dst, log));
  EXPECT_EQ(out.errors, 0) << logText();
  EXPECT_EQ(out.totals.filesDone, 5);
  for (const auto& [name, target] : links) {
    EXPECT_TRUE(fs::is_symlink(dst + "/" + name)) << name;
    EXPECT_EQ(fs::read_symlink(dst + "/" + name).string(), target) << name;
  }
}

TEST_F(RestoreRunTest, ADestinationWithoutLinksGivesOneCountedLinePerLink) {
  // As on vfat: symlink() fails with EPERM.
  platform::fault::Scope faults;
  platform::fault::arm({platform::fault::Call::Open, EPERM, 0, -1, "/dst/.link"});
  fs::create_symlink("datei.txt", src + "/link1");
  fs::create_symlink("nirgends", src + "/link2");
  tmp.write("src/datei.txt", "Inhalt");
  const auto out = RunRestore(OptionsFor(src, dst, log), &reporter);
  EXPECT_EQ(out.errors, 2);
  EXPECT_EQ(readFile(dst + "/datei.txt"), "Inhalt");
  ASSERT_EQ(reporter.lines.size(), 2u);
  for (const char* name : {"link1", "link2"}) {
    EXPECT_FALSE(fs::exists(fs::symlink_status(dst + "/" + name))) << name;
    EXPECT_NE(logText().find("Fehler beim Kopieren der Datei von '" + src + "/" + name + "' nach '" + dst + "/" +
                             name + "'.  Fehlernummer = 1"),
              std::string::npos)
        << logText();
  }
}

TEST_F(RestoreRunTest, WhatIsLeftOutIsNamed) {
  platform::fault::Scope faults;
  platform::fault::arm({platform::fault::Call::OpenDir, EACCES, 0, -1, "/src/gesperrt"});
  tmp.write("src/gesperrt/a.txt", "a");
  tmp.write("src/offen/b.txt", "b");
  ASSERT_EQ(mkfifo((src + "/rohr").c_str(), 0600), 0);
  const auto out = RunRestore(OptionsFor(src, dst, log), &reporter);
  EXPECT_EQ(out.errors, 1);  // the directory; the FIFO is only named
  EXPECT_EQ(readFile(dst + "/offen/b.txt"), "b");
  EXPECT_FALSE(fs::exists(dst + "/rohr"));
  const std::string text = logText();
  EXPECT_NE(text.find("Das Verzeichnis '" + src + "/gesperrt' kann nicht gelesen werden; was darin liegt, wird "
                      "nicht zurückgesichert.  Fehlernummer = 13"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("Spezialdatei (kein Inhalt zum Rücksichern): '" + src + "/rohr'\r\n"), std::string::npos);
  EXPECT_EQ(reporter.lines.size(), 2u);
}

TEST_F(RestoreRunTest, XattrsTheDestinationRefusesGiveOneNotePerRun) {
  for (const char* name : {"a.txt", "b.txt"}) {
    const std::string path = tmp.write(std::string("src/") + name, name);
    ASSERT_EQ(setxattr(path.c_str(), "user.herkunft", "Kamera", 6, 0), 0);
  }
  platform::fault::Scope faults;
  platform::fault::arm({platform::fault::Call::SetXattr, ENOTSUP, 0, -1, "/dst/"});
  const auto out = RunRestore(OptionsFor(src, dst, log), &reporter);
  EXPECT_EQ(out.errors, 0) << logText();
  EXPECT_EQ(readFile(dst + "/b.txt"), "b.txt");
  ASSERT_EQ(reporter.lines.size(), 1u);
  EXPECT_EQ(reporter.lines[0], "Hinweis: Erweiterte Attribute und Zugriffslisten (ACLs) können unter '" + dst +
                                   "' nicht gespeichert werden; die zurückgesicherten Dateien haben sie nicht.");
}

TEST_F(RestoreRunTest, UnpackingReplacesAReadOnlyTargetAPlainCopyDoesNot) {
  // The read-only test is on the owner write bit, so it holds for root as well.
  ASSERT_TRUE(MakeZipWithPython(tmp / "src/a.txt.zip", {{"a.txt", "new a"}}, kOwn));
  tmp.write("src/b.txt", "new b");
  tmp.write("dst/a.txt", "old a");
  tmp.write("dst/b.txt", "old b");
  fs::permissions(dst + "/a.txt", fs::perms::owner_write, fs::perm_options::remove);
  fs::permissions(dst + "/b.txt", fs::perms::owner_write, fs::perm_options::remove);
  const auto out = RunRestore(OptionsFor(src, dst, log));
  EXPECT_EQ(out.errors, 1);
  EXPECT_EQ(readFile(dst + "/a.txt"), "new a");
  EXPECT_EQ(readFile(dst + "/b.txt"), "old b");
  EXPECT_NE(logText().find("Fehler beim Kopieren der Datei von '" + src + "/b.txt' nach '" + dst + "/b.txt'.  "),
            std::string::npos);
}

TEST_F(RestoreRunTest, ReadOnlyDirectoriesOfTheTargetTakeTheRestoredFiles) {
  // The target holds an earlier restore of a directory without write bits.
  tmp.write("src/mod/a.txt", "neu a");
  tmp.write("src/mod/tief/b.txt", "neu b");
  ASSERT_TRUE(MakeZipWithPython(tmp / "src/mod/c.txt.zip", {{"mod/c.txt", "neu c"}}, kOwn));
  tmp.write("dst/mod/a.txt", "alt a");
  tmp.mkdir("dst/mod/tief");
  for (const std::string& tree : {src, dst}) {
    ASSERT_EQ(chmod((tree + "/mod/tief").c_str(), 0555), 0);
    ASSERT_EQ(chmod((tree + "/mod").c_str(), 0555), 0);
  }
  const int errors =
      RunAsOrdinaryUser(tmp.path(), [&] { return std::min(RunRestore(OptionsFor(src, dst, log)).errors, 100); });
  if (errors == kNoOrdinaryUser) GTEST_SKIP() << "the restore cannot be run as an ordinary user (nobody) here";
  EXPECT_EQ(errors, 0) << logText();
  EXPECT_EQ(readFile(dst + "/mod/a.txt"), "neu a");
  EXPECT_EQ(readFile(dst + "/mod/tief/b.txt"), "neu b");
  EXPECT_EQ(readFile(dst + "/mod/c.txt"), "neu c");
  for (const char* d : {"/mod", "/mod/tief"}) {
    struct stat st {};
    ASSERT_EQ(lstat((dst + d).c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0555u) << d;
  }
}

TEST_F(RestoreRunTest, DamagedArchiveLeavesTheOldTargetAndCountsAnError) {
  const std::string archive = tmp / "src/a.txt.zip";
  std::string data;
  for (int i = 0; i < 100000; ++i) data += static_cast<char>('a' + (i * 7919 % 26));
  ASSERT_TRUE(MakeZipWithPython(archive, {{"a.txt", data}}, kOwn));
  std::string bytes = readFile(archive);
  // Flip bytes inside the deflate stream (after the 30-byte header and the name).
  for (int i = 0; i < 8; ++i) bytes[30 + 5 + 40 + i] ^= 0x55;
  writeFile(archive, bytes);
  tmp.write("dst/a.txt", "old contents");
  const auto out = RunRestore(OptionsFor(src, dst, log));
  EXPECT_EQ(out.errors, 1);
  EXPECT_EQ(readFile(dst + "/a.txt"), "old contents");
  for (const auto& entry : fs::directory_iterator(dst))
    EXPECT_EQ(entry.path().filename().string()[0] == '.', false) << "temporary file left: " << entry.path();
}

TEST_F(RestoreRunTest, EmptyDestinationIsRefusedBeforeAnythingHappens) {
  tmp.write("src/a.txt", "a");
  auto out = RunRestore(OptionsFor(src, "", log), &reporter);
  EXPECT_TRUE(out.totals.refusedBeforeStart);
  EXPECT_FALSE(fs::exists(log));
  EXPECT_EQ(reporter.events.size(), 0u);
  ASSERT_EQ(reporter.lines.size(), 1u);
  EXPECT_EQ(reporter.lines[0], "Kein Zielverzeichnis angegeben.");
}

TEST_F(RestoreRunTest, CancelDuringALongFileFinishesThatFileAndEndsTheLoop) {
  ASSERT_TRUE(MakeZipWithPython(tmp / "src/big.bin.zip", {{"big.bin", std::string(3'000'000, 'B')}}, kOwn));
  std::atomic<int> cancel{0};
  reporter.onProgress = [&](int code, const ProgressInfo&) {
    if (code == NOTIFY_FILE_STEP) cancel = 1;  // pressed while the first file is unpacked
  };
  tmp.write("src/zz/later.txt", "later");
  const auto out = RunRestore(OptionsFor(src, dst, log), &reporter, &cancel);
  EXPECT_TRUE(out.cancelled);
  EXPECT_EQ(out.totals.filesDone, 1);
  EXPECT_EQ(readFile(dst + "/big.bin").size(), 3'000'000u);
  EXPECT_FALSE(fs::exists(dst + "/zz/later.txt"));
  for (const auto& entry : fs::recursive_directory_iterator(dst))  // nothing the workers unpacked ahead is left
    EXPECT_EQ(entry.path().filename().string().find(".kalvero-"), std::string::npos) << entry.path();
  EXPECT_NE(logText().find("***   Das Rücksichern wurde abgebrochen!   ***\r\n"), std::string::npos);
}

// A large archive first: the run waits for the worker that unpacks it.
TEST_F(RestoreRunTest, WhileAWorkerUnpacksALargeArchiveThePageShowsItMoving) {
  const std::string archive = tmp / "src/big.bin.zip";
  const std::uint64_t size = 32u << 20;  // random bytes as hex text: inflating them takes a while
  const std::string make = "python3 -c \"import zipfile,random\n"
                           "z=zipfile.ZipFile('" + archive + "','w',zipfile.ZIP_DEFLATED)\n"
                           "z.writestr('big.bin',random.Random(7).randbytes(" + std::to_string(size / 2) + ").hex())\n"
                           "z.comment=b'" + kOwn + "'\nz.close()\"";
  ASSERT_EQ(std::system(make.c_str()), 0);
  tmp.write("src/zz/later.txt", "later");
  setenv("KALVERO_THREADS", "2", 1);
  const auto out = RunRestore(OptionsFor(src, dst, log), &reporter);
  unsetenv("KALVERO_THREADS");
  EXPECT_EQ(out.errors, 0);  // the entry's CRC-32 checked
  EXPECT_EQ(fs::file_size(dst + "/big.bin"), size);
  int named = 0;
  std::vector<std::uint64_t> partWay;
  for (const auto& e : reporter.events) {
    if (e.info.currentSource != archive) continue;
    named += e.code == NOTIFY_UNPACKING;
    if (e.code == NOTIFY_FILE_STEP && e.info.fileSize == size && e.info.fileDone < size) partWay.push_back(e.info.fileDone);
  }
  EXPECT_GE(named, 2);  // while waiting, and when it is put in place
  ASSERT_FALSE(partWay.empty()) << "the page stood still";
  EXPECT_TRUE(std::is_sorted(partWay.begin(), partWay.end()));
}

TEST(RestoreValidationTest, ChecksInTheOrderOfTheStartButton) {
  TempDir tmp;
  tmp.mkdir("src");
  RestoreOptions o = OptionsFor(tmp / "nope", "", tmp / "r.log");
  auto v = ValidateRestoreOptions(o);
  EXPECT_EQ(v.field, RestoreValidation::Source);
  EXPECT_EQ(v.text, "Quellverzeichnis: '" + tmp / "nope" + "'\nnicht vorhanden.");
  o.PathSrc = tmp / "src";
  o.Protokolldatei = "restore.log";
  v = ValidateRestoreOptions(o);
  EXPECT_EQ(v.field, RestoreValidation::LogFile);
  EXPECT_EQ(v.text, "Verzeichnis der Protokolldatei: ''\nnicht vorhanden.");
  o.Protokolldatei = tmp / "fehlt/r.log";
  EXPECT_EQ(ValidateRestoreOptions(o).text, "Verzeichnis der Protokolldatei: '" + tmp / "fehlt/" + "'\nnicht vorhanden.");
  o.Protokolldatei = tmp / "r.log";
  v = ValidateRestoreOptions(o);
  EXPECT_EQ(v.field, RestoreValidation::Destination);
  EXPECT_EQ(v.text, "Kein Zielverzeichnis angegeben.");
  o.PathDst = tmp / "dst";
  EXPECT_TRUE(ValidateRestoreOptions(o).ok());
}

}  // namespace
}  // namespace kalvero::test

namespace kalvero::test {
namespace {

void PatchLittleEndian32(std::string& bytes, std::size_t at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>((value >> (8 * i)) & 0xff);
}

TEST_F(RestoreRunTest, StreamEndingBeforeItsDeclaredSizeIsAnError) {
  const std::string archive = tmp / "src/a.txt.zip";
  ASSERT_TRUE(MakeZipWithPython(archive, {{"a.txt", std::string(1000, 'k')}}, kOwn));
  std::string bytes = readFile(archive);
  // Declare 10 bytes more than the stream holds, in the local and the central header.
  PatchLittleEndian32(bytes, 22, 1010);
  const auto central = bytes.find(std::string("PK\x01\x02", 4));
  ASSERT_NE(central, std::string::npos);
  PatchLittleEndian32(bytes, central + 24, 1010);
  writeFile(archive, bytes);
  tmp.write("dst/a.txt", "old");
  const auto out = RunRestore(OptionsFor(src, dst, log));
  EXPECT_EQ(out.errors, 1);
  EXPECT_EQ(readFile(dst + "/a.txt"), "old");
}

}  // namespace
}  // namespace kalvero::test

namespace kalvero::test {
namespace {

std::string today() {
  const std::time_t now = std::time(nullptr);
  char text[16];
  std::strftime(text, sizeof text, "%Y-%m-%d", std::localtime(&now));
  return text;
}

ino_t inodeOf(const std::string& path) {
  struct stat st {};
  return lstat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}

// Work done in the target since the backup, newer or older, is kept beside
// the restored copy; a file equal to the backup's copy is not written again.
TEST_F(RestoreRunTest, DifferingTargetsAreKeptBesideEqualOnesLeftAlone) {
  const auto old = fs::file_time_type::clock::now() - std::chrono::hours(24 * 400);
  tmp.write("src/brief.txt", "aus der Sicherung");
  tmp.write("dst/brief.txt", "nach der Sicherung weitergeschrieben");
  tmp.write("src/notiz.txt", "aus der Sicherung");
  tmp.write("dst/notiz.txt", "älter als die Sicherung");
  fs::last_write_time(dst + "/notiz.txt", old);
  tmp.write("src/gleich.txt", "unverändert");
  tmp.write("dst/gleich.txt", "unverändert");
  fs::last_write_time(dst + "/gleich.txt", fs::last_write_time(src + "/gleich.txt"));
  ASSERT_TRUE(MakeZipsWithPython({{src + "/karte.txt.zip", {{"karte.txt", "Karte"}}, kOwn},
                                  {src + "/zwei.zip", {{"z/x.txt", "X"}, {"z/y.txt", "Y"}}, kOwn}}));
  tmp.write("dst/karte.txt", "Karte, geändert");
  tmp.write("dst/z/x.txt", "X, geändert");
  tmp.write("dst/z/y.txt", "Y");
  // The entries' time (see MakeZipsWithPython), so that y.txt is equal in every respect.
  std::tm entryTime{};
  entryTime.tm_year = 120, entryTime.tm_mon = 4, entryTime.tm_mday = 17, entryTime.tm_hour = 10;
  entryTime.tm_min = 20, entryTime.tm_sec = 30, entryTime.tm_isdst = -1;
  const struct timespec times[2] = {{std::mktime(&entryTime), 0}, {std::mktime(&entryTime), 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, (dst + "/z/y.txt").c_str(), times, 0), 0);
  const ino_t equalInode = inodeOf(dst + "/gleich.txt"), equalEntryInode = inodeOf(dst + "/z/y.txt");
  // Where the backup has a link, the user's file there is no less work.
  fs::create_symlink("brief.txt", src + "/verweis");
  tmp.write("dst/verweis", "eine Datei des Benutzers");

  const auto out = RunRestore(OptionsFor(src, dst, log), &reporter);
  EXPECT_EQ(out.errors, 0) << logText();
  const std::string label = " (vor Rücksicherung " + today() + ")";
  for (const auto& [name, kept, before] :
       {std::tuple{"brief.txt", "brief" + label + ".txt", "nach der Sicherung weitergeschrieben"},
        std::tuple{"notiz.txt", "notiz" + label + ".txt", "älter als die Sicherung"},
        std::tuple{"karte.txt", "karte" + label + ".txt", "Karte, geändert"},
        std::tuple{"z/x.txt", "z/x" + label + ".txt", "X, geändert"},
        std::tuple{"verweis", "verweis" + label, "eine Datei des Benutzers"}}) {
    EXPECT_EQ(readFile(dst + "/" + kept), before) << name;
    EXPECT_NE(logText().find("Hinweis: '" + dst + "/" + name + "' unterschied sich von der Sicherung; die bisherige "
                             "Fassung bleibt als '" + dst + "/" + kept + "' erhalten.\r\n"),
              std::string::npos)
        << logText();
  }
  EXPECT_EQ(readFile(dst + "/brief.txt"), "aus der Sicherung");
  EXPECT_EQ(readFile(dst + "/karte.txt"), "Karte");
  EXPECT_EQ(readFile(dst + "/z/x.txt"), "X");
  EXPECT_EQ(fs::read_symlink(dst + "/verweis").string(), "brief.txt");
  EXPECT_EQ(inodeOf(dst + "/gleich.txt"), equalInode);
  EXPECT_EQ(inodeOf(dst + "/z/y.txt"), equalEntryInode);
  EXPECT_EQ(out.totals.keptVersions, 5);
  EXPECT_EQ(out.totals.unchangedTargets, 2);
  EXPECT_NE(logText().find("5 abweichende Dateien im Ziel daneben erhalten (vor Rücksicherung)\r\n"
                           "2 Dateien im Ziel waren schon gleich und wurden nicht neu geschrieben\r\n"),
            std::string::npos);
  EXPECT_EQ(reporter.lines.size(), 5u);  // the kept files, on the log page as well

  // Changed again and restored again on the same day: the second one gets a number.
  tmp.write("dst/brief.txt", "noch einmal geändert");
  EXPECT_EQ(RunRestore(OptionsFor(src, dst, log)).totals.keptVersions, 1);
  EXPECT_EQ(readFile(dst + "/brief (vor Rücksicherung " + today() + ", 2).txt"), "noch einmal geändert");
  EXPECT_EQ(readFile(dst + "/brief" + label + ".txt"), "nach der Sicherung weitergeschrieben");
}

}  // namespace
}  // namespace kalvero::test
