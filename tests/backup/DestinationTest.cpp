// Destination names of found files and the normalised form of job paths.
#include <unistd.h>

#include <gtest/gtest.h>

#include "backup/MountGuard.h"
#include "backup/DestinationTree.h"
#include "backup/DirectoryCheck.h"
#include "platform/FaultInjection.h"
#include "platform/PathUtil.h"
#include "run/Walk.h"
#include "platform/FileSystem.h"
#include "support/TempDir.h"

namespace kalvero {
namespace {

TEST(Destination, NoBackupOntoADriveThatIsNotPluggedIn) {
  test::TempDir t;
  t.mkdir("media/anna");
  t.mkdir("mnt/eigen");
  t.mkdir("ziel");
  const std::string roots = t / "media" + ":" + t / "media/*" + ":" + t / "run/media/*" + ":" + t / "mnt";
  ASSERT_EQ(setenv("KALVERO_MOUNT_ROOTS", roots.c_str(), 1), 0);
  auto refused = [](const std::string& d) { return IsOnUnmountedDrive(d); };
  // Created directly inside a mount directory, however deep the missing part goes.
  EXPECT_TRUE(refused(t / "media/anna/STICK/Sicherung"));
  EXPECT_EQ(UnmountedDriveLine(t / "media/anna/STICK/Sicherung"),
            "Das Ziel '" + t / "media/anna/STICK/Sicherung" +
                "' liegt auf einem Laufwerk, das nicht eingehängt ist; das Paar wird nicht gesichert.");
  EXPECT_TRUE(refused(t / "media/STICK"));
  EXPECT_TRUE(refused(t / "mnt/x/y/"));
  EXPECT_TRUE(refused(t / "run/media/anna/STICK/x"));  // the mount directory itself is missing
  // Existing, below an existing directory that is no mount directory, or elsewhere: created as usual.
  EXPECT_FALSE(refused(t / "media/anna"));
  EXPECT_FALSE(refused(t / "mnt/eigen/neu/tiefer"));
  EXPECT_FALSE(refused(t / "ziel/neu"));
  EXPECT_FALSE(refused(""));
  // "Prüfen ..." and kalvero-cli check say the same.
  const DirectoryCheckResult check = CheckDirectories({DirPair{1, 1, t / "ziel", t / "media/STICK", {}}});
  EXPECT_TRUE(check.anythingMissing);
  EXPECT_NE(check.text.find(UnmountedDriveLine(t / "media/STICK") + "\r\n"), std::string::npos) << check.text;
  // A mount directory that holds a drive lets what is below it be created.
  EXPECT_TRUE(platform::isMountPoint("/"));
  EXPECT_FALSE(platform::isMountPoint(t / "media/anna"));
  unsetenv("KALVERO_MOUNT_ROOTS");
  EXPECT_FALSE(refused(t / "media/anna/STICK"));
}

TEST(Destination, DateSubdirectoryOnlyWithTheOption) {
  DirPair pair;
  pair.destination = "/sich";
  BackupOptions o;
  const platform::LocalTime day{2003, 6, 4, 23, 59, 59};
  EXPECT_EQ(PairDestinationRoot(pair, o, day), "/sich");
  o.SubVerzDatum = 1;
  EXPECT_EQ(PairDestinationRoot(pair, o, day), "/sich/2003_06_04");
  pair.destination = "/sich/";
  EXPECT_EQ(PairDestinationRoot(pair, o, day), "/sich/2003_06_04");
  pair.destination = "/";
  EXPECT_EQ(PairDestinationRoot(pair, o, {2026, 12, 31}), "/2026_12_31");
}

TEST(Destination, RelativePartBelowTheSourceRoot) {
  EXPECT_EQ(DestinationPathOf("/daten/Briefe/a.doc", "/daten", "/sich"), "/sich/Briefe/a.doc");
  EXPECT_EQ(DestinationPathOf("/daten/a.doc", "/daten/", "/sich/"), "/sich/a.doc");
  EXPECT_EQ(DestinationPathOf("/a.doc", "/", "/sich"), "/sich/a.doc");
  EXPECT_EQ(DestinationPathOf("/daten/x y/\xc3\xa4.txt", "/daten", "/sich/2003_06_24"),
            "/sich/2003_06_24/x y/\xc3\xa4.txt");
  // The walk writes one "/" after a root configured with several.
  EXPECT_EQ(DestinationPathOf("/daten/a.doc", "/daten//", "/sich"), "/sich/a.doc");
  // A path outside the root is never cut in the middle of a name.
  EXPECT_EQ(DestinationPathOf("/anders/a.doc", "/daten", "/sich"), "/sich/anders/a.doc");
}

TEST(Destination, ExclusionsSplitInListOrder) {
  DirPair pair;
  pair.excluded = {{1, "/a"}, {0, "/b"}, {1, "/c"}, {0, "/d"}};
  const auto lists = SplitExclusions(pair);
  EXPECT_EQ(lists.trees, (std::vector<std::string>{"/a", "/c"}));
  EXPECT_EQ(lists.directories, (std::vector<std::string>{"/b", "/d"}));
}

TEST(Destination, JobPathsAreMadeAbsoluteOnlyWhenNeeded) {
  char cwd[4096];
  ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
  const std::string here = cwd;
  EXPECT_EQ(NormaliseJobPath("/daten/x"), "/daten/x");
  EXPECT_EQ(NormaliseJobPath("/daten/Alt/"), "/daten/Alt/");  // absolute, nothing to fold: as configured
  EXPECT_EQ(NormaliseJobPath("/daten/./x/../y"), "/daten/y");
  EXPECT_EQ(NormaliseJobPath("/daten//x"), "/daten/x");
  EXPECT_EQ(NormaliseJobPath("daten"), (here == "/" ? "" : here) + "/daten");
  EXPECT_EQ(NormaliseJobPath(""), "");

  JobList jobs(1);
  jobs[0].source = "./q";
  jobs[0].destination = "/z/../ziel";
  jobs[0].excluded = {{1, "q/alt"}};
  const auto n = NormaliseJobList(jobs);
  EXPECT_EQ(n[0].source, platform::absolutePath("q"));
  EXPECT_EQ(n[0].destination, "/ziel");
  EXPECT_EQ(n[0].excluded[0].directory, n[0].source + "/alt");
}

TEST(Destination, NormalisedRelativeSourceLinesUpWithTheWalk) {
  test::TempDir t;
  t.write("quelle/sub/a.txt", "1");
  DirPair pair;
  pair.source = t.path() + "/./quelle/../quelle";
  pair.destination = t.path() + "/ziel";
  const DirPair n = NormaliseJobList({pair})[0];
  std::vector<FoundFile> found;
  WalkOptions o;
  o.foundFiles = &found;
  WalkDirectory(n.source, o);
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(DestinationPathOf(found[0].path, n.source, n.destination), t.path() + "/ziel/sub/a.txt");
}

TEST(DirectoryCheck, MissingDirectoriesText) {
  test::TempDir t;
  t.mkdir("q");
  t.mkdir("z");
  JobList jobs{DirPair{1, 1, t / "q", t / "z", {}}, DirPair{0, 1, t / "fehlt", t / "fehlt", {}}};
  DirectoryCheckResult ok = CheckDirectories(jobs);
  EXPECT_FALSE(ok.anythingMissing);
  EXPECT_EQ(ok.text,
            "Alle aktiven Quellverzeichnisse sind vorhanden.\r\n\r\n"
            "Alle aktiven Zielverzeichnisse sind vorhanden.\r\n\r\n");
  jobs[1].active = 1;
  DirectoryCheckResult bad = CheckDirectories(jobs);
  EXPECT_TRUE(bad.anythingMissing);
  // The missing destination is made by the first backup: a note, not a missing directory.
  EXPECT_EQ(bad.text, "Die folgenden aktiven Quellverzeichnisse sind nicht vorhanden:\n" + t / "fehlt" +
                          "\r\n\r\nHinweis: Das Zielverzeichnis '" + t / "fehlt" +
                          "' ist noch nicht vorhanden und wird beim ersten Sichern angelegt.\r\n");
}

TEST(Destination, EachLevelIsARealDirectoryCheckedOncePerRun) {
  test::TempDir t;
  t.write("aussen/x.txt", "fremd");
  t.mkdir("q/a/b");
  t.mkdir("z");
  ASSERT_EQ(symlink((t / "aussen").c_str(), (t / "z/a").c_str()), 0);  // our copy of a link the source had
  ASSERT_EQ(symlink((t / "z").c_str(), (t / "zu-z").c_str()), 0);      // the user's own link to the destination
  std::vector<std::string> kept;
  DestinationTree tree;
  tree.beginRun("2026-12-09");
  DestinationTree::Hooks hooks;
  hooks.kept = [&](const std::string&, const std::string& as) { kept.push_back(as); };
  tree.beginPair(t / "q", t / "zu-z", hooks);
  ASSERT_TRUE(tree.makeDirectories(t / "zu-z/a/b"));
  EXPECT_EQ(kept, std::vector<std::string>{t / "zu-z/a (Verknüpfung bis 2026-12-09)"});
  EXPECT_FALSE(t.exists("aussen/b"));
  EXPECT_EQ(GetPathKind(t / "z/a/b"), PathKind::Directory);
  // Many files in one directory: no status call, no directory made again.
  platform::fault::countCalls(true);
  for (int i = 0; i < 100; ++i) ASSERT_TRUE(tree.makeDirectories(t / "zu-z/a/b/"));
  EXPECT_EQ(platform::fault::calls(platform::fault::Call::Stat), 0);
  EXPECT_EQ(platform::fault::calls(platform::fault::Call::Mkdir), 0);
  platform::fault::countCalls(false);
  // Never anything outside the pair's destination.
  int err = 0;
  EXPECT_FALSE(tree.makeDirectories(t / "aussen/neu", &err));
  EXPECT_FALSE(t.exists("aussen/neu"));
  // Looks in a directory of the run kept open see what is there now, a link as itself.
  EXPECT_FALSE(tree.look(t / "zu-z/a/b/f.txt", &err));
  EXPECT_EQ(err, ENOENT);
  t.write("z/a/b/f.txt", "neu");
  const auto file = tree.look(t / "zu-z/a/b/f.txt");
  EXPECT_TRUE(file && file->kind == platform::EntryKind::File && file->size == 3);
  ASSERT_EQ(symlink((t / "aussen/x.txt").c_str(), (t / "z/a/b/l").c_str()), 0);
  const auto link = tree.look(t / "zu-z/a/b/l");
  EXPECT_TRUE(link && link->isSymlink);
}

}  // namespace
}  // namespace kalvero
