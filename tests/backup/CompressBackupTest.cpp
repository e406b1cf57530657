// A whole backup with "Compress" and "Compare" on, through kalvero-cli.
#include <gtest/gtest.h>

#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <thread>
#include <vector>

#include "app/SettingsFile.h"
#include "backup/BackupRun.h"
#include "backup/CompressAhead.h"
#include "backup/CompressZip.h"
#include "platform/FaultInjection.h"
#include "restore/RestoreRun.h"
#include "run/ChecksumList.h"
#include "support/Files.h"
#include "support/LogText.h"
#include "support/RecordingReporter.h"
#include "support/TempDir.h"
#include "support/ZipTestSupport.h"

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
    if (e.is_directory() || e.path().filename() == kChecksumListName) continue;
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
// The files of a tree, without a backup's own checksum list at its top.
std::map<std::string, std::string> filesBelow(const std::string& root) {
  std::map<std::string, std::string> out;
  if (!fs::exists(root)) return out;
  for (auto& e : fs::recursive_directory_iterator(root))
    if (e.is_regular_file()) out[fs::relative(e.path(), root).string()] = test::readFile(e.path().string());
  out.erase(std::string(kChecksumListName));
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

BackupRunSetup compressedBackup(const test::TempDir& t, RunReporter* reporter, std::atomic<int>* cancel,
                                int compress = 1, int compare = 1) {
  BackupRunSetup s;
  s.options.Protokolldatei = t / "run.log";
  s.options.Archivbit = s.options.ArchivbitReset = 0;
  s.options.Compress = compress;
  s.options.Compare = compare;
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

// A compressed (or plain) backup and its restore with n threads; every output
// is renamed with the suffix n afterwards, so both runs write (and log) the same names.
void backupAndRestore(const test::TempDir& t, const char* n, int compress = 1) {
  Threads threads(n);
  test::RecordingReporter reporter;
  std::atomic<int> cancel{0};
  BackupRun backup(compressedBackup(t, &reporter, &cancel, compress));
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
  RestoreRun restore(std::move(r));
  restore.run();
  EXPECT_EQ(restore.errors(), 0);
  for (const char* name : {"dst", "back", "run.log", "restore.log", "pruef.chk", "liste1.txt", "liste2.txt",
                           "liste3.txt", "liste4.txt"})
    fs::rename(t / name, t / (std::string(name) + "." + n));
}

TEST(CompressBackup, FourThreadsWriteWhatOneWrites) {
  // Plain copies too are made on the workers.
  for (const int compress : {1, 0}) {
    SCOPED_TRACE(compress ? "compressed" : "plain copies");
    test::TempDir t;
    writeSources(t, 40);
    backupAndRestore(t, "1", compress);
    backupAndRestore(t, "4", compress);
    EXPECT_EQ(filesBelow(t / "dst.1").size(), 42u);
    EXPECT_TRUE(filesBelow(t / "dst.1") == filesBelow(t / "dst.4")) << "archives differ";
    EXPECT_EQ(t.read(std::string("dst.1/") + std::string(kChecksumListName)),
              t.read(std::string("dst.4/") + std::string(kChecksumListName)));
    EXPECT_TRUE(filesBelow(t / "back.4") == filesBelow(t / "src")) << "restored tree differs";
    EXPECT_TRUE(filesBelow(t / "back.1") == filesBelow(t / "back.4"));
    for (const char* name : {"run.log", "restore.log", "pruef.chk", "liste1.txt", "liste2.txt", "liste3.txt", "liste4.txt"})
      EXPECT_EQ(test::maskTimes(t.read(std::string(name) + ".1")), test::maskTimes(t.read(std::string(name) + ".4")))
          << name;
  }
}

TEST(CompressBackup, AFileInTheWayOfAFolderIsKeptAsideInItsTurnWithWorkers) {
  std::string logs[2];
  for (const int four : {0, 1}) {
    test::TempDir t;
    writeSources(t, 40);
    t.write("dst/teil 1", "eine Datei, wo jetzt ein Ordner ist");
    Threads threads(four ? "4" : "1");
    test::RecordingReporter reporter;
    std::atomic<int> cancel{0};
    BackupRun backup(compressedBackup(t, &reporter, &cancel, 0));
    backup.run();
    EXPECT_EQ(backup.totals().runErrors, 0) << test::joined(reporter.lines);
    int kept = 0;
    for (const auto& e : fs::directory_iterator(t / "dst"))
      kept += e.path().filename().string().rfind("teil 1 (Datei bis ", 0) == 0;
    EXPECT_EQ(kept, 1);
    logs[four] = test::maskTimes(t.read("run.log"));
    for (std::size_t at; (at = logs[four].find(t.path())) != std::string::npos;)
      logs[four].replace(at, t.path().size(), "T");
  }
  EXPECT_NE(logs[0].find("jetzt von anderer Art"), std::string::npos) << logs[0];
  EXPECT_EQ(logs[0], logs[1]);
}

// Compressed with "Compare", and plain without it (the workers put the
// copies in place themselves): after a cancel the copies are those the lists name.
TEST(CompressBackup, CancelOfFourThreadsLeavesOnlyWholeArchives) {
  for (const int compress : {1, 0}) {
    SCOPED_TRACE(compress);
    test::TempDir t;
    writeSources(t, 40);
    Threads threads("4");
    test::RecordingReporter reporter;
    std::atomic<int> cancel{0};
    int started = 0;
    reporter.onProgress = [&](int code, const ProgressInfo&) {
      if (code == (compress ? NOTIFY_COMPRESSING : NOTIFY_COPYING) && ++started == 8) cancel = 1;
    };
    BackupRun backup(compressedBackup(t, &reporter, &cancel, compress, compress));
    backup.run();
    EXPECT_TRUE(backup.totals().cancelled);
    EXPECT_EQ(backup.totals().runErrors, 0);
    const auto copies = filesBelow(t / "dst");
    EXPECT_GE(copies.size(), 6u);
    EXPECT_LT(copies.size(), 42u);
    const std::string listed = t.read("liste2.txt");
    for (const auto& [name, bytes] : copies) {
      // No worker's hidden archive is left, and every archive holds its source whole.
      ASSERT_EQ(name.find(".kalvero-"), std::string::npos) << name;
      EXPECT_NE(listed.find(t / ("dst/" + name)), std::string::npos) << name << " is not in the list of copies";
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
}

// A file system of 64 MiB of its own at path, for as long as the object lives.
class SmallFileSystem {
 public:
  explicit SmallFileSystem(const std::string& path) : path_(path) {
    mounted_ = geteuid() == 0 && ::mount("tmpfs", path.c_str(), "tmpfs", 0, "size=64m") == 0;
  }
  ~SmallFileSystem() {
    if (mounted_) ::umount2(path_.c_str(), MNT_DETACH);
  }
  bool mounted() const { return mounted_; }

 private:
  std::string path_;
  bool mounted_ = false;
};

constexpr time_t kOldTime = 1234567890;

void setOldTime(const std::string& path) {
  const struct timespec times[2] = {{kOldTime, 0}, {kOldTime, 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW), 0) << path;
}

TEST(CompressBackup, FourThreadsFillANearlyFullDestinationAsOneDoes) {
  test::TempDir t;
  t.mkdir("dst");
  SmallFileSystem small(t / "dst");
  if (!small.mounted()) GTEST_SKIP() << "mounting a 64 MiB tmpfs needs root";
  t.write("dst/belegt", std::string(40u << 20, 'x'));
  // Archives of noise are as large as their sources: 20 MB in 24 MiB free.
  // The photos are copied plain by the run thread meanwhile.
  const auto nameOf = [](int i) { return (i < 6 ? "teil " : "foto ") + std::to_string(i) + (i < 6 ? ".bin" : ".jpg"); };
  const auto writeNoise = [&](std::uint32_t seed) {
    for (int i = 0; i < 8; ++i) t.write("src/" + nameOf(i), test::noiseBytes(2500000 + seed, seed + static_cast<std::uint32_t>(i)));
  };
  std::atomic<int> cancel{0};
  writeNoise(1);
  {
    Threads one("1");
    BackupRun first(compressedBackup(t, nullptr, &cancel));
    first.run();
    ASSERT_EQ(first.totals().runErrors, 0);
  }
  // Every archive is replaced: one thread holds one new archive beside the old ones at a time.
  writeNoise(100);
  Threads four("4");
  test::RecordingReporter reporter;
  BackupRun second(compressedBackup(t, &reporter, &cancel));
  second.run();
  EXPECT_EQ(second.totals().runErrors, 0) << test::joined(reporter.lines);
  for (int i = 0; i < 6; ++i) {
    ZipArchiveLayer zip;
    zip.Open(t / ("dst/" + nameOf(i) + ".zip"), ZipArchiveLayer::OpenExisting);
    EXPECT_TRUE(test::readEntry(zip, 0) == t.read("src/" + nameOf(i))) << nameOf(i);
    zip.Close(false);
  }
  for (int i = 6; i < 8; ++i) EXPECT_TRUE(t.read("dst/" + nameOf(i)) == t.read("src/" + nameOf(i))) << nameOf(i);
  EXPECT_EQ(filesBelow(t / "dst").size(), 9u);  // no hidden archive left
}

TEST(CompressBackup, PlainCopyWithoutSpaceIsTriedAgainWithoutTheWorkersArchives) {
  test::TempDir t;
  writeSources(t, 12);
  Threads four("4");
  test::RecordingReporter reporter;
  std::atomic<int> cancel{0};
  platform::fault::Scope faults;
  platform::fault::arm({platform::fault::Call::Write, ENOSPC, 0, 1, "bild.jpg"});
  BackupRun backup(compressedBackup(t, &reporter, &cancel));
  backup.run();
  EXPECT_EQ(platform::fault::hits(platform::fault::Call::Write), 1);
  EXPECT_EQ(backup.totals().runErrors, 0) << test::joined(reporter.lines);
  EXPECT_TRUE(t.read("dst/bild.jpg") == t.read("src/bild.jpg"));
}

// Waits (at most half a minute) until a worker has finished the hidden
// archive of name: the last thing it gives the archive is the source's time.
void waitForWorkersArchive(const std::string& dir, const std::string& name) {
  for (int i = 0; i < 3000; ++i) {
    for (auto& e : fs::directory_iterator(dir)) {
      const std::string file = e.path().filename().string();
      struct stat st {};
      // Its hidden archive, or the plain copy the worker put in place.
      if (((file.rfind("." + name, 0) == 0 && file.find(".kalvero-") != std::string::npos) || file == name) &&
          ::lstat(e.path().c_str(), &st) == 0 && st.st_mtime == kOldTime)
        return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

// Compressed with "Compare", and plain without it (the worker's copy stood
// under its name already); plain, the worker's copy replaced by another file
// before the file's turn is made again, as on one thread.
TEST(CompressBackup, FileReplacedAfterItsWorkerIsStoredWithItsNewContent) {
  for (const int variant : {1, 0, 2}) {
    SCOPED_TRACE(variant);
    const int compress = variant == 1 ? 1 : 0;
    test::TempDir t;
    t.write("src/gross.bin", test::mixedBytes(16u << 20, 3));
    t.write("src/klein.txt", "alter Inhalt\n");
    setOldTime(t / "src/gross.bin");
    setOldTime(t / "src/klein.txt");
    t.mkdir("dst");
    Threads four("4");
    test::RecordingReporter reporter;
    std::atomic<int> cancel{0};
    std::string replaced;
    // When the run takes its first file, the other one's archive is finished
    // by a worker; then that file is replaced.
    reporter.onProgress = [&](int code, const ProgressInfo& info) {
      if (code != (compress ? NOTIFY_COMPRESSING : NOTIFY_COPYING) || !replaced.empty()) return;
      replaced = info.currentSource == t / "src/gross.bin" ? "klein.txt" : "gross.bin";
      waitForWorkersArchive(t / "dst", replaced);
      const std::string side = variant == 2 ? "dst/" : "src/";
      t.write(side + "neu", "neuer Inhalt, länger als der alte\n");
      fs::rename(t / (side + "neu"), t / (side + replaced));
    };
    BackupRun backup(compressedBackup(t, &reporter, &cancel, compress, compress));
    backup.run();
    const std::string lines = test::joined(reporter.lines);
    EXPECT_EQ(backup.totals().runErrors, 0) << lines;
    EXPECT_EQ(lines.find("Fehler beim Vergleichen"), std::string::npos) << lines;
    ASSERT_FALSE(replaced.empty());
    if (!compress) {
      EXPECT_EQ(t.read("dst/" + replaced), variant == 2 ? t.read("src/" + replaced) : "neuer Inhalt, länger als der alte\n");
      continue;
    }
    ZipArchiveLayer zip;
    zip.Open(t / ("dst/" + replaced + ".zip"), ZipArchiveLayer::OpenExisting);
    EXPECT_EQ(test::readEntry(zip, 0), "neuer Inhalt, länger als der alte\n");
    zip.Close(false);
  }
}

TEST(CompressBackup, JobsQueuedAfterACancelCreateNothing) {
  test::TempDir t;
  for (int i = 0; i < 12; ++i) t.write("src/f" + std::to_string(i), test::mixedBytes(100000, static_cast<std::uint32_t>(i)));
  t.mkdir("dst");
  setOldTime(t / "dst");
  std::atomic<int> cancel{1};
  {
    CompressAhead ahead(2, &cancel, true);
    for (std::size_t i = 0; i < 12; ++i) {
      CopyJob job;
      job.sourceRoot = t / "src/";
      job.source = t / ("src/f" + std::to_string(i));
      job.destination = t / ("dst/f" + std::to_string(i));
      job.size = 100000;
      job.compress = job.deferCommit = true;
      ahead.offer(i, std::move(job));
    }
    for (std::size_t i = 0; i < 12; ++i) EXPECT_FALSE(ahead.take(i)->ok);
  }
  // No archive was made and removed in it: the directory's time is as it was.
  EXPECT_EQ(test::lstatOf(t / "dst").st_mtime, kOldTime);
}

// A large file first in the walk, small ones after it, on two threads: the
// run thread waits for the worker that compresses the large one.
struct WaitForAWorker {
  test::TempDir t;
  test::RecordingReporter reporter;
  std::atomic<int> cancel{0};
  std::string large;
  WaitForAWorker() {
    large = t / "src/a gross.bin";
    t.write("src/a gross.bin", test::noiseBytes(48u << 20, 7));
    for (int i = 0; i < 6; ++i) t.write("src/b klein " + std::to_string(i), test::mixedBytes(300000, static_cast<std::uint32_t>(i)));
  }
  void run() {
    Threads two("2");
    BackupRun backup(compressedBackup(t, &reporter, &cancel));
    backup.run();
  }
  // The steps sent while waiting: the large file's bar part way.
  std::vector<test::RecordingReporter::Event> waitingSteps() const {
    std::vector<test::RecordingReporter::Event> out;
    for (const auto& e : reporter.events)
      if (e.code == NOTIFY_FILE_STEP && e.info.currentSource == large && e.info.fileDone > 0 &&
          e.info.fileDone < e.info.fileSize)
        out.push_back(e);
    return out;
  }
  void expectPairNeverBack() const {
    std::uint64_t shown = 0;
    for (const auto& e : reporter.events) {
      if (e.code == NOTIFY_RESET) shown = 0;
      EXPECT_GE(e.info.pairBytesDone, shown) << notifyCodeName(e.code);
      shown = std::max(shown, e.info.pairBytesDone);
    }
  }
};

TEST(CompressBackup, ProgressMovesWhileTheRunWaitsForAWorker) {
  WaitForAWorker w;
  w.run();
  const auto steps = w.waitingSteps();
  ASSERT_GE(steps.size(), 2u) << "no progress while waiting";
  EXPECT_EQ(steps.front().info.fileSize, 48u << 20);
  EXPECT_LT(steps.front().info.pairBytesDone, steps.back().info.pairBytesDone);
  EXPECT_GT(w.reporter.count(NOTIFY_COMPRESSING), 7);  // the large file shown while waiting, then every file
  w.expectPairNeverBack();
  EXPECT_EQ(w.reporter.last().pairBytesDone, w.reporter.last().pairBytes);
}

TEST(CompressBackup, CancelWhileWaitingForAWorkerKeepsThePairWhereItWas) {
  WaitForAWorker w;
  w.reporter.onProgress = [&w](int code, const ProgressInfo& info) {
    if (code == NOTIFY_FILE_STEP && info.currentSource == w.large && info.fileDone > 0 &&
        info.fileDone < info.fileSize)
      w.cancel = 1;
  };
  w.run();
  ASSERT_FALSE(w.waitingSteps().empty());
  w.expectPairNeverBack();
  EXPECT_FALSE(fs::exists(w.t / "dst/a gross.bin.zip"));
}

TEST(CompressBackup, NameTooLongForZipIsStoredUncompressedUnderItsOwnName) {
  test::TempDir t;
  const std::string fits(251, 'a'), longer(252, 'b'), longest(255, 'c');
  for (const std::string* name : {&fits, &longer, &longest}) t.write("src/" + *name, "Inhalt " + *name);
  test::RecordingReporter reporter;
  std::atomic<int> cancel{0};
  BackupRun backup(compressedBackup(t, &reporter, &cancel));
  backup.run();
  const std::string lines = test::joined(reporter.lines);
  EXPECT_EQ(backup.totals().runErrors, 0) << lines;
  EXPECT_TRUE(t.exists("dst/" + fits + ".zip"));
  for (const std::string* name : {&longer, &longest}) {
    EXPECT_EQ(t.read("dst/" + *name), "Inhalt " + *name);
    EXPECT_NE(lines.find("Hinweis: Die Datei '" + t / ("src/" + *name) + "' wird unkomprimiert gesichert, weil ihr "
                         "Name mit der Endung '.zip' zu lang wäre."),
              std::string::npos)
        << lines;
  }
}

}  // namespace
}  // namespace kalvero
