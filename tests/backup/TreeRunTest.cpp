// A backup of a Linux tree with every kind of entry: links as links,
// directories (empty ones too) with their modes and times, special files
// named, unreadable directories and vanished files said, and no backup onto
// a drive that is not plugged in.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <map>
#include <regex>
#include <set>

#include <gtest/gtest.h>

#include "app/SettingsFile.h"
#include "backup/BackupRun.h"
#include "backup/DateLabel.h"
#include "platform/FaultInjection.h"
#include "platform/FileSystem.h"
#include "platform/OwnTemporary.h"
#include "run/DatedFolders.h"
#include "support/OrdinaryUser.h"
#include "support/RecordingReporter.h"
#include "support/TempDir.h"

namespace kalvero {
namespace {

using test::TempDir;

using test::linkText;
using test::lstatOf;

class TreeRun : public ::testing::TestWithParam<int> {
 protected:
  void SetUp() override {
    t.mkdir("log");
    t.mkdir("tmp");
    for (int i = 0; i < 4; ++i) lists[i] = t.write("lists/" + std::to_string(i) + ".TMP", "");
  }

  RunTotals backup(const JobList& jobs, test::RecordingReporter& rep) {
    BackupOptions o;
    o.Protokolldatei = t / "log/run.log";
    o.MitPrueffile = marker ? 0 : 1;
    o.Prueffile = t / "pruef.chk";
    o.Compress = compress < 0 ? GetParam() : compress;
    o.Compare = 1;
    o.Archivbit = marker;  // without it the check file alone decides what is unchanged
    o.SubVerzDatum = dated;
    o.DatumVollstaendig = complete;
    const std::string ini = t / "kalvero.INI";
    std::string error;
    EXPECT_TRUE(SettingsFile(ini).saveBackupSettings(o, jobs, &error)) << error;
    BackupRunSetup s;
    s.settingsPath = ini;
    s.jobs = jobs;
    s.options = o;
    s.captions = DefaultOptionCaptions(BuildDateLabel(DateFilter{}).text);
    s.listFiles = lists;
    s.versionText = "1,0,0,0";
    s.reporter = &rep;
    s.cancel = cancel;
    BackupRun run(std::move(s));
    run.run();
    return run.totals();
  }
  RunTotals backup(test::RecordingReporter& rep) { return backup({DirPair{1, 1, t / "q", t / "z", {}}}, rep); }

  std::string copyOf(const std::string& rel) const { return t / ("z/" + rel + (GetParam() ? ".zip" : "")); }

  TempDir t;
  std::array<std::string, 4> lists;
  int compress = -1;  // -1: as the test's parameter
  int marker = 0;     // 1: the archive marker instead of the check file, as "pairs add" sets it
  int dated = 0;      // the date subdirectory
  int complete = 0;   // with it, every dated folder a complete state
  std::atomic<int>* cancel = nullptr;
};

// The number of threads a run uses, set as the user sets it.
struct Threads {
  explicit Threads(const char* n) { setenv("KALVERO_THREADS", n, 1); }
  ~Threads() { unsetenv("KALVERO_THREADS"); }
};

// Every entry below root: files with their bytes, links with "-> target", directories with "/".
std::map<std::string, std::string> treeOf(const std::string& root) {
  namespace fs = std::filesystem;
  std::map<std::string, std::string> out;
  for (auto& e : fs::recursive_directory_iterator(root)) {
    const std::string rel = fs::relative(e.path(), root).string();
    if (e.is_symlink())
      out[rel] = "-> " + linkText(e.path().string());
    else if (e.is_directory())
      out[rel] = "/";
    else
      out[rel] = test::readFile(e.path().string());
  }
  return out;
}

// The names in dir that begin with prefix.
std::vector<std::string> namesStartingWith(const std::string& dir, const std::string& prefix) {
  std::vector<std::string> out;
  for (auto& e : std::filesystem::directory_iterator(dir)) {
    const std::string name = e.path().filename().string();
    if (name.rfind(prefix, 0) == 0) out.push_back(name);
  }
  std::sort(out.begin(), out.end());
  return out;
}

// The checksum list of a destination folder, its lines and sha256sum's own check of it.
std::string listOf(const std::string& folder) { return test::readFile(folder + "/Kalvero-Pruefsummen.sha256"); }
bool sha256sumPasses(const std::string& folder) {
  return std::system(("cd '" + folder + "' && sha256sum -c --quiet --strict Kalvero-Pruefsummen.sha256").c_str()) == 0;
}
// The lines of list that differ from those of before (either way).
std::vector<std::string> changedLines(const std::string& before, const std::string& list) {
  auto split = [](const std::string& text) {
    std::set<std::string> out;
    for (std::size_t at = 0, end; (end = text.find('\n', at)) != std::string::npos; at = end + 1)
      out.insert(text.substr(at, end - at));
    return out;
  };
  const std::set<std::string> a = split(before), b = split(list);
  std::vector<std::string> out;
  std::set_symmetric_difference(a.begin(), a.end(), b.begin(), b.end(), std::back_inserter(out));
  return out;
}

TEST_P(TreeRun, EveryKindOfEntry) {
  t.write("q/privat.txt", "geheim");
  chmod((t / "q/privat.txt").c_str(), 0600);
  t.write("q/bin/skript", "#!/bin/sh\n");
  chmod((t / "q/bin/skript").c_str(), 0755);
  t.mkdir("q/leer");
  t.mkdir("q/eigen");
  chmod((t / "q/eigen").c_str(), 0700);
  t.mkdir("q/bin/tiefer/leer");
  const std::vector<std::pair<std::string, std::string>> links{{"q/zur-datei", "privat.txt"},
                                                               {"q/zum-verz", "bin"},
                                                               {"q/bin/haengt", "../nirgends"},
                                                               {"q/kreis", "kreis"},
                                                               {"q/wurzel", "/"},
                                                               {"q/zum-ziel", t / "z"},
                                                               {"q/lang", std::string(4095, 'l')}};
  for (const auto& [name, target] : links) ASSERT_EQ(symlink(target.c_str(), (t / name).c_str()), 0);
  ASSERT_EQ(mkfifo((t / "q/bin/rohr").c_str(), 0600), 0);
  const struct timespec times[2] = {{1500000000, 0}, {1600000000, 123}};
  for (const char* d : {"q/eigen", "q/leer", "q/bin"}) ASSERT_EQ(utimensat(AT_FDCWD, (t / d).c_str(), times, 0), 0);

  test::RecordingReporter rep;
  RunTotals r = backup(rep);
  EXPECT_EQ(r.runErrors, 0) << rep.allLines();
  EXPECT_EQ(r.copied, 2 + static_cast<int>(links.size()));
  // Links are links, with the target text unchanged, in every mode; nothing they point to was copied.
  for (const auto& [name, target] : links) EXPECT_EQ(linkText(t / ("z" + name.substr(1))), target) << name;
  EXPECT_FALSE(t.exists("z/zum-verz.zip"));
  EXPECT_EQ(lstatOf(copyOf("privat.txt")).st_mode & 0777, 0600u);
  // Directories, empty ones too, with the source's mode and time (set after their content).
  for (const char* d : {"leer", "eigen", "bin", "bin/tiefer/leer"}) {
    EXPECT_TRUE(S_ISDIR(lstatOf(t / "z/" + d).st_mode)) << d;
  }
  EXPECT_EQ(lstatOf(t / "z/eigen").st_mode & 07777, 0700u);
  EXPECT_EQ(lstatOf(t / "z/bin").st_mtim.tv_sec, 1600000000);
  EXPECT_EQ(lstatOf(t / "z/leer").st_mtim.tv_nsec, 123);
  // The FIFO is named (not an error), never opened, never copied.
  const std::string fifoLine = "Spezialdatei (kein Inhalt zum Sichern): '" + t / "q/bin/rohr" + "'\r\n";
  EXPECT_NE(t.read("log/run.log").find(fifoLine), std::string::npos);
  EXPECT_NE(rep.allLines().find(fifoLine), std::string::npos);
  EXPECT_NE(t.read("lists/3.TMP").find(t / "q/bin/rohr"), std::string::npos);
  EXPECT_FALSE(t.exists("z/bin/rohr"));
  // Links are in the copied lists and the check file, so the next run skips them.
  EXPECT_NE(t.read("lists/0.TMP").find(t / "q/zur-datei"), std::string::npos);
  EXPECT_NE(t.read("pruef.chk").find(t / "z/zur-datei|"), std::string::npos);
  test::RecordingReporter again;
  r = backup(again);
  EXPECT_EQ(r.runErrors, 0) << again.allLines();
  EXPECT_EQ(r.copied, 0);
  EXPECT_EQ(r.runSkipped, 2 + static_cast<int>(links.size()));

  if (test::runningAsRoot()) {
    // Owners are kept as root, for copies, archives' plain neighbours, links and directories.
    ASSERT_EQ(lchown((t / "q/zur-datei").c_str(), 4321, 8765), 0);
    ASSERT_EQ(chown((t / "q/eigen").c_str(), 4321, 8765), 0);
    ASSERT_EQ(chown((t / "q/privat.txt").c_str(), 4321, 8765), 0);
    t.write("q/privat.txt", "geändert");  // an owner change alone is not a change to the check file
    test::RecordingReporter third;
    backup(third);
    EXPECT_EQ(lstatOf(t / "z/eigen").st_uid, 4321u);
    EXPECT_EQ(lstatOf(t / "z/eigen").st_gid, 8765u);
    if (!GetParam()) {
      EXPECT_EQ(lstatOf(t / "z/privat.txt").st_uid, 4321u);
    }
  }
}

TEST_P(TreeRun, UnreadableDirectoryAndVanishedFileAreNamedAndCounted) {
  t.write("q/a.txt", "a");
  t.write("q/weg.txt", "w");
  t.write("q/zu/b.txt", "b");
  test::RecordingReporter rep;
  rep.onProgress = [&](int code, const ProgressInfo&) {
    if (code == NOTIFY_FILES_FOUND) unlink((t / "q/weg.txt").c_str());  // gone between the walk and its copy
  };
  platform::fault::Scope scope;
  platform::fault::arm({platform::fault::Call::OpenDir, EACCES, 0, -1, "/q/zu"});
  const RunTotals r = backup(rep);
  EXPECT_EQ(r.runErrors, 2) << rep.allLines();
  const std::string log = t.read("log/run.log");
  EXPECT_NE(log.find("Das Verzeichnis '" + t / "q/zu" + "' kann nicht gelesen werden; was darin liegt, wird nicht "
                     "gesichert.  Fehlernummer = 13"),
            std::string::npos)
      << log;
  EXPECT_NE(log.find("Die Datei '" + t / "q/weg.txt" + "' ist seit der Suche nach den Dateien verschwunden"),
            std::string::npos)
      << log;
  EXPECT_TRUE(t.exists(GetParam() ? "z/a.txt.zip" : "z/a.txt"));
}

TEST_P(TreeRun, PairOntoAnUnpluggedDriveIsLeftOutTheNextRuns) {
  t.write("q/a.txt", "a");
  t.mkdir("media/anna");
  ASSERT_EQ(setenv("KALVERO_MOUNT_ROOTS", (t / "media/*").c_str(), 1), 0);
  test::RecordingReporter rep;
  const RunTotals r = backup(
      {DirPair{1, 1, t / "q", t / "media/anna/STICK/Sicherung", {}}, DirPair{1, 1, t / "q", t / "z", {}}}, rep);
  unsetenv("KALVERO_MOUNT_ROOTS");
  EXPECT_EQ(r.runErrors, 1);
  EXPECT_EQ(r.copied, 1);
  EXPECT_FALSE(t.exists("media/anna/STICK"));
  const std::string line = "Das Ziel '" + t / "media/anna/STICK/Sicherung" +
                           "' liegt auf einem Laufwerk, das nicht eingehängt ist; das Paar wird nicht gesichert.\r\n";
  EXPECT_NE(t.read("log/run.log").find(line), std::string::npos);
  EXPECT_NE(rep.allLines().find(line), std::string::npos);
}

TEST_P(TreeRun, DestinationWithoutLinksXattrsOrOwners) {
  t.write("q/a.txt", "a");
  t.mkdir("q/verz");
  ASSERT_EQ(symlink("a.txt", (t / "q/lnk").c_str()), 0);
  const bool xattrs = setxattr((t / "q/a.txt").c_str(), "user.farbe", "rot", 3, 0) == 0;
  platform::fault::Scope scope;
  // symlink() fails with EPERM there (vfat), xattrs are refused, owners cannot be given.
  platform::fault::arm({platform::fault::Call::Open, EPERM, 0, -1, "/.lnk.kalvero-"});
  platform::fault::arm({platform::fault::Call::SetXattr, ENOTSUP, 0, -1, ""});
  platform::fault::arm({platform::fault::Call::Chown, EPERM, 0, -1, ""});
  test::RecordingReporter rep;
  const RunTotals r = backup(rep);
  EXPECT_EQ(r.runErrors, 1) << rep.allLines();  // only the link is lost
  EXPECT_EQ(r.notCopied, 1);
  const std::string log = t.read("log/run.log");
  EXPECT_NE(log.find("Der symbolische Link '" + t / "q/lnk" + "' kann nicht als Link nach '" + t / "z/lnk" +
                     "' gesichert werden.  Fehlernummer = 1"),
            std::string::npos)
      << log;
  auto count = [&](const std::string& what) {
    std::size_t n = 0;
    for (std::size_t p = 0; (p = log.find(what, p)) != std::string::npos; ++p) ++n;
    return n;
  };
  EXPECT_EQ(count("Hinweis: Erweiterte Attribute"), xattrs && !GetParam() ? 1u : 0u);  // archives carry none
  EXPECT_EQ(count("Hinweis: Besitzer oder Gruppe"), test::runningAsRoot() ? 1u : 0u);
  EXPECT_TRUE(t.exists(GetParam() ? "z/a.txt.zip" : "z/a.txt"));
  EXPECT_TRUE(t.exists("z/verz"));
}

TEST_P(TreeRun, ReadOnlySourceDirectoryTakesChangedAndNewFilesAtTheNextRun) {
  // As a module cache: a directory without write bits, copied with its mode.
  t.write("q/mod/alt.txt", "alt");
  t.write("q/mod/tief/x.txt", "x");
  ASSERT_EQ(chmod((t / "q/mod/tief").c_str(), 0555), 0);
  ASSERT_EQ(chmod((t / "q/mod").c_str(), 0555), 0);
  const int errors = test::RunAsOrdinaryUser(t.path(), [&] {
    test::RecordingReporter first, second;
    const int before = backup(first).runErrors;
    // The user changes the source (the run never does).
    chmod((t / "q/mod").c_str(), 0755);
    chmod((t / "q/mod/tief").c_str(), 0755);
    t.write("q/mod/alt.txt", "geändert");
    t.write("q/mod/neu.txt", "neu");
    t.write("q/mod/tief/neu/y.txt", "y");
    chmod((t / "q/mod/tief").c_str(), 0555);
    chmod((t / "q/mod").c_str(), 0555);
    const int after = backup(second).runErrors;
    if (before + after) std::fprintf(stderr, "%s%s", first.allLines().c_str(), second.allLines().c_str());
    return std::min(before + after, 100);
  });
  if (errors == test::kNoOrdinaryUser) GTEST_SKIP() << "the backup cannot be run as an ordinary user (nobody) here";
  EXPECT_EQ(errors, 0);
  EXPECT_TRUE(t.exists(GetParam() ? "z/mod/neu.txt.zip" : "z/mod/neu.txt"));
  EXPECT_TRUE(t.exists(GetParam() ? "z/mod/tief/neu/y.txt.zip" : "z/mod/tief/neu/y.txt"));
  if (!GetParam()) {
    EXPECT_EQ(t.read("z/mod/alt.txt"), "geändert");
  }
  // The copies have the source's modes again, and the source kept its own.
  for (const char* d : {"mod", "mod/tief"}) {
    EXPECT_EQ(lstatOf(t / "z/" + d).st_mode & 07777, 0555u) << d;
    EXPECT_EQ(lstatOf(t / "q/" + d).st_mode & 07777, 0555u) << d;
  }
}

TEST_P(TreeRun, NothingIsWrittenThroughALinkInTheDestination) {
  for (const char* threads : {"1", "4"}) {
    SCOPED_TRACE(threads);
    Threads n(threads);
    t.write("aussen/notes.txt", "fremd");
    t.write("q/x.txt", "x");
    ASSERT_EQ(symlink((t / "aussen").c_str(), (t / "q/data").c_str()), 0);
    test::RecordingReporter first;
    EXPECT_EQ(backup(first).runErrors, 0) << first.allLines();
    EXPECT_EQ(linkText(t / "z/data"), t / "aussen");
    const auto outside = treeOf(t / "aussen");
    // The user replaces the link by a real folder: its copy must never go through the stored link.
    ASSERT_EQ(unlink((t / "q/data").c_str()), 0);
    t.write("q/data/notes.txt", "eigene Notizen");
    t.write("q/data/tief/mehr.txt", "mehr");
    test::RecordingReporter second;
    EXPECT_EQ(backup(second).runErrors, 0) << second.allLines();
    EXPECT_EQ(treeOf(t / "aussen"), outside);
    EXPECT_TRUE(S_ISDIR(lstatOf(t / "z/data").st_mode));
    EXPECT_TRUE(std::filesystem::exists(copyOf("data/tief/mehr.txt")));
    // The stored link is only our copy of one: it is kept beside under its kept name.
    const auto kept = namesStartingWith(t / "z", "data (Verknüpfung bis ");
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_EQ(linkText(t / "z/" + kept[0]), t / "aussen");
    EXPECT_NE(t.read("log/run.log").find("die bisherige Sicherung bleibt als '" + t / "z/" + kept[0]), std::string::npos);
    std::filesystem::remove_all(t / "q");
    std::filesystem::remove_all(t / "z");
    std::filesystem::remove_all(t / "aussen");
    std::filesystem::remove(t / "pruef.chk");
  }
}

TEST_P(TreeRun, AFolderReplacedByALinkDuringTheRunIsNeverFollowed) {
  for (const char* threads : {"1", "4"}) {
    SCOPED_TRACE(threads);
    Threads n(threads);
    t.write("q/sub/tief/f.txt", "eigen");
    t.write("q/sub/g.txt", "eigen");
    t.write("aussen/tief/f.txt", "fremd");
    t.write("aussen/g.txt", "fremd");
    test::RecordingReporter rep;
    rep.onProgress = [&](int code, const ProgressInfo&) {
      if (code != NOTIFY_FILES_FOUND) return;
      // Between the walk and the copies a folder on the files' way becomes a link elsewhere.
      std::filesystem::rename(t / "q/sub", t / "alt-sub");
      ASSERT_EQ(symlink((t / "aussen").c_str(), (t / "q/sub").c_str()), 0);
    };
    const RunTotals r = backup(rep);
    EXPECT_GE(r.runErrors, 2) << rep.allLines();
    for (const char* rel : {"sub/tief/f.txt", "sub/g.txt"})
      EXPECT_FALSE(std::filesystem::exists(copyOf(rel))) << rel;
    EXPECT_NE(rep.allLines().find("wird nicht gesichert: der Eintrag oder ein Verzeichnis auf seinem Weg"),
              std::string::npos);
    for (const char* d : {"q", "z", "aussen", "alt-sub"}) std::filesystem::remove_all(t / d);
    std::filesystem::remove(t / "pruef.chk");
  }
}

// The same in the destination: a folder the run made for the workers,
// replaced by a link before the run's turn comes to it, is kept aside and
// made again; nothing goes through the link, no copy and no archive.
TEST_P(TreeRun, ADestinationFolderReplacedByALinkDuringTheRunIsNeverWrittenThrough) {
  Threads n("4");
  for (const char* d : {"eins", "zwei"})
    for (int i = 0; i < 20; ++i) t.write("q/" + std::string(d) + "/f" + std::to_string(i), d + std::to_string(i));
  t.write("aussen/f.txt", "fremd");
  const auto outside = treeOf(t / "aussen");
  std::string swapped;
  test::RecordingReporter rep;
  rep.onProgress = [&](int code, const ProgressInfo& info) {
    if (code != (GetParam() ? NOTIFY_COMPRESSING : NOTIFY_COPYING) || !swapped.empty()) return;
    // The folder the run has not come to yet.
    swapped = info.currentDestination.find("/z/eins/") != std::string::npos ? "zwei" : "eins";
    if (!std::filesystem::is_directory(t / ("z/" + swapped))) return;
    std::filesystem::rename(t / ("z/" + swapped), t / "alt");
    ASSERT_EQ(symlink((t / "aussen").c_str(), (t / ("z/" + swapped)).c_str()), 0);
  };
  EXPECT_EQ(backup(rep).runErrors, 0) << rep.allLines();
  ASSERT_TRUE(std::filesystem::is_directory(t / "alt")) << swapped;
  EXPECT_EQ(treeOf(t / "aussen"), outside);
  for (const char* d : {"eins", "zwei"})
    for (int i = 0; i < 20; ++i) {
      const std::string rel = std::string(d) + "/f" + std::to_string(i);
      if (GetParam())
        EXPECT_TRUE(S_ISREG(lstatOf(copyOf(rel)).st_mode)) << rel;
      else
        EXPECT_EQ(t.read("z/" + rel), d + std::to_string(i)) << rel;
    }
  EXPECT_EQ(namesStartingWith(t / "z", swapped + " (Verknüpfung bis ").size(), 1u);
}

TEST_P(TreeRun, TwoPairsMeetingAtALinkNeverWriteThroughIt) {
  t.write("aussen/f.txt", "fremd");
  t.mkdir("q1");
  ASSERT_EQ(symlink((t / "aussen").c_str(), (t / "q1/x").c_str()), 0);
  t.write("q2/x/f.txt", "aus Paar 2");
  const auto outside = treeOf(t / "aussen");
  test::RecordingReporter rep;
  const RunTotals r =
      backup({DirPair{1, 1, t / "q1", t / "z", {}}, DirPair{1, 1, t / "q2", t / "z", {}}}, rep);
  EXPECT_EQ(treeOf(t / "aussen"), outside);
  EXPECT_EQ(linkText(t / "z/x"), t / "aussen");  // pair 1's link stays; pair 2's folder is an error
  EXPECT_GE(r.runErrors, 1) << rep.allLines();
}

TEST_P(TreeRun, AFolderThatBecameAFileAndBackKeepsThePreviousCopy) {
  for (const char* threads : {"1", "4"}) {
    SCOPED_TRACE(threads);
    Threads n(threads);
    t.write("q/d", "die Datei");
    t.write("q/e.txt", "e");
    test::RecordingReporter first, second, third, fourth;
    EXPECT_EQ(backup(first).runErrors, 0) << first.allLines();
    // A file that became a folder: stored as a folder, the file's copy kept beside it.
    ASSERT_EQ(unlink((t / "q/d").c_str()), 0);
    t.write("q/d/innen.txt", "im Ordner");
    EXPECT_EQ(backup(second).runErrors, 0) << second.allLines();
    EXPECT_TRUE(S_ISDIR(lstatOf(t / "z/d").st_mode));
    EXPECT_TRUE(std::filesystem::exists(copyOf("d/innen.txt")));
    EXPECT_FALSE(t.exists("z/d.zip"));
    auto kept = namesStartingWith(t / "z", "d (Datei bis ");
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_EQ(t.read("z/" + kept[0]), "die Datei");  // an archive is kept as the plain file it held
    // And back: the folder's copy is kept, the file stored.
    std::filesystem::remove_all(t / "q/d");
    t.write("q/d", "wieder eine Datei");
    EXPECT_EQ(backup(third).runErrors, 0) << third.allLines();
    EXPECT_TRUE(S_ISREG(lstatOf(copyOf("d")).st_mode));
    if (GetParam()) {
      EXPECT_FALSE(t.exists("z/d"));
    }
    kept = namesStartingWith(t / "z", "d (Ordner bis ");
    ASSERT_EQ(kept.size(), 1u);
    // Archives in the kept folder become the plain files they hold: the restore gives them back there.
    EXPECT_EQ(t.read("z/" + kept[0] + "/innen.txt"), "im Ordner");
    EXPECT_FALSE(t.exists("z/" + kept[0] + "/innen.txt.zip"));
    // The next run is clean and copies nothing again.
    const RunTotals r = backup(fourth);
    EXPECT_EQ(r.runErrors, 0) << fourth.allLines();
    EXPECT_EQ(r.copied, 0) << fourth.allLines();
    std::filesystem::remove_all(t / "q");
    std::filesystem::remove_all(t / "z");
    std::filesystem::remove(t / "pruef.chk");
  }
}

TEST_P(TreeRun, SwitchingCompressionLeavesOneFormOfEachFile) {
  for (const char* threads : {"1", "4"}) {
    SCOPED_TRACE(threads);
    Threads n(threads);
    t.write("q/a.txt", "a");
    t.write("q/w", "w");
    t.write("q/unter/b.txt", "b");
    test::RecordingReporter first, second, third, fourth;
    compress = GetParam();
    EXPECT_EQ(backup(first).runErrors, 0) << first.allLines();
    compress = !GetParam();
    t.write("q/a.txt", "a, geändert");
    t.write("q/unter/b.txt", "b, geändert");
    EXPECT_EQ(backup(second).runErrors, 0) << second.allLines();
    for (const std::string name : {"z/a.txt", "z/unter/b.txt"}) {
      EXPECT_TRUE(t.exists(compress ? name + ".zip" : name)) << name;
      EXPECT_FALSE(t.exists(compress ? name : name + ".zip")) << name;
    }
    // The list names the new form only.
    EXPECT_TRUE(sha256sumPasses(t / "z")) << listOf(t / "z");
    EXPECT_EQ(listOf(t / "z").find(compress ? "  a.txt\n" : "  a.txt.zip\n"), std::string::npos) << listOf(t / "z");
    // The user's own "w.zip" (one of our archives, taken from a backup) keeps its copy.
    compress = 1;
    t.write("q/w", "w2");
    EXPECT_EQ(backup(third).runErrors, 0) << third.allLines();
    std::filesystem::copy_file(t / "z/w.zip", t / "q/w.zip");
    compress = 0;
    t.write("q/w", "w3");
    EXPECT_EQ(backup(fourth).runErrors, 0) << fourth.allLines();
    EXPECT_EQ(t.read("z/w"), "w3");
    EXPECT_EQ(t.read("z/w.zip"), t.read("q/w.zip"));
    std::filesystem::remove_all(t / "q");
    std::filesystem::remove_all(t / "z");
    std::filesystem::remove(t / "pruef.chk");
  }
}

TEST_P(TreeRun, DestinationReachedThroughALinkIntoItsSourceIsRefused) {
  t.write("q/a.txt", "a");
  ASSERT_EQ(symlink((t / "q").c_str(), (t / "zuq").c_str()), 0);
  test::RecordingReporter rep;
  const RunTotals r = backup({DirPair{1, 1, t / "q", t / "zuq/sicherung", {}}}, rep);
  EXPECT_EQ(r.runErrors, 1) << rep.allLines();
  EXPECT_EQ(r.copied, 0);
  EXPECT_FALSE(t.exists("q/sicherung"));
  EXPECT_NE(t.read("log/run.log").find("liegt im Quellverzeichnis"), std::string::npos);
}

TEST_P(TreeRun, HardLinksStayHardLinksInAPlainBackup) {
  t.write("q/eins", "ein Inhalt, mehrere Namen");
  t.mkdir("q/sub");
  ASSERT_EQ(link((t / "q/eins").c_str(), (t / "q/sub/zwei").c_str()), 0);
  t.write("q/einzeln", "ein Name");
  test::RecordingReporter first;
  EXPECT_EQ(backup(first).runErrors, 0) << first.allLines();
  if (GetParam()) {
    // Compressed: an archive for each name, as for any file.
    EXPECT_NE(lstatOf(copyOf("eins")).st_ino, lstatOf(copyOf("sub/zwei")).st_ino);
    EXPECT_TRUE(t.exists("z/sub/zwei.zip"));
    return;
  }
  EXPECT_EQ(lstatOf(t / "z/eins").st_ino, lstatOf(t / "z/sub/zwei").st_ino);
  EXPECT_EQ(lstatOf(t / "z/eins").st_nlink, 2u);
  EXPECT_EQ(lstatOf(t / "z/einzeln").st_nlink, 1u);

  // A new name of an unchanged (skipped) file becomes a name of its copy.
  ASSERT_EQ(link((t / "q/eins").c_str(), (t / "q/drei").c_str()), 0);
  test::RecordingReporter second;
  EXPECT_EQ(backup(second).runErrors, 0) << second.allLines();
  EXPECT_EQ(lstatOf(t / "z/drei").st_ino, lstatOf(t / "z/eins").st_ino);

  // Written in place: every name is copied again, and they stay one file.
  test::writeFile(t / "q/sub/zwei", "neuer Inhalt, weiter mehrere Namen");
  test::RecordingReporter third;
  EXPECT_EQ(backup(third).runErrors, 0) << third.allLines();
  EXPECT_EQ(t.read("z/eins"), "neuer Inhalt, weiter mehrere Namen");
  EXPECT_EQ(lstatOf(t / "z/eins").st_nlink, 3u);
  EXPECT_EQ(lstatOf(t / "z/drei").st_ino, lstatOf(t / "z/sub/zwei").st_ino);
}

// One test tree per thread count: source, destinations and check file gone.
void clearRun(const TempDir& t) {
  for (const char* d : {"q", "z", "z2", "pruef.chk"}) std::filesystem::remove_all(t / d);
}

TEST_P(TreeRun, TheMarkerTakesWhatTheDestinationLacks) {
  t.write("probe", "x");
  if (!test::userXattrsWork(t / "probe")) GTEST_SKIP() << "no user xattrs here: the marker is never kept";
  marker = 1;
  for (const char* threads : {"1", "4"}) {
    SCOPED_TRACE(threads);
    Threads n(threads);
    clearRun(t);
    dated = 0;
    for (const char* f : {"a.txt", "ordner/b.txt", "c.txt", "d.txt"}) t.write(std::string("q/") + f, f);
    test::RecordingReporter first, second, third, fourth, fifth, sixth;
    EXPECT_EQ(backup(first).copied, 4) << first.allLines();
    EXPECT_EQ(backup(second).copied, 0) << second.allLines();
    // A renamed file and folder, a new hard link and a copy deleted by hand: the markers say unchanged.
    std::filesystem::rename(t / "q/a.txt", t / "q/a2.txt");
    std::filesystem::rename(t / "q/ordner", t / "q/mappe");
    ASSERT_EQ(link((t / "q/c.txt").c_str(), (t / "q/c-link.txt").c_str()), 0);
    std::filesystem::remove(copyOf("d.txt"));
    RunTotals r = backup(third);
    EXPECT_EQ(r.runErrors, 0) << third.allLines();
    // An archive is made again when its source's status changed since (the new link changed c.txt's).
    EXPECT_EQ(r.copied, GetParam() ? 5 : 4) << third.allLines();
    for (const char* f : {"a2.txt", "mappe/b.txt", "c-link.txt", "d.txt"}) {
      EXPECT_TRUE(std::filesystem::exists(copyOf(f))) << f;
    }
    // A second destination of the same source gets every file.
    EXPECT_EQ(backup({DirPair{1, 1, t / "q", t / "z2", {}}}, fourth).copied, 5) << fourth.allLines();
    // Dated folders: the first one takes every file, the next run only what the marker says.
    dated = 1;
    EXPECT_EQ(backup({DirPair{1, 1, t / "q", t / "z2", {}}}, fifth).copied, 5) << fifth.allLines();
    t.write("q/d.txt", "neu");
    EXPECT_EQ(backup({DirPair{1, 1, t / "q", t / "z2", {}}}, sixth).copied, 1) << sixth.allLines();
  }
}

TEST_P(TreeRun, AChangeOfModeOwnerOrXattrsAloneReachesTheCopy) {
  t.write("probe", "x");
  const bool xattrs = test::userXattrsWork(t / "probe");
  for (const int withMarker : {0, 1}) {
    if (withMarker && !xattrs) continue;  // the marker needs user xattrs
    marker = withMarker;
    for (const char* threads : {"1", "4"}) {
      SCOPED_TRACE(std::string(threads) + (withMarker ? " marker" : " check file"));
      Threads n(threads);
      clearRun(t);
      t.write("q/a.txt", "alpha");
      t.write("q/b.txt", "beta");
      t.write("q/ordner/c.txt", "gamma");
      test::RecordingReporter first, second, third;
      EXPECT_EQ(backup(first).copied, 3) << first.allLines();
      const ino_t copied = lstatOf(copyOf("a.txt")).st_ino;
      ASSERT_EQ(chmod((t / "q/a.txt").c_str(), 0600), 0);
      // A folder whose copy the walk finds as it is: its new mode and time still reach it.
      ASSERT_EQ(chmod((t / "q/ordner").c_str(), 0750), 0);
      const timespec times[2] = {{1700000000, 5}, {1700000000, 5}};
      ASSERT_EQ(utimensat(AT_FDCWD, (t / "q/ordner").c_str(), times, 0), 0);
      if (test::runningAsRoot()) {
        ASSERT_EQ(chown((t / "q/a.txt").c_str(), 4321, 4321), 0);
      }
      if (xattrs) {
        ASSERT_EQ(setxattr((t / "q/b.txt").c_str(), "user.farbe", "rot", 3, 0), 0);
      }
      const RunTotals r = backup(second);
      EXPECT_EQ(r.runErrors, 0) << second.allLines();
      EXPECT_EQ(r.copied, xattrs ? 2 : 1) << second.allLines();
      EXPECT_EQ(lstatOf(copyOf("a.txt")).st_mode & 07777, 0600u);
      EXPECT_EQ(lstatOf(t / "z/ordner").st_mode & 07777, 0750u);
      EXPECT_EQ(lstatOf(t / "z/ordner").st_mtim.tv_nsec, 5);
      if (test::runningAsRoot()) {
        EXPECT_EQ(lstatOf(copyOf("a.txt")).st_uid, 4321u);
      }
      if (!GetParam()) {
        // Plain copies: the attributes only, the content is not copied again.
        EXPECT_EQ(lstatOf(copyOf("a.txt")).st_ino, copied);
        char value[8] = {};
        if (xattrs) {
          EXPECT_EQ(getxattr(copyOf("b.txt").c_str(), "user.farbe", value, sizeof value), 3);
        }
        EXPECT_NE(second.allLines().find("nur Rechte, Besitzer oder erweiterte Attribute"), std::string::npos);
      }
      EXPECT_EQ(backup(third).copied, 0) << third.allLines();
      // New content in the folder leaves its time as it was; the copy's time,
      // changed by the copy put into it, is set again.
      t.write("q/ordner/c.txt", "gamma, neu");
      ASSERT_EQ(utimensat(AT_FDCWD, (t / "q/ordner").c_str(), times, 0), 0);
      test::RecordingReporter fourth;
      EXPECT_EQ(backup(fourth).copied, 1) << fourth.allLines();
      EXPECT_EQ(lstatOf(t / "z/ordner").st_mtim.tv_nsec, 5);
      EXPECT_EQ(lstatOf(t / "z/ordner").st_mtim.tv_sec, 1700000000);
    }
  }
}

TEST_P(TreeRun, TwoPairsOntoOneNameAreAnErrorWithTheCheckFileToo) {
  for (const char* threads : {"1", "4"}) {
    SCOPED_TRACE(threads);
    Threads n(threads);
    clearRun(t);
    std::filesystem::remove_all(t / "q2");
    // Two sources with the same name, size and time: the check file alone cannot tell them apart.
    t.write("q/gleich.txt", "eins");
    t.write("q2/gleich.txt", "zwei");
    const auto when = platform::fileTimeFromUnix(1700000000, 0);
    platform::setFileTimes(t / "q/gleich.txt", when, when);
    platform::setFileTimes(t / "q2/gleich.txt", when, when);
    const JobList both{DirPair{1, 1, t / "q", t / "z", {}}, DirPair{1, 1, t / "q2", t / "z", {}}};
    for (int run = 0; run < 2; ++run) {
      test::RecordingReporter rep;
      const RunTotals r = backup(both, rep);
      EXPECT_EQ(r.runErrors, 1) << rep.allLines();
      EXPECT_EQ(r.runSkipped, 0) << rep.allLines();
      EXPECT_NE(rep.allLines().find(t / "q2/gleich.txt"), std::string::npos) << rep.allLines();
    }
  }
}

TEST_P(TreeRun, UnchangedLinksAreNotCopiedAgainWithTheMarker) {
  marker = 1;
  t.write("probe", "x");
  const bool markerKept = test::userXattrsWork(t / "probe");
  for (const char* threads : {"1", "4"}) {
    SCOPED_TRACE(threads);
    Threads n(threads);
    clearRun(t);
    t.write("q/a.txt", "a");
    ASSERT_EQ(symlink("a.txt", (t / "q/zu-a").c_str()), 0);
    test::RecordingReporter first, second, third, fourth;
    backup(first);
    EXPECT_EQ(linkText(t / "z/zu-a"), "a.txt");
    EXPECT_EQ(backup(second).copied, markerKept ? 0 : 1) << second.allLines();
    // Another target: taken.
    ASSERT_EQ(unlink((t / "q/zu-a").c_str()), 0);
    ASSERT_EQ(symlink("b.txt", (t / "q/zu-a").c_str()), 0);
    backup(third);
    EXPECT_EQ(linkText(t / "z/zu-a"), "b.txt") << third.allLines();
    // Its copy gone: taken again.
    ASSERT_EQ(unlink((t / "z/zu-a").c_str()), 0);
    backup(fourth);
    EXPECT_EQ(linkText(t / "z/zu-a"), "b.txt") << fourth.allLines();
  }
}

TEST_P(TreeRun, TheChecksumListNamesEveryFileAndFollowsEachChange) {
  std::string lists[2];
  for (const char* threads : {"1", "4"}) {
    SCOPED_TRACE(threads);
    Threads n(threads);
    std::filesystem::remove_all(t / "q");
    std::filesystem::remove_all(t / "z");
    std::filesystem::remove(t / "pruef.chk");
    t.write("q/mit Leer zeichen.txt", "eins");
    t.write("q/Ärger/Übergrößen.txt", std::string(3000, 'u'));
    t.write("q/Zeilen\numbruch.txt", "zwei");
    t.write("q/wird/ordner", "eine Datei, bald ein Ordner");
    t.write("q/bleibt.txt", "bleibt");
    test::RecordingReporter first, second;
    EXPECT_EQ(backup(first).runErrors, 0) << first.allLines();
    const std::string before = listOf(t / "z");
    EXPECT_TRUE(sha256sumPasses(t / "z")) << before;
    EXPECT_EQ(std::count(before.begin(), before.end(), '\n'), 5) << before;
    EXPECT_NE(before.find(GetParam() ? "  Zeilen\\numbruch.txt.zip\n" : "  Zeilen\\numbruch.txt\n"), std::string::npos);

    t.write("q/mit Leer zeichen.txt", "eins, geändert");
    std::filesystem::remove(t / "q/wird/ordner");
    t.write("q/wird/ordner/neu.txt", "neu");
    EXPECT_EQ(backup(second).runErrors, 0) << second.allLines();
    const std::string after = listOf(t / "z");
    EXPECT_TRUE(sha256sumPasses(t / "z")) << after;
    // The changed file's line, the file kept aside under its new name, the new one in the new folder.
    // (A name with a line break has no check-file line: it is stored again at every run.)
    std::vector<std::string> changed = changedLines(before, after);
    std::erase_if(changed, [](const std::string& line) { return line.find("numbruch") != std::string::npos; });
    const std::string ext = GetParam() ? ".zip" : "";
    ASSERT_EQ(changed.size(), 5u) << before << "\n" << after;
    int names = 0;
    for (const std::string& line : changed)
      names += line.ends_with("  mit Leer zeichen.txt" + ext) + line.ends_with("  wird/ordner" + ext) +
               line.ends_with("  wird/ordner/neu.txt" + ext) + (line.find("  wird/ordner (Datei bis ") != std::string::npos);
    EXPECT_EQ(names, 5) << after;
    // An archive holds its source's times, new in each round: compared by name there.
    lists[threads[0] == '4'] = GetParam() ? std::regex_replace(after, std::regex("[0-9a-f]{64}"), "") : after;
  }
  EXPECT_EQ(lists[0], lists[1]);  // one thread or four: the same list
}

TEST_P(TreeRun, AnEarlierBackupWithoutAListGetsOneAndAKilledUpdateIsFoldedInLater) {
  t.write("q/a.txt", "a");
  t.write("q/b/c.txt", "c");
  test::RecordingReporter first, second, third, fourth;
  EXPECT_EQ(backup(first).runErrors, 0) << first.allLines();
  const std::string made = listOf(t / "z");
  // A backup from before there were lists: the next run, with nothing to copy, lists what is there.
  std::filesystem::remove(t / "z/Kalvero-Pruefsummen.sha256");
  EXPECT_EQ(backup(second).runErrors, 0) << second.allLines();
  EXPECT_NE(second.allLines().find("hatte noch keine Prüfsummenliste; 2 vorhandene Dateien"), std::string::npos)
      << second.allLines();
  EXPECT_EQ(listOf(t / "z"), made);

  // The list's rename fails as if the run were killed there: the old list stays, beside the journal.
  t.write("q/a.txt", "a, neu");
  {
    platform::fault::Scope scope;
    platform::fault::arm({platform::fault::Call::Rename, EIO, 0, -1, "Kalvero-Pruefsummen"});
    EXPECT_EQ(backup(third).runErrors, 1) << third.allLines();
  }
  EXPECT_EQ(listOf(t / "z"), made);
  EXPECT_TRUE(t.exists("z/Kalvero-Pruefsummen.journal"));
  EXPECT_FALSE(sha256sumPasses(t / "z"));
  // A run killed while writing the list leaves its temporary beside it.
  const std::string halfWritten = platform::ownTemporaryBeside(t / "z/Kalvero-Pruefsummen.sha256");
  test::writeFile(halfWritten, "halb");
  // The next run, though it copies nothing, folds the journal in and removes the temporary.
  EXPECT_EQ(backup(fourth).runErrors, 0) << fourth.allLines();
  EXPECT_FALSE(std::filesystem::exists(halfWritten));
  EXPECT_FALSE(t.exists("z/Kalvero-Pruefsummen.journal"));
  EXPECT_TRUE(sha256sumPasses(t / "z"));
  EXPECT_EQ(changedLines(made, listOf(t / "z")).size(), 2u);
}

TEST_P(TreeRun, ChecksumListsOfDatedFoldersAndAUsersFileOfTheListsName) {
  dated = 1;
  t.write("q/a.txt", "a");
  t.write("q/Kalvero-Pruefsummen.sha256", "die Datei eines Benutzers");
  test::RecordingReporter rep;
  EXPECT_EQ(backup(rep).runErrors, 0) << rep.allLines();
  std::vector<std::string> folders;
  for (auto& e : std::filesystem::directory_iterator(t / "z")) folders.push_back(e.path().string());
  ASSERT_EQ(folders.size(), 1u);
  EXPECT_TRUE(sha256sumPasses(folders[0]));
  // Stored as its archive, whatever the compression: the plain name is the list's.
  EXPECT_TRUE(std::filesystem::exists(folders[0] + "/Kalvero-Pruefsummen.sha256.zip"));
  EXPECT_NE(listOf(folders[0]).find("  Kalvero-Pruefsummen.sha256.zip\n"), std::string::npos);

  // With its archive's name taken by another file, it is reported and not
  // stored: a plain copy would be overwritten by the list.
  t.write("q/sub/Kalvero-Pruefsummen.sha256", "noch eine");
  t.write("q/sub/Kalvero-Pruefsummen.sha256.zip", "kein Archiv");
  test::RecordingReporter second;
  EXPECT_EQ(backup(second).runErrors, 1) << second.allLines();
  EXPECT_NE(second.allLines().find("damit die Liste sie nicht"), std::string::npos) << second.allLines();
  EXPECT_TRUE(sha256sumPasses(folders[0]));
}

// Today's dated folder, made an earlier day's state by its name: the next
// run fills a new folder of today against it. Returns today's name.
std::string MoveTodayTo(const TempDir& t, const std::string& earlier) {
  std::vector<std::string> names;
  for (auto& e : std::filesystem::directory_iterator(t / "z")) names.push_back(e.path().filename().string());
  EXPECT_EQ(names.size(), 1u);
  if (names.empty()) return {};
  std::filesystem::rename(t / ("z/" + names[0]), t / ("z/" + earlier));
  return names[0];
}

ino_t InodeOf(const std::string& path) { return lstatOf(path).st_ino; }

TEST_P(TreeRun, CompleteStatesLinkWhatIsUnchangedAndNeverChangeAnOlderState) {
  dated = complete = 1;
  t.write("q/a.txt", "eins");
  t.write("q/sub/b.txt", "zwei");
  t.write("q/sub/c.txt", "drei");
  ASSERT_EQ(chmod((t / "q/sub/b.txt").c_str(), 0644), 0);
  test::RecordingReporter first;
  EXPECT_EQ(backup(first).runErrors, 0) << first.allLines();
  const std::string today = MoveTodayTo(t, "2026_01_01");
  const std::string old = t / "z/2026_01_01/", now = t / ("z/" + today + "/");
  const std::string sfx = GetParam() ? ".zip" : "";
  ASSERT_TRUE(IsCompleteState(old));
  const auto oldB = lstatOf(old + "sub/b.txt" + sfx);

  // New content, and a mode alone: copies; the rest a second name of the older state's copy.
  t.write("q/a.txt", "eins, geändert");
  ASSERT_EQ(chmod((t / "q/sub/b.txt").c_str(), 0600), 0);
  test::RecordingReporter second;
  const RunTotals r = backup(second);
  EXPECT_EQ(r.runErrors, 0) << second.allLines();
  EXPECT_EQ(r.linked, 1);
  EXPECT_EQ(InodeOf(now + "sub/c.txt" + sfx), InodeOf(old + "sub/c.txt" + sfx));
  EXPECT_NE(InodeOf(now + "a.txt" + sfx), InodeOf(old + "a.txt" + sfx));
  EXPECT_NE(InodeOf(now + "sub/b.txt" + sfx), oldB.st_ino);
  EXPECT_EQ(lstatOf(old + "sub/b.txt" + sfx).st_mode, oldB.st_mode);
  EXPECT_EQ(lstatOf(old + "sub/b.txt" + sfx).st_ctime, oldB.st_ctime);
  EXPECT_TRUE(IsCompleteState(now) && IsCompleteState(old));
  EXPECT_TRUE(sha256sumPasses(old) && sha256sumPasses(now));
  EXPECT_NE(t.read("log/run.log").find("1 davon unverändert als feste Verknüpfung"), std::string::npos);

  // Cancelled once its files are found: today's folder is no complete state.
  std::atomic<int> stop{0};
  cancel = &stop;
  test::RecordingReporter third;
  third.onProgress = [&](int code, const ProgressInfo&) {
    if (code == NOTIFY_FILES_FOUND) stop = 1;
  };
  backup(third);
  EXPECT_FALSE(IsCompleteState(now));
  // A killed run of the day got as far as a and b: the next one of the day
  // keeps them as they are and completes the state.
  cancel = nullptr;
  std::filesystem::remove(now + "sub/c.txt" + sfx);
  const ino_t a = InodeOf(now + "a.txt" + sfx);
  test::RecordingReporter fourth;
  const RunTotals again = backup(fourth);
  EXPECT_EQ(again.runErrors, 0) << fourth.allLines();
  EXPECT_EQ(again.linked, 1);
  EXPECT_EQ(InodeOf(now + "a.txt" + sfx), a);
  EXPECT_EQ(InodeOf(now + "sub/c.txt" + sfx), InodeOf(old + "sub/c.txt" + sfx));
  EXPECT_TRUE(IsCompleteState(now));
  EXPECT_TRUE(sha256sumPasses(now));
}

// The copies the walk reads beside a new complete state are the older
// state's: its folders are made in today's state all the same.
TEST_P(TreeRun, CompleteStatesOfATreeOfEmptyFoldersHoldThemAll) {
  dated = complete = 1;
  t.mkdir("q/leer/innen");
  t.mkdir("q/auch leer");
  test::RecordingReporter first, second;
  EXPECT_EQ(backup(first).runErrors, 0) << first.allLines();
  MoveTodayTo(t, "2026_01_01");
  EXPECT_EQ(backup(second).runErrors, 0) << second.allLines();
  std::vector<std::string> states;
  for (auto& e : std::filesystem::directory_iterator(t / "z")) states.push_back(e.path().filename().string());
  ASSERT_EQ(states.size(), 2u);
  for (const std::string& state : states)
    for (const char* folder : {"/leer/innen", "/auch leer"})
      EXPECT_TRUE(S_ISDIR(lstatOf(t / ("z/" + state + folder)).st_mode)) << state << folder;
}

// The links of a new state are made on the workers a folder at a time: one
// thread and two give the same state, and a run cancelled midway leaves no
// name in today's folder that its checksum list does not name.
TEST_P(TreeRun, CompleteStatesLinkedOnTheWorkersAsOnOneThread) {
  dated = complete = marker = 1;  // without the check file an archive is linked this way too
  for (int d = 0; d < 3; ++d)
    for (int f = 0; f < 200; ++f) t.write("q/d" + std::to_string(d) + "/f" + std::to_string(f), std::to_string(f));
  test::RecordingReporter first;
  EXPECT_EQ(backup(first).runErrors, 0) << first.allLines();
  const std::string today = MoveTodayTo(t, "2026_01_01");
  const std::string old = t / "z/2026_01_01/", now = t / ("z/" + today + "/");
  const std::string sfx = GetParam() ? ".zip" : "";
  for (const char* threads : {"1", "2"}) {
    Threads n(threads);
    test::RecordingReporter rep;
    const RunTotals r = backup(rep);
    EXPECT_EQ(r.runErrors, 0) << rep.allLines();
    EXPECT_EQ(r.linked, 600) << threads;
    EXPECT_EQ(InodeOf(now + "d2/f199" + sfx), InodeOf(old + "d2/f199" + sfx));
    EXPECT_TRUE(IsCompleteState(now) && sha256sumPasses(now)) << threads;
    EXPECT_EQ(changedLines(listOf(old), listOf(now)), std::vector<std::string>{}) << threads;
    std::filesystem::remove_all(now);
  }
  // Cancelled at the first changed file: the workers have linked what lies ahead.
  for (int d = 0; d < 3; ++d) t.write("q/d" + std::to_string(d) + "/f100", "geändert");
  std::atomic<int> stop{0};
  cancel = &stop;
  test::RecordingReporter cut;
  cut.onProgress = [&](int code, const ProgressInfo&) {
    if ((code != NOTIFY_COPYING && code != NOTIFY_COMPRESSING) || stop) return;
    usleep(200000);
    stop = 1;
  };
  backup(cut);
  EXPECT_FALSE(IsCompleteState(now));
  const std::string list = listOf(now);
  int files = 0;
  for (auto& e : std::filesystem::recursive_directory_iterator(now)) {
    const std::string rel = std::filesystem::relative(e.path(), now).string();
    if (!e.is_regular_file() || rel.rfind("Kalvero-", 0) == 0) continue;
    ++files;
    EXPECT_NE(list.find("  " + rel + "\n"), std::string::npos) << rel;
  }
  EXPECT_LT(files, 600);
}

TEST_P(TreeRun, CompleteStatesCopyWhereTheFileSystemRefusesHardLinks) {
  dated = complete = 1;
  t.write("q/c.txt", "drei");
  t.write("q/d.txt", "vier");
  test::RecordingReporter first;
  EXPECT_EQ(backup(first).runErrors, 0) << first.allLines();
  const std::string today = MoveTodayTo(t, "2026_01_01");
  const std::string sfx = GetParam() ? ".zip" : "";
  platform::fault::Scope scope;
  platform::fault::arm({platform::fault::Call::Rename, EPERM, 0, 1, "/z/" + today + "/"});
  test::RecordingReporter second;
  const RunTotals r = backup(second);
  EXPECT_EQ(r.runErrors, 0) << second.allLines();
  EXPECT_EQ(r.linked, 0);
  for (const char* name : {"c.txt", "d.txt"})
    EXPECT_NE(InodeOf(t / ("z/" + today + "/" + name + sfx)), InodeOf(t / ("z/2026_01_01/" + std::string(name) + sfx)));
  const std::string lines = second.allLines();
  const auto note = lines.find("keine festen Verknüpfungen möglich");
  EXPECT_NE(note, std::string::npos) << lines;
  EXPECT_EQ(lines.find("keine festen Verknüpfungen möglich", note + 1), std::string::npos) << lines;
  EXPECT_TRUE(IsCompleteState(t / ("z/" + today)));
  EXPECT_TRUE(sha256sumPasses(t / ("z/" + today)));
}

INSTANTIATE_TEST_SUITE_P(PlainAndCompressed, TreeRun, ::testing::Values(0, 1),
                         [](const auto& info) { return info.param ? "Compressed" : "Plain"; });

}  // namespace
}  // namespace kalvero
