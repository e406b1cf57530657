// Fails every platform call of a small backup and a small restore in turn
// (each call site found by counting a clean run) and checks that the run
// ends normally, reports what it could not do, never leaves a damaged copy
// under a destination name, never changes a source, and that a clean run
// afterwards repairs everything.
#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "app/SettingsFile.h"
#include "backup/BackupRun.h"
#include "backup/DateLabel.h"
#include "platform/FaultInjection.h"
#include "platform/FileCopy.h"
#include "platform/FileSystem.h"
#include "restore/RestoreRun.h"
#include "support/RecordingReporter.h"
#include "support/TempDir.h"
#include "zip/ZipArchiveLayer.h"

namespace kalvero {
namespace {

namespace fs = std::filesystem;
namespace fault = platform::fault;
using fault::Call;
using test::TempDir;

std::string randomBytes(std::size_t n, unsigned seed) {
  std::mt19937 gen(seed);
  std::string s(n, '\0');
  for (auto& c : s) c = static_cast<char>(gen());
  return s;
}

struct SourceFile {
  std::string rel;
  std::string content;
};

const std::vector<SourceFile>& sourceFiles() {
  static const std::vector<SourceFile> files = {
      {"a.txt", "kurz\n"},
      {"Ordner ä/b.txt", std::string(200000, 'b') + "ende"},
      {"Ordner ä/leer.txt", ""},
      {"c/d/groß.bin", randomBytes(700000, 3)},
      {"c/f.txt", randomBytes(5000, 4)},
  };
  return files;
}

// Reads what a destination name holds: the file itself or the single
// entry of its archive. false when it cannot be read whole.
bool readCopy(const std::string& path, bool compressed, std::string& out) {
  if (!compressed) {
    out = test::readFile(path);
    return true;
  }
  try {
    ZipArchiveLayer zip;
    zip.Open(path, ZipArchiveLayer::OpenExisting);
    if (zip.GetEntryCount() != 1 || !zip.OpenEntry(0)) return false;
    out.clear();
    char buf[65536];
    for (std::size_t n; (n = zip.ReadEntry(buf, sizeof buf)) > 0;) out.append(buf, n);
    bool ok = zip.CloseEntry();
    zip.Close();
    return ok;
  } catch (...) {
    return false;
  }
}

struct FaultCase {
  Call call;
  int error;        // 0: short transfer
  int skip;
  fault::Rule rule() const {
    fault::Rule r;
    r.call = call;
    r.error = error;
    r.skip = skip;
    r.times = error == 0 ? -1 : 1;  // short transfers on every call
    r.shortBy = error == 0 ? 777 : 0;
    return r;
  }
  std::string Describe() const {
    return std::string(fault::callName(call)) + " #" + std::to_string(skip) + " errno " + std::to_string(error);
  }
};

// The errno a call site is failed with besides EINTR.
int hardErrorFor(Call c) {
  switch (c) {
    case Call::Write:
    case Call::Fsync:
    case Call::CopyRange:
    case Call::Close:
      return ENOSPC;
    case Call::Read:
      return EIO;
    case Call::Stat:
    case Call::Open:
      return ENAMETOOLONG;
    default:
      return EACCES;
  }
}

std::map<Call, int> countedCalls() {
  std::map<Call, int> counts;
  for (int c = 0; c < static_cast<int>(Call::Count); ++c) counts[static_cast<Call>(c)] = fault::calls(static_cast<Call>(c));
  return counts;
}

// Up to eight ordinals spread over the count.
std::vector<int> ordinals(int count) {
  std::vector<int> out;
  const int n = std::min(count, 8);
  for (int i = 0; i < n; ++i) out.push_back(static_cast<int>(static_cast<long long>(i) * count / n));
  return out;
}

// Calls whose failure the walk is allowed to take silently (an unreadable
// directory contributes no files).
bool walkMaySwallow(Call c) { return c == Call::OpenDir || c == Call::ReadDir || c == Call::Stat; }

class FaultSweep : public ::testing::TestWithParam<int> {
 protected:
  void SetUp() override {
    for (const auto& f : sourceFiles()) dir.write("src/" + f.rel, f.content);
    dir.mkdir("log");
    dir.mkdir("tmp");
    for (const auto& f : sourceFiles()) {
      auto st = platform::statPath(dir / ("src/" + f.rel));
      ASSERT_TRUE(st);
      mtimes[f.rel] = st->lastWrite;
    }
  }

  bool compressed() const { return GetParam() == 1; }

  BackupOptions options() const {
    BackupOptions o;
    o.Protokolldatei = dir / "log/sicherung.log";
    o.Archivbit = 0;
    o.ArchivbitReset = 1;
    o.Compare = 1;
    o.Compress = compressed() ? 1 : 0;
    o.MitPrueffile = 1;
    o.Prueffile = dir / "pruef.txt";
    o.DeleteZieldatei = 1;
    return o;
  }

  // A backup of src into dst with its own settings and check file; the
  // fault rule (if any) is armed only for the run itself.
  RunTotals backup(const std::string& dst, std::string* log = nullptr, const fault::Rule* rule = nullptr,
                   std::map<Call, int>* counts = nullptr) {
    BackupOptions o = options();
    o.Prueffile = dst + ".pruef";
    JobList jobs{DirPair{1, 1, source.empty() ? dir / "src" : source, dst, {}}};
    // The run reloads its options from the settings file before every pair.
    const std::string ini = dst + ".INI";
    std::string error;
    EXPECT_TRUE(SettingsFile(ini).saveBackupSettings(o, jobs, &error)) << error;
    BackupRunSetup s;
    s.settingsPath = ini;
    s.jobs = jobs;
    s.options = o;
    s.captions = DefaultOptionCaptions(BuildDateLabel(DateFilter{}).text);
    for (int i = 0; i < 4; ++i) s.listFiles[i] = dst + ".list" + std::to_string(i);
    s.versionText = "1,0,0,0";
    std::atomic<int> cancel{0};
    test::RecordingReporter reporter;
    s.cancel = &cancel;
    s.reporter = &reporter;
    BackupRun run(std::move(s));
    {
      fault::Scope scope;
      if (rule) fault::arm(*rule);
      if (counts) fault::countCalls(true);
      run.run();
      if (counts) *counts = countedCalls();
    }
    if (log) *log = reporter.allLines();
    return run.totals();
  }

  // Every copy under a destination name is whole; returns the sources without one.
  std::vector<std::string> checkCopies(const std::string& dst, const std::string& what) {
    std::vector<std::string> missing;
    for (const auto& f : sourceFiles()) {
      const std::string copy = dst + "/" + f.rel + (compressed() ? ".zip" : "");
      if (!fs::exists(copy)) {
        missing.push_back(f.rel);
        continue;
      }
      std::string content;
      EXPECT_TRUE(readCopy(copy, compressed(), content)) << what << ": unreadable copy " << f.rel;
      EXPECT_EQ(content, f.content) << what << ": damaged copy " << f.rel;
    }
    for (auto it = fs::recursive_directory_iterator(dst, fs::directory_options::skip_permission_denied);
         it != fs::recursive_directory_iterator(); ++it) {
      const std::string name = it->path().filename().string();
      if (it->is_regular_file() && !platform::isProgramTemporaryName(name)) {
        EXPECT_NE(name.rfind(".", 0), 0u) << what << ": stray hidden file " << name;
      }
    }
    return missing;
  }

  void checkSourcesUnchanged(const std::string& what) {
    for (const auto& f : sourceFiles()) {
      const std::string p = dir / ("src/" + f.rel);
      EXPECT_EQ(test::readFile(p), f.content) << what << ": source changed " << f.rel;
      auto st = platform::statPath(p);
      ASSERT_TRUE(st) << what << ": source gone " << f.rel;
      EXPECT_EQ(st->lastWrite, mtimes[f.rel]) << what << ": source time changed " << f.rel;
    }
  }

  TempDir dir;
  std::map<std::string, platform::FileTime> mtimes;
  std::string source;  // the pair's source; "" for src
};

// Whether a file below root holds content (plain, or as the single entry of an archive).
bool holds(const std::string& root, const std::string& content) {
  for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator(); ++it) {
    if (!it->is_regular_file() || it->is_symlink()) continue;
    const std::string p = it->path().string();
    std::string out;
    if (readCopy(p, p.size() > 4 && p.compare(p.size() - 4, 4, ".zip") == 0, out) && out == content) return true;
  }
  return false;
}

TEST_P(FaultSweep, BackupSurvivesEveryFailedCall) {
  // A clean run, counting the calls it makes.
  std::map<Call, int> counts;
  RunTotals clean = backup(dir / "zaehlen", nullptr, nullptr, &counts);
  ASSERT_EQ(clean.runErrors, 0);
  ASSERT_TRUE(checkCopies(dir / "zaehlen", "clean run").empty());

  std::vector<FaultCase> cases;
  for (const auto& [call, count] : counts) {
    for (int skip : ordinals(count)) {
      cases.push_back({call, EINTR, skip});
      cases.push_back({call, hardErrorFor(call), skip});
    }
  }
  cases.push_back({Call::Read, 0, 0});
  cases.push_back({Call::Write, 0, 0});
  ASSERT_GT(cases.size(), 20u);

  int index = 0;
  for (const FaultCase& fc : cases) {
    const std::string what = fc.Describe();
    const std::string dst = dir / ("ziel" + std::to_string(index++));
    std::string log;
    const fault::Rule rule = fc.rule();
    RunTotals t = backup(dst, &log, &rule);
    checkSourcesUnchanged(what);
    fs::create_directories(dst);
    std::vector<std::string> missing = checkCopies(dst, what);
    if (fc.error == EINTR || fc.error == 0) {
      // Interrupted calls are retried and short transfers continued.
      EXPECT_EQ(t.runErrors, 0) << what << "\n" << log;
      EXPECT_TRUE(missing.empty()) << what << ": " << missing.size() << " missing\n" << log;
    } else if (!missing.empty() && !walkMaySwallow(fc.call)) {
      EXPECT_GT(t.runErrors, 0) << what << ": files missing but no error reported\n" << log;
    }
    // A clean run afterwards puts every copy in place.
    RunTotals again = backup(dst, &log);
    EXPECT_EQ(again.runErrors, 0) << what << " (clean run afterwards)\n" << log;
    EXPECT_TRUE(checkCopies(dst, what + " (clean run afterwards)").empty()) << what;
    if (HasFailure()) break;  // one case at a time is enough to read
  }
  std::cout << cases.size() << " faults injected into the backup\n";
}

TEST_P(FaultSweep, KindChangesAndLinksSurviveEveryFailedCall) {
  dir.write("aussen/f.txt", "fremd");
  source = dir / "kq";
  // A backup of a file and a folder, then the file becomes a folder and the folder a link elsewhere.
  const auto prepare = [&](const std::string& dst) {
    fs::remove_all(source);
    dir.write("kq/wird-ordner", "alte Datei");
    dir.write("kq/wird-link/innen.txt", "alter Ordner");
    EXPECT_EQ(backup(dst).runErrors, 0);
    fs::remove(source + "/wird-ordner");
    dir.write("kq/wird-ordner/neu.txt", "neu");
    fs::remove_all(source + "/wird-link");
    fs::create_directory_symlink(dir / "aussen", source + "/wird-link");
  };
  std::map<Call, int> counts;
  prepare(dir / "kzaehlen");
  ASSERT_EQ(backup(dir / "kzaehlen", nullptr, nullptr, &counts).runErrors, 0);
  std::vector<FaultCase> cases;
  for (const auto& [call, count] : counts)
    for (int skip : ordinals(count)) cases.push_back({call, hardErrorFor(call), skip});
  int index = 0;
  for (const FaultCase& fc : cases) {
    const std::string what = fc.Describe();
    const std::string dst = dir / ("kziel" + std::to_string(index++));
    prepare(dst);
    std::string log;
    const fault::Rule rule = fc.rule();
    backup(dst, &log, &rule);
    // Nothing written through the link, nothing of the previous backup lost.
    EXPECT_EQ(test::readFile(dir / "aussen/f.txt"), "fremd") << what;
    EXPECT_EQ(fs::directory_iterator(dir / "aussen") == fs::directory_iterator(), false) << what;
    EXPECT_EQ(std::distance(fs::directory_iterator(dir / "aussen"), fs::directory_iterator()), 1) << what << "\n" << log;
    EXPECT_TRUE(holds(dst, "alte Datei")) << what << "\n" << log;
    EXPECT_TRUE(holds(dst, "alter Ordner")) << what << "\n" << log;
    // A clean run afterwards stores the new kinds.
    const RunTotals again = backup(dst, &log);
    EXPECT_EQ(again.runErrors, 0) << what << " (clean run afterwards)\n" << log;
    EXPECT_TRUE(holds(dst + "/wird-ordner", "neu")) << what;
    EXPECT_TRUE(fs::is_symlink(dst + "/wird-link")) << what;
    EXPECT_TRUE(holds(dst, "alte Datei") && holds(dst, "alter Ordner")) << what;
    if (HasFailure()) break;
  }
  std::cout << cases.size() << " faults injected into runs with kind changes\n";
}

TEST_P(FaultSweep, RestoreSurvivesEveryFailedCall) {
  const std::string backupDir = dir / "sicherung";
  ASSERT_EQ(backup(backupDir).runErrors, 0);

  auto restore = [&](const std::string& dst, std::string* log) {
    RestoreRunSetup s;
    s.options.PathSrc = backupDir;
    s.options.PathDst = dst;
    s.options.Protokolldatei = dir / "log/ruecksicherung.log";
    s.options.SubVerz = 1;
    s.options.OnlyByKalvero = 1;
    s.versionText = "1,0,0,0";
    std::atomic<int> cancel{0};
    test::RecordingReporter reporter;
    s.cancel = &cancel;
    s.reporter = &reporter;
    RestoreRun run(std::move(s));
    run.run();
    if (log) *log = reporter.allLines();
    return run.totals();
  };
  auto checkRestored = [&](const std::string& dst, const std::string& what) {
    std::vector<std::string> missing;
    for (const auto& f : sourceFiles()) {
      const std::string p = dst + "/" + f.rel;
      if (!fs::exists(p)) {
        missing.push_back(f.rel);
        continue;
      }
      EXPECT_EQ(test::readFile(p), f.content) << what << ": damaged restored file " << f.rel;
    }
    return missing;
  };

  std::map<Call, int> counts;
  RestoreTotals clean;
  {
    fault::Scope scope;
    fault::countCalls(true);
    clean = restore(dir / "zaehlen", nullptr);
    counts = countedCalls();
  }
  ASSERT_EQ(clean.errors, 0);
  ASSERT_TRUE(checkRestored(dir / "zaehlen", "clean").empty());

  std::vector<FaultCase> cases;
  for (const auto& [call, count] : counts) {
    for (int skip : ordinals(count)) {
      cases.push_back({call, EINTR, skip});
      cases.push_back({call, hardErrorFor(call), skip});
    }
  }
  cases.push_back({Call::Read, 0, 0});
  cases.push_back({Call::Write, 0, 0});

  int index = 0;
  for (const FaultCase& fc : cases) {
    const std::string what = "restore " + fc.Describe();
    const std::string dst = dir / ("zurueck" + std::to_string(index++));
    RestoreTotals t;
    std::string log;
    {
      fault::Scope scope;
      fault::arm(fc.rule());
      t = restore(dst, &log);
    }
    checkSourcesUnchanged(what);
    std::vector<std::string> missing = checkRestored(dst, what);
    if (fc.error == EINTR || fc.error == 0) {
      EXPECT_EQ(t.errors, 0) << what << "\n" << log;
      EXPECT_TRUE(missing.empty()) << what << "\n" << log;
    } else if (!missing.empty() && !walkMaySwallow(fc.call)) {
      EXPECT_GT(t.errors, 0) << what << ": files missing but no error reported\n" << log;
    }
    RestoreTotals again = restore(dst, &log);
    EXPECT_EQ(again.errors, 0) << what << " (clean run afterwards)\n" << log;
    EXPECT_TRUE(checkRestored(dst, what + " (clean run afterwards)").empty());
    if (HasFailure()) break;
  }
  std::cout << cases.size() << " faults injected into the restore\n";
}

INSTANTIATE_TEST_SUITE_P(PlainAndCompressed, FaultSweep, ::testing::Values(0, 1),
                         [](const auto& info) { return info.param ? std::string("Compressed") : std::string("Plain"); });

}  // namespace
}  // namespace kalvero
