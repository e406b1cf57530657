#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <filesystem>
#include <fstream>

#include <unistd.h>

#include "backup/CopyVerify.h"
#include "platform/FaultInjection.h"
#include "platform/FileCopy.h"
#include "platform/FileSystem.h"
#include "platform/Sha256.h"
#include "support/LogText.h"
#include "support/RecordingReporter.h"
#include "support/TempDir.h"

namespace kalvero {
namespace {

namespace fs = std::filesystem;
using test::TempDir;
using test::maskTimes;

bool noTemporaries(const std::string& dir) {
  for (const auto& e : fs::directory_iterator(dir))
    if (platform::isProgramTemporaryName(e.path().filename().string())) return false;
  return true;
}

struct Fixture {
  TempDir dir;
  ProgressInfo info;
  test::RecordingReporter reporter;
  std::atomic<int> cancel{0};
  CopyContext ctx;
  Fixture() {
    ctx.progress = &info;
    ctx.reporter = &reporter;
    ctx.cancel = &cancel;
    ctx.displayThreshold = 1;  // show files above 1 KByte
  }
};

TEST(FileCopy, CopiesContentModeAndTimeAtomically) {
  TempDir dir;
  const std::string src = dir.write("src/a b ä.txt", std::string(3 * 1024 * 1024 + 17, 'x'));
  fs::permissions(src, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  platform::setFileTimes(src, platform::fileTimeFromUnix(1000000000, 0), platform::fileTimeFromUnix(1000000000, 0));
  dir.mkdir("dst");
  std::vector<std::uint64_t> steps;
  int err = 0;
  ASSERT_TRUE(platform::copyFile(src, dir / "dst/a b ä.txt",
                                 [&](std::uint64_t total, std::uint64_t done) {
                                   EXPECT_EQ(total, 3u * 1024 * 1024 + 17);
                                   steps.push_back(done);
                                   return true;
                                 },
                                 &err));
  EXPECT_EQ(dir.read("dst/a b ä.txt"), dir.read("src/a b ä.txt"));
  ASSERT_GE(steps.size(), 5u);
  EXPECT_EQ(steps.front(), 0u);
  for (std::size_t i = 1; i < steps.size(); ++i) EXPECT_LE(steps[i] - steps[i - 1], 1024u * 1024);
  EXPECT_EQ(steps.back(), 3u * 1024 * 1024 + 17);
  auto st = platform::statPath(dir / "dst/a b ä.txt");
  ASSERT_TRUE(st);
  EXPECT_EQ(st->mode & 0777, 0640u);
  EXPECT_EQ(st->mtimeSeconds, 1000000000);
  EXPECT_TRUE(noTemporaries(dir / "dst"));
}

TEST(FileCopy, CancelAndFailuresLeaveTheOldCopy) {
  TempDir dir;
  const std::string src = dir.write("s.bin", std::string(2 * 1024 * 1024 + 1, 'n'));
  const std::string dst = dir.write("d/s.bin", "old copy");
  int err = 0;
  EXPECT_FALSE(platform::copyFile(src, dst, [](std::uint64_t, std::uint64_t done) { return done < 1024 * 1024; }, &err));
  EXPECT_EQ(err, ECANCELED);
  EXPECT_EQ(dir.read("d/s.bin"), "old copy");
  EXPECT_TRUE(noTemporaries(dir / "d"));
  {
    // A full disk in the middle of the copy (both copy paths).
    platform::fault::Scope scope;
    platform::fault::Rule r;
    r.call = platform::fault::Call::CopyRange;
    r.error = EXDEV;
    r.times = -1;
    platform::fault::arm(r);
    platform::fault::Rule w;
    w.call = platform::fault::Call::Write;
    w.error = ENOSPC;
    w.skip = 1;
    w.pathContains = "kalvero-";
    platform::fault::arm(w);
    EXPECT_FALSE(platform::copyFile(src, dst, {}, &err));
    EXPECT_EQ(err, ENOSPC);
  }
  EXPECT_EQ(dir.read("d/s.bin"), "old copy");
  EXPECT_TRUE(noTemporaries(dir / "d"));
  // Read-only destination: refused before anything is written.
  fs::permissions(dst, fs::perms::owner_read);
  EXPECT_FALSE(platform::copyFile(src, dst, {}, &err));
  EXPECT_EQ(err, EACCES);
  EXPECT_EQ(dir.read("d/s.bin"), "old copy");
  // Missing source.
  EXPECT_FALSE(platform::copyFile(dir / "nope", dir / "d/nope", {}, &err));
  EXPECT_EQ(err, ENOENT);
  EXPECT_FALSE(dir.exists("d/nope"));
}

// A small file's digest is taken from the bytes as they are written: it is
// the copy's, also when the source grew or shrank after it was opened.
TEST(FileCopy, DigestTakenWhileCopyingIsTheCopys) {
  TempDir dir;
  dir.mkdir("dst");
  const std::string small = dir.write("src/klein.txt", std::string(5000, 'k'));
  const auto digestOf = [](const std::string& path) {
    platform::Sha256Digest d{};
    int e = 0;
    EXPECT_TRUE(platform::Sha256OfFile(path, &d, &e));
    return d;
  };
  const auto copy = [&](const std::string& src, const platform::CopyProgressFn& progress) {
    platform::CopyNotes notes;
    std::string temp;
    int err = 0;
    EXPECT_TRUE(platform::copyFileToTemporary(src, dir / "dst/f", progress, temp, &err, &notes));
    EXPECT_TRUE(platform::commitTemporary(temp, dir / "dst/f", &err));
    return notes;
  };
  platform::CopyNotes notes = copy(small, {});
  EXPECT_TRUE(notes.hashed);
  EXPECT_EQ(notes.digest, digestOf(dir / "dst/f"));
  for (const std::size_t now : {9000u, 10u}) {
    notes = copy(small, [&](std::uint64_t, std::uint64_t done) {
      if (done == 0) std::ofstream(small, std::ios::binary | std::ios::trunc) << std::string(now, 'n');
      return true;
    });
    EXPECT_TRUE(notes.hashed);
    EXPECT_EQ(dir.read("dst/f"), std::string(now, 'n'));
    EXPECT_EQ(notes.digest, digestOf(dir / "dst/f"));
  }
  // Above the line the data is not read into the program: no digest here.
  EXPECT_FALSE(copy(dir.write("src/gross.bin", std::string(platform::kBufferedCopyLimit + 1, 'g')), {}).hashed);
  EXPECT_EQ(dir.read("dst/f"), dir.read("src/gross.bin"));
}

TEST(CopyOneFile, CopiesWithProgressAboveTheThresholdAndReportsFailures) {
  Fixture f;
  const std::string big = f.dir.write("s/big", std::string(2048 + 1024, 'b'));  // 3 KByte > 1
  const std::string edge = f.dir.write("s/edge", std::string(1024 + 1023, 'e'));  // 1 KByte: no single-file display
  f.dir.mkdir("d");
  CopyJob job;
  job.source = big;
  job.destination = f.dir / "d/big";
  job.timeSource = big;
  job.size = 3072;
  EXPECT_TRUE(CopyOneFile(job, f.ctx, nullptr));
  EXPECT_EQ(f.reporter.count(NOTIFY_COPYING), 1);
  EXPECT_EQ(f.reporter.count(NOTIFY_FILE_START), 1);
  EXPECT_GE(f.reporter.count(NOTIFY_FILE_STEP), 1);
  f.reporter.events.clear();
  job.source = edge;
  job.destination = f.dir / "d/edge";
  EXPECT_TRUE(CopyOneFile(job, f.ctx, nullptr));
  EXPECT_EQ(f.reporter.count(NOTIFY_FILE_START), 0);
  EXPECT_EQ(f.reporter.count(NOTIFY_FILE_STEP), 0);

  job.source = f.dir / "s/vanished";
  job.destination = f.dir / "d/vanished";
  EXPECT_FALSE(CopyOneFile(job, f.ctx, nullptr));
  EXPECT_EQ(f.info.pairErrors, 1);
  EXPECT_EQ(f.info.runErrors, 1);
  ASSERT_EQ(f.reporter.lines.size(), 1u);
  EXPECT_EQ(maskTimes(f.reporter.lines[0]), "Fehler beim Kopieren der Datei von '" + f.dir / "s/vanished" + "' nach '" +
                                             f.dir / "d/vanished" +
                                             "'.  Fehlernummer = 2  No such file or directory  [T]");
  // Cancelled in the middle: no partial copy, and no error of the file.
  f.cancel = 1;
  job.source = big;
  job.destination = f.dir / "d/cancelled";
  EXPECT_FALSE(CopyOneFile(job, f.ctx, nullptr));
  EXPECT_TRUE(job.cancelled);
  EXPECT_FALSE(f.dir.exists("d/cancelled"));
  EXPECT_TRUE(noTemporaries(f.dir / "d"));
  EXPECT_EQ(f.info.runErrors, 1);
}

TEST(CompareFiles, EqualDifferentAndUnreadable) {
  Fixture f;
  f.ctx.source = f.dir.write("a", "");
  f.ctx.destination = f.dir.write("b", "");
  EXPECT_TRUE(CompareFiles(f.ctx));  // two empty files
  f.ctx.source = f.dir.write("big1", std::string(200000, 'q'));
  f.ctx.destination = f.dir.write("big2", std::string(200000, 'q'));
  EXPECT_TRUE(CompareFiles(f.ctx));
  EXPECT_EQ(f.reporter.events.back().code, NOTIFY_FILE_START);  // bar cleared at the end
  EXPECT_EQ(f.reporter.events.back().info.fileSize, 0u);
  f.ctx.destination = f.dir.write("longer", std::string(200001, 'q'));
  EXPECT_FALSE(CompareFiles(f.ctx));
  EXPECT_EQ(maskTimes(f.reporter.lines.back()),
            "Fehler beim Vergleichen der Dateien: '" + f.ctx.source + "' und '" + f.ctx.destination + "'  [T]");
  f.ctx.destination = f.dir / "missing";
  EXPECT_FALSE(CompareFiles(f.ctx));
  EXPECT_EQ(maskTimes(f.reporter.lines.back()),
            "Beim Vergleichen - Fehler beim Öffnen der Zieldatei: '" + f.ctx.destination +
                "'   (Fehlertext: 'Fehlernummer = 2  No such file or directory')  [T]");
  EXPECT_EQ(f.info.runErrors, 2);
  {
    platform::fault::Scope scope;
    platform::fault::Rule r;
    r.call = platform::fault::Call::Read;
    r.error = EIO;
    r.pathContains = "big1";
    platform::fault::arm(r);
    f.ctx.destination = f.dir / "big2";
    EXPECT_FALSE(CompareFiles(f.ctx));
  }
  EXPECT_NE(f.reporter.lines.back().find("Beim Vergleichen - Fehler beim Lesen der Quelldatei: '"), std::string::npos);
}

TEST(ClearFileAttributes, ReadOnlyDestinationAndMissingPath) {
  Fixture f;
  EXPECT_TRUE(ClearFileAttributes(f.dir / "none", platform::ATTR_READONLY, f.ctx));
  const std::string p = f.dir.write("ro", "x");
  fs::permissions(p, fs::perms::owner_read);
  EXPECT_TRUE(ClearFileAttributes(p, platform::ATTR_READONLY, f.ctx));
  auto st = platform::statPath(p);
  ASSERT_TRUE(st);
  EXPECT_TRUE(st->mode & 0200);
  {
    platform::fault::Scope scope;
    platform::fault::Rule r;
    r.call = platform::fault::Call::Chmod;
    r.error = EPERM;
    platform::fault::arm(r);
    fs::permissions(p, fs::perms::owner_read);
    EXPECT_FALSE(ClearFileAttributes(p, platform::ATTR_READONLY, f.ctx));
  }
  ASSERT_EQ(f.reporter.lines.size(), 1u);
  EXPECT_EQ(f.reporter.lines[0], "Fehler beim Lesen oder Schreiben von Dateiattributen in die Datei: " + p +
                                     ". Fehler: Fehlernummer = 1  Operation not permitted");
  EXPECT_EQ(f.info.runErrors, 0);  // reported, not counted
}

}  // namespace
}  // namespace kalvero

namespace kalvero {
namespace {

TEST(ResetArchiveBit, KeepsModeNeverFollowsLinksAndRefusesAChangedFile) {
  Fixture f;
  const std::string p = f.dir.write("ro.txt", "read-only source");
  const std::string outside = f.dir.write("outside.txt", "outside the tree");
  std::uint32_t a = 0;
  bool unsupported = false;
  if (!platform::getFileAttributes(p, a) || !platform::setFileAttributes(p, a & ~platform::ATTR_ARCHIVE, nullptr, &unsupported) || unsupported)
    GTEST_SKIP() << "the temporary file system keeps no user xattrs (archive bit)";
  platform::setFileAttributes(p, a | platform::ATTR_ARCHIVE);
  fs::permissions(p, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  const auto before = platform::lstatPath(p);
  ASSERT_TRUE(before);
  bool changed = true;
  EXPECT_TRUE(ResetArchiveBit(p, *before, f.ctx, &changed, &unsupported));
  EXPECT_FALSE(changed);
  EXPECT_EQ(platform::lstatPath(p)->mode, 0444u);  // still read-only
  ASSERT_TRUE(platform::getFileAttributes(p, a));
  // Only root may write the marker of a read-only file; anyone else copies it again next time.
  EXPECT_EQ(a & platform::ATTR_ARCHIVE, geteuid() == 0 ? 0u : platform::ATTR_ARCHIVE);
  EXPECT_EQ(unsupported, geteuid() != 0);
  EXPECT_TRUE(a & platform::ATTR_READONLY);

  // The stamp names the inode: the same size and time in another file is a change.
  const std::string replacement = f.dir.write("other.txt", "read-only source");
  fs::last_write_time(replacement, fs::last_write_time(p));
  fs::permissions(p, fs::perms::owner_all);
  fs::rename(replacement, p);
  ASSERT_TRUE(platform::getFileAttributes(p, a));
  EXPECT_TRUE(a & platform::ATTR_ARCHIVE);
  // A file that is no longer in the state it was copied in is not reset.
  EXPECT_TRUE(ResetArchiveBit(p, *before, f.ctx, &changed, &unsupported));
  EXPECT_TRUE(changed);
  ASSERT_TRUE(platform::getFileAttributes(p, a));
  EXPECT_TRUE(a & platform::ATTR_ARCHIVE);

  // Nothing is written through a link, neither the marker nor the read-only bit.
  const std::string link = f.dir / "link.txt";
  fs::create_symlink(outside, link);
  fs::permissions(outside, fs::perms::owner_read);
  const auto linkState = platform::lstatPath(link);
  EXPECT_FALSE(ResetArchiveBit(link, *linkState, f.ctx, &changed, &unsupported));
  EXPECT_TRUE(ClearFileAttributes(link, platform::ATTR_READONLY, f.ctx));
  EXPECT_EQ(platform::lstatPath(outside)->mode, 0400u);
  ASSERT_TRUE(platform::getFileAttributes(outside, a));
  EXPECT_TRUE(a & platform::ATTR_ARCHIVE);
}

}  // namespace
}  // namespace kalvero
