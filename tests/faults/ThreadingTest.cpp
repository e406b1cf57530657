// A backup and a restore on worker threads at the same time, each reporting
// to a "window" thread that handles every call while the worker waits (as
// the window does), and cancel requests from that thread. Built under
// ThreadSanitizer in CI, so the hand-over uses only the standard library.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <thread>

#include "app/SettingsFile.h"
#include "backup/BackupRun.h"
#include "backup/DateLabel.h"
#include "restore/RestoreRun.h"
#include "platform/OwnTemporary.h"
#include "platform/RunLock.h"
#include "support/LogText.h"
#include "support/RecordingReporter.h"
#include "support/RunCli.h"
#include "support/TempDir.h"

namespace kalvero {
namespace {

using test::TempDir;

// The window thread: runs handed-over calls one at a time; a worker waits
// until its call has run, so the ProgressInfo it passes needs no lock.
class WindowThread {
 public:
  WindowThread() : thread_([this] { loop(); }) {}
  ~WindowThread() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stop_ = true;
    }
    wake_.notify_all();
    thread_.join();
  }

  void runAndWait(std::function<void()> call) {
    std::mutex doneMutex;
    std::condition_variable doneCv;
    bool done = false;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      queue_.push_back([&] {
        call();
        std::lock_guard<std::mutex> l(doneMutex);
        done = true;
        doneCv.notify_one();
      });
    }
    wake_.notify_one();
    std::unique_lock<std::mutex> l(doneMutex);
    doneCv.wait(l, [&] { return done; });
  }

 private:
  void loop() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
      wake_.wait(lock, [&] { return stop_ || !queue_.empty(); });
      if (queue_.empty()) return;
      auto call = std::move(queue_.front());
      queue_.pop_front();
      lock.unlock();
      call();
      lock.lock();
    }
  }

  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::function<void()>> queue_;
  bool stop_ = false;
  std::thread thread_;
};

// Hands every call of a run to the window thread and waits there, as the
// window's reporter does; page records what reached the window.
class HandOverReporter : public RunReporter {
 public:
  HandOverReporter(WindowThread& window, RunReporter& page) : window_(window), page_(page) {}
  void progress(int code, const ProgressInfo& info) override {
    window_.runAndWait([&] { page_.progress(code, info); });
  }
  void clearLog() override {
    window_.runAndWait([&] { page_.clearLog(); });
  }
  void logLine(const std::string& text) override {
    window_.runAndWait([&] { page_.logLine(text); });
  }
  void selectPair(int row) override {
    window_.runAndWait([&] { page_.selectPair(row); });
  }
  void endOfRunSound() override {
    window_.runAndWait([&] { page_.endOfRunSound(); });
  }

 private:
  WindowThread& window_;
  RunReporter& page_;
};

// A cancel request from the window after this many notifications.
void CancelAfter(test::RecordingReporter& page, std::size_t notifications, std::atomic<int>& cancel) {
  page.onProgress = [&page, notifications, &cancel](int, const ProgressInfo&) {
    if (page.events.size() >= notifications) cancel.store(1);
  };
}

struct Trees {
  TempDir dir;
  Trees() {
    for (int d = 0; d < 4; ++d)
      for (int f = 0; f < 25; ++f)
        dir.write("src/d" + std::to_string(d) + "/f" + std::to_string(f) + ".txt",
                  std::string(static_cast<std::size_t>(1000 + 997 * f), static_cast<char>('a' + f % 26)));
    dir.mkdir("log");
    dir.mkdir("tmp");
    dir.mkdir("restore-src");
    for (int f = 0; f < 40; ++f) dir.write("restore-src/r" + std::to_string(f) + ".dat", std::string(5000, 'r'));
  }

  // markerOnly: only files whose archive marker is set (the walk then reads the copies too).
  BackupRunSetup backupSetup(RunReporter* reporter, std::atomic<int>* cancel, int compress, int markerOnly = 0) {
    BackupOptions o;
    o.Protokolldatei = dir / "log/sicherung.log";
    o.Archivbit = markerOnly;
    o.ArchivbitReset = 0;
    o.Compress = compress;
    o.Compare = 1;
    JobList jobs{DirPair{1, 1, dir / "src", dir / "dst", {}}};
    std::string error;
    EXPECT_TRUE(SettingsFile(dir / "kalvero.INI").saveBackupSettings(o, jobs, &error)) << error;
    BackupRunSetup s;
    s.settingsPath = dir / "kalvero.INI";
    s.jobs = jobs;
    s.options = o;
    s.captions = DefaultOptionCaptions(BuildDateLabel(DateFilter{}).text);
    for (int i = 0; i < 4; ++i) s.listFiles[i] = dir / ("list" + std::to_string(i));
    s.versionText = "1,0,0,0";
    s.cancel = cancel;
    s.reporter = reporter;
    return s;
  }

  RestoreRunSetup restoreSetup(RunReporter* reporter, std::atomic<int>* cancel) {
    RestoreRunSetup s;
    s.options.PathSrc = dir / "restore-src";
    s.options.PathDst = dir / "restored";
    s.options.Protokolldatei = dir / "log/ruecksicherung.log";
    s.versionText = "1,0,0,0";
    s.cancel = cancel;
    s.reporter = reporter;
    return s;
  }
};

TEST(Threading, BackupAndRestoreRunTogetherReportingToOneWindowThread) {
  for (int compress : {0, 1}) {
    Trees t;
    WindowThread window;
    test::RecordingReporter backupPage, restorePage;
    std::atomic<int> backupCancel{0}, restoreCancel{0};
    HandOverReporter backupReporter(window, backupPage);
    HandOverReporter restoreReporter(window, restorePage);

    BackupRun backup(t.backupSetup(&backupReporter, &backupCancel, compress));
    RestoreRun restore(t.restoreSetup(&restoreReporter, &restoreCancel));
    std::thread b([&] { backup.run(); });
    std::thread r([&] { restore.run(); });
    b.join();
    r.join();

    EXPECT_EQ(backup.totals().runErrors, 0);
    EXPECT_EQ(backup.totals().copied, 100);
    EXPECT_EQ(restore.errors(), 0);
    std::size_t notifications = 0;
    window.runAndWait([&] { notifications = backupPage.events.size() + restorePage.events.size(); });
    EXPECT_GT(notifications, 100u);
  }
}

TEST(Threading, CancelFromTheWindowThreadEndsBothRunsInOrder) {
  Trees t;
  WindowThread window;
  test::RecordingReporter backupPage, restorePage;
  std::atomic<int> backupCancel{0}, restoreCancel{0};
  CancelAfter(backupPage, 30, backupCancel);
  CancelAfter(restorePage, 3, restoreCancel);
  HandOverReporter backupReporter(window, backupPage);
  HandOverReporter restoreReporter(window, restorePage);

  BackupRun backup(t.backupSetup(&backupReporter, &backupCancel, 0));
  RestoreRun restore(t.restoreSetup(&restoreReporter, &restoreCancel));
  std::thread b([&] { backup.run(); });
  std::thread r([&] { restore.run(); });
  b.join();
  r.join();

  EXPECT_TRUE(backup.totals().cancelled);
  EXPECT_LT(backup.totals().copied, 100);
  EXPECT_TRUE(restore.cancelled());
  // The run log of the interrupted pair says so.
  EXPECT_NE(t.dir.read("log/sicherung.log").find("***   Das Sichern wurde abgebrochen!   ***"), std::string::npos);
}

// The number of threads a run uses, set as the user sets it.
struct ThreadCount {
  explicit ThreadCount(const char* n) { setenv("KALVERO_THREADS", n, 1); }
  ~ThreadCount() { unsetenv("KALVERO_THREADS"); }
};

TEST(Threading, AFileReplacedByAFifoOrALinkAfterTheWalkNeverHangsTheRun) {
  for (const char* threads : {"1", "4"}) {
    for (int compress : {0, 1}) {
      SCOPED_TRACE(std::string(threads) + " threads, compress " + std::to_string(compress));
      Trees t;
      t.dir.write("geheim", "nicht in die Sicherung");
      ThreadCount count(threads);
      test::RecordingReporter page;
      std::atomic<int> cancel{0};
      // Between the walk and the copies: one file becomes a FIFO no one writes to, one a link.
      page.onProgress = [&t](int code, const ProgressInfo&) {
        if (code != NOTIFY_FILES_FOUND || t.dir.exists("src/d1/f3.txt.weg")) return;
        std::filesystem::rename(t.dir / "src/d1/f3.txt", t.dir / "src/d1/f3.txt.weg");
        ASSERT_EQ(::mkfifo((t.dir / "src/d1/f3.txt").c_str(), 0600), 0);
        std::filesystem::remove(t.dir / "src/d2/f4.txt");
        std::filesystem::create_symlink(t.dir / "geheim", t.dir / "src/d2/f4.txt");
      };
      BackupRun backup(t.backupSetup(&page, &cancel, compress));
      backup.run();
      const std::string lines = test::joined(page.lines);
      EXPECT_GE(backup.totals().runErrors, 1) << lines;
      EXPECT_GE(backup.totals().copied, 98) << lines;
      EXPECT_NE(lines.find("ist keine gewöhnliche Datei mehr"), std::string::npos) << lines;
      EXPECT_NE(lines.find(t.dir / "src/d1/f3.txt"), std::string::npos) << lines;
      // Nothing was read through the link, and no FIFO went into the backup.
      for (const auto& e : std::filesystem::recursive_directory_iterator(t.dir / "dst")) {
        EXPECT_TRUE(e.is_directory() || e.is_regular_file()) << e.path();
        if (e.is_regular_file() && !compress) {
          EXPECT_NE(test::readFile(e.path().string()), "nicht in die Sicherung");
        }
      }
      EXPECT_FALSE(t.dir.exists("dst/d1/f3.txt") || t.dir.exists("dst/d1/f3.txt.zip"));
      EXPECT_FALSE(t.dir.exists("dst/d2/f4.txt.zip"));
    }
  }
}

// The copies are made and put in place on the walk's word that nothing has
// their names; what comes there since (a read-only file, a folder, a link)
// is seen when the copy would take its name, as it is on one thread.
TEST(Threading, NamesThatComeToTheCopiesAfterTheWalkEndAsOnOneThread) {
  std::set<std::string> oneThread;
  for (const char* threads : {"1", "4"}) {
    SCOPED_TRACE(std::string(threads) + " threads");
    Trees t;
    ThreadCount count(threads);
    test::RecordingReporter page;
    std::atomic<int> cancel{0};
    page.onProgress = [&t](int code, const ProgressInfo&) {
      if (code != NOTIFY_FILES_FOUND || t.dir.exists("dst/d3/f21.txt")) return;
      const std::string old = t.dir.write("dst/d3/f20.txt", "von jemand anderem");
      ASSERT_EQ(::chmod(old.c_str(), 0444), 0);
      t.dir.write("dst/d3/f21.txt/drin", "ein Ordner im Weg");
      ASSERT_EQ(::symlink("f20.txt", (t.dir / "dst/d3/f22.txt").c_str()), 0);
    };
    BackupRun backup(t.backupSetup(&page, &cancel, 0, 1));
    backup.run();
    EXPECT_EQ(backup.totals().runErrors, 0) << test::joined(page.lines);
    EXPECT_EQ(t.dir.read("dst/d3/f20.txt"), t.dir.read("src/d3/f20.txt"));
    EXPECT_EQ(t.dir.read("dst/d3/f21.txt"), t.dir.read("src/d3/f21.txt"));
    EXPECT_EQ(t.dir.read("dst/d3/f22.txt"), t.dir.read("src/d3/f22.txt"));
    // The folder and the link are kept aside under the same names in both runs; nothing else differs.
    std::set<std::string> tree;
    for (const auto& e : std::filesystem::recursive_directory_iterator(t.dir / "dst"))
      tree.insert(e.path().lexically_relative(t.dir / "dst").string() + (e.is_directory() ? "/" : ""));
    EXPECT_TRUE(std::any_of(tree.begin(), tree.end(), [](const std::string& name) {
      return name.rfind("d3/f21.txt (", 0) == 0 && name.ends_with(")/drin");
    }));
    EXPECT_TRUE(std::any_of(tree.begin(), tree.end(), [](const std::string& name) {
      return name.rfind("d3/f22.txt (", 0) == 0 && name.ends_with(")");
    }));
    if (oneThread.empty()) oneThread = tree;
    EXPECT_EQ(tree, oneThread);
  }
}

TEST(Threading, ASecondRunIntoOneDestinationIsNotStarted) {
  Trees t;
  // Another run writes into the destination now (the timer's backup, a restore
  // into that tree); the runs here share its runtime directory, as one user's do.
  t.dir.mkdir("laufzeit");
  ASSERT_EQ(chmod((t.dir / "laufzeit").c_str(), 0700), 0);
  setenv("XDG_RUNTIME_DIR", (t.dir / "laufzeit").c_str(), 1);
  platform::RunLock other;
  ASSERT_EQ(other.add(t.dir / "dst"), platform::RunLock::Result::Held);

  test::RecordingReporter page;
  std::atomic<int> cancel{0};
  BackupRun backup(t.backupSetup(&page, &cancel, 1));
  backup.run();
  EXPECT_NE(backup.totals().busyLine.find("wird gerade von einem anderen Lauf"), std::string::npos);
  EXPECT_EQ(test::joined(page.lines), backup.totals().busyLine + "\r\n");
  EXPECT_EQ(backup.totals().copied, 0);
  EXPECT_FALSE(t.dir.exists("dst"));

  RestoreRunSetup intoIt = t.restoreSetup(&page, &cancel);
  intoIt.options.PathDst = t.dir / "dst/unter";  // a tree inside it
  RestoreRun restore(intoIt);
  restore.run();
  EXPECT_TRUE(restore.totals().refusedBeforeStart);
  EXPECT_NE(restore.totals().busyLine.find("wird gerade von einem anderen Lauf"), std::string::npos);
  EXPECT_FALSE(t.dir.exists("dst"));

  // kalvero-cli: exit status 2 and the line on stderr.
  const test::CliResult cli = test::RunCli(t.dir, "--ini " + t.dir / "kalvero.INI" + " backup",
                                           "XDG_RUNTIME_DIR='" + t.dir / "laufzeit" + "'");
  EXPECT_EQ(cli.status, 2) << cli.out << cli.err;
  EXPECT_NE(cli.err.find("wird gerade von einem anderen Lauf"), std::string::npos) << cli.err;
  EXPECT_FALSE(t.dir.exists("dst"));

  // Once the other run has ended, this one runs.
  other.release();
  BackupRun later(t.backupSetup(&page, &cancel, 1));
  later.run();
  EXPECT_TRUE(later.totals().busyLine.empty());
  EXPECT_EQ(later.totals().copied, 100);
  unsetenv("XDG_RUNTIME_DIR");
}

TEST(Threading, ACompleteRunRemovesWhatAKilledRunLeft) {
  Trees t;
  test::RecordingReporter page;
  std::atomic<int> cancel{0};
  {
    BackupRun first(t.backupSetup(&page, &cancel, 1));
    first.run();
  }
  // What a kill leaves: the workers' hidden archives, a half copy, a user's look-alike.
  std::vector<std::string> left;
  for (const char* name : {"dst/d0/f1.txt.zip", "dst/d0/f2.txt.zip", "dst/d3/f9.txt"}) {
    left.push_back(platform::ownTemporaryBeside(t.dir / name));
    t.dir.write(left.back().substr(t.dir.path().size() + 1), "halb");
  }
  t.dir.write("dst/d0/.f1.txt.zip.kalvero-abcdef", "eigen");
  // The next run copies into d0 and d3 again and sweeps each first.
  BackupRun next(t.backupSetup(&page, &cancel, 1));
  next.run();
  EXPECT_EQ(next.totals().runErrors, 0) << test::joined(page.lines);
  for (const std::string& path : left) EXPECT_FALSE(std::filesystem::exists(path)) << path;
  EXPECT_EQ(t.dir.read("dst/d0/.f1.txt.zip.kalvero-abcdef"), "eigen");
  EXPECT_NE(test::joined(page.lines).find("3 unfertige Zwischendateien"), std::string::npos) << test::joined(page.lines);
}

}  // namespace
}  // namespace kalvero
