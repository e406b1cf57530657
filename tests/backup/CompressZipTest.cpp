// Compressing one file of a backup into an archive of its own.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <vector>

#include "platform/FaultInjection.h"
#include "platform/FileSystem.h"
#include "platform/TempFiles.h"
#include "support/RecordingReporter.h"
#include "support/TempDir.h"
#include "backup/CompressZip.h"
#include "support/ZipTestSupport.h"

namespace kalvero {
namespace {

using test::TempDir;

struct Fixture {
  TempDir t;
  ZipArchiveLayer zip;
  ProgressInfo info;
  test::RecordingReporter reporter;
  std::atomic<int> cancel{0};
  CopyContext ctx;
  CopyJob job;
  CompressionError error;

  explicit Fixture(const std::string& content, const std::string& rel = "Briefe/a.txt") {
    job.sourceRoot = t / "src/";
    job.source = t.write("src/" + rel, content);
    t.mkdir("dst/Briefe");
    job.destination = t / "dst/" + rel;
    job.size = content.size();
    ctx.progress = &info;
    ctx.reporter = &reporter;
    ctx.cancel = &cancel;
    ctx.displayThreshold = 0;
    info.fileSize = job.size;
  }
  std::vector<std::string> dstFiles() const {
    std::vector<std::string> names;
    for (auto& e : std::filesystem::directory_iterator(t / "dst/Briefe")) names.push_back(e.path().filename());
    return names;
  }
};

TEST(CompressZip, WritesTheArchiveBesideTheDestination) {
  std::string data = test::mixedBytes(700000);
  Fixture f(data);
  ASSERT_TRUE(CompressZip(f.zip, f.job, f.ctx, &f.error)) << f.error.text;
  const std::string archive = f.t / "dst/Briefe/a.txt.zip";
  EXPECT_EQ(f.job.finalName, archive);
  EXPECT_EQ(f.job.compressedSize, test::readFile(archive).size());
  EXPECT_EQ(f.error.text, "");
  EXPECT_EQ(f.dstFiles(), std::vector<std::string>{"a.txt.zip"});  // no temporary left
  EXPECT_TRUE(f.zip.IsClosed());
  f.zip.Open(archive, ZipArchiveLayer::OpenExisting);
  EXPECT_EQ(f.zip.GetArchiveComment(), "Compressed by Kalvero");
  ZipEntryHeader h;
  f.zip.GetEntryInfo(0, h);
  EXPECT_EQ(h.name, "Briefe/a.txt");
  EXPECT_EQ(test::readEntry(f.zip, 0), data);
  f.zip.Close(false);
  // Two chunks, one step notification each.
  EXPECT_EQ(f.reporter.codesWith(&ProgressInfo::fileDone),
            (std::vector<std::pair<int, std::uint64_t>>{{NOTIFY_FILE_STEP, 640000}, {NOTIFY_FILE_STEP, 700000}}));
}

TEST(CompressZip, ChunkBoundaries) {
  for (std::size_t size : {std::size_t(0), std::size_t(640000), std::size_t(640001)}) {
    Fixture f(test::mixedBytes(size));
    ASSERT_TRUE(CompressZip(f.zip, f.job, f.ctx, &f.error));
    std::size_t rounds = size == 0 ? 0 : 2;  // an empty file shows no progress
    EXPECT_EQ(f.reporter.events.size(), rounds) << size;
    f.zip.Open(f.job.finalName, ZipArchiveLayer::OpenExisting);
    EXPECT_EQ(test::readEntry(f.zip, 0).size(), size);
    f.zip.Close(false);
  }
}

TEST(CompressZip, ProgressOnlyAboveTheThreshold) {
  Fixture f(test::mixedBytes(5 * 1024));
  f.ctx.displayThreshold = 5;  // 5 KByte is not above 5
  ASSERT_TRUE(CompressZip(f.zip, f.job, f.ctx, &f.error));
  EXPECT_TRUE(f.reporter.events.empty());
  Fixture g(test::mixedBytes(6 * 1024));
  g.ctx.displayThreshold = 5;
  ASSERT_TRUE(CompressZip(g.zip, g.job, g.ctx, &g.error));
  EXPECT_EQ(g.reporter.events.size(), 1u);
}

TEST(CompressZip, TemporaryArchiveForCompare) {
  Fixture f(test::mixedBytes(1000));
  int err = 0;
  std::string stem = ReserveTemporaryArchive(f.job.source, &err);
  ASSERT_FALSE(stem.empty()) << err;
  EXPECT_EQ(stem.rfind(platform::privateTemporaryDirectory(), 0), 0u);
  std::string other = ReserveTemporaryArchive(f.job.source);
  EXPECT_NE(stem, other);  // never shared by two runs
  f.job.temporaryArchive = stem;
  ASSERT_TRUE(CompressZip(f.zip, f.job, f.ctx, &f.error));
  EXPECT_EQ(f.job.temporaryArchive, stem + ".zip");
  EXPECT_EQ(f.job.finalName, stem + ".zip");
  EXPECT_TRUE(f.dstFiles().empty());
  f.zip.Open(f.job.finalName, ZipArchiveLayer::OpenExisting);
  EXPECT_EQ(f.zip.GetEntryCount(), 1);
  f.zip.Close(false);
  platform::removeFile(stem + ".zip");
  platform::removeFile(other + ".zip");
}

TEST(CompressZip, CancelLeavesNothingUnderTheArchiveName) {
  Fixture f(test::mixedBytes(2000000));
  test::writeFile(f.t / "dst/Briefe/a.txt.zip", "previous archive");
  // Cancel while the first chunk is reported.
  f.reporter.onProgress = [&](int, const ProgressInfo&) { f.cancel.store(1); };
  EXPECT_FALSE(CompressZip(f.zip, f.job, f.ctx, &f.error));
  EXPECT_EQ(f.reporter.events.size(), 1u);
  EXPECT_EQ(f.error.text, " (Das Sichern wurde abgerochen,Datei='" + f.job.source + "',cause=0,Os=0)");
  EXPECT_EQ(test::readFile(f.t / "dst/Briefe/a.txt.zip"), "previous archive");
  EXPECT_EQ(f.dstFiles(), std::vector<std::string>{"a.txt.zip"});
  EXPECT_EQ(f.job.compressedSize, 0u);
  EXPECT_TRUE(f.zip.IsClosed());
}

TEST(CompressZip, CancelWithoutProgressStillEndsAfterAChunk) {
  Fixture f(test::mixedBytes(2000));
  f.ctx.displayThreshold = 1000;
  f.cancel = 1;
  EXPECT_FALSE(CompressZip(f.zip, f.job, f.ctx, &f.error));
  EXPECT_TRUE(f.reporter.events.empty());
  EXPECT_TRUE(f.dstFiles().empty());
}

TEST(CompressZip, SourceThatCannotBeOpened) {
  Fixture f("secret");
  platform::fault::Scope scope;
  // Status and attributes are readable; only opening the data fails.
  platform::fault::arm({platform::fault::Call::Open, EACCES, 0, 1, "src/Briefe/a.txt"});
  EXPECT_FALSE(CompressZip(f.zip, f.job, f.ctx, &f.error));
  EXPECT_NE(f.error.text.find("(Open-Fehler,Datei='',cause=5,Os=13)"), std::string::npos) << f.error.text;
  EXPECT_EQ(f.error.cause, 5);
  EXPECT_EQ(f.error.osError, 13);
  EXPECT_TRUE(f.dstFiles().empty());
  EXPECT_TRUE(f.zip.IsClosed());
}

TEST(CompressZip, ArchiveThatCannotBeWritten) {
  Fixture f(test::mixedBytes(100000));
  platform::fault::Scope scope;
  platform::fault::arm({platform::fault::Call::Write, ENOSPC, 0, -1, "a.txt.zip"});
  EXPECT_FALSE(CompressZip(f.zip, f.job, f.ctx, &f.error));
  EXPECT_NE(f.error.text.find("(FileException-Fehler,Datei='"), std::string::npos) << f.error.text;
  EXPECT_EQ(f.error.cause, 13);
  EXPECT_EQ(f.error.osError, 28);
  EXPECT_TRUE(f.dstFiles().empty());
  EXPECT_TRUE(f.zip.IsClosed());
  platform::fault::disarmAll();
  // The same object works again for the next file.
  f.reporter.events.clear();
  EXPECT_TRUE(CompressZip(f.zip, f.job, f.ctx, &f.error));
}

TEST(CompressZip, MissingDestinationDirectory) {
  Fixture f("x");
  f.job.destination = f.t / "nowhere/a.txt";
  EXPECT_FALSE(CompressZip(f.zip, f.job, f.ctx, &f.error));
  EXPECT_EQ(f.error.cause, 2);
  EXPECT_NE(f.error.text.find("Datei='" + f.t / "nowhere/a.txt.zip'"), std::string::npos) << f.error.text;
}

TEST(CompressZip, EmptyEntryNameIsRefused) {
  Fixture f("x");
  f.job.sourceRoot = f.job.source;
  EXPECT_FALSE(CompressZip(f.zip, f.job, f.ctx, &f.error));
  EXPECT_EQ(f.error.text, " (,Datei='',cause=0,Os=0)");
}

TEST(CompressZip, LongNamesStillGetAHiddenTemporary) {
  std::string name(240, 'l');
  Fixture f("lang", "Briefe/" + name);
  ASSERT_TRUE(CompressZip(f.zip, f.job, f.ctx, &f.error)) << f.error.text;
  EXPECT_EQ(f.dstFiles(), std::vector<std::string>{name + ".zip"});
}

}  // namespace
}  // namespace kalvero
