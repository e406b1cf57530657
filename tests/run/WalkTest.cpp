// The source walk on real trees: which files are taken, in which order, and
// what happens with links, special files, unreadable and very deep trees.
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <map>
#include <set>

#include <gtest/gtest.h>

#include "run/Walk.h"
#include "platform/FaultInjection.h"
#include "platform/FileSystem.h"
#include "platform/OwnTemporary.h"
#include "support/TempDir.h"

namespace kalvero {
namespace {

using test::TempDir;

std::vector<std::string> walkPaths(const std::string& dir, WalkOptions o = {}) {
  std::vector<FoundFile> found;
  o.foundFiles = &found;
  WalkDirectory(dir, o);
  std::vector<std::string> paths;
  for (const auto& f : found) paths.push_back(f.path);
  return paths;
}

std::set<std::string> asSet(const std::vector<std::string>& v) { return {v.begin(), v.end()}; }

class WalkTree : public ::testing::Test {
 protected:
  void SetUp() override {
    t.write("a.txt", "aaa");
    t.write("Alt/b.txt", "bb");
    t.write("Alt/Sub/c.txt", "c");
    t.write("Neu/d.doc", "dddd");
    t.write("Neu/Tief/e.doc", "");
    root = t.path();
  }
  TempDir t;
  std::string root;
};

TEST_F(WalkTree, TakesEveryFileWithSizeAndTimeOfTheSearch) {
  std::vector<FoundFile> found;
  std::vector<std::string> list;
  WalkOptions o;
  o.foundFiles = &found;
  o.pathList = &list;
  WalkDirectory(root, o);
  ASSERT_EQ(found.size(), 5u);
  EXPECT_EQ(list.size(), 5u);
  EXPECT_EQ(o.totalBytes, 10u);
  for (const auto& f : found) {
    auto st = platform::statPath(f.path);
    ASSERT_TRUE(st) << f.path;
    EXPECT_EQ(f.size, st->size);
    EXPECT_EQ(f.lastWrite, st->lastWrite);
    EXPECT_EQ(f.skip, 0);
  }
  EXPECT_EQ(asSet(list), asSet({root + "/a.txt", root + "/Alt/b.txt", root + "/Alt/Sub/c.txt", root + "/Neu/d.doc",
                                root + "/Neu/Tief/e.doc"}));
}

TEST_F(WalkTree, WithoutSubdirectoriesOnlyTheRootsFiles) {
  WalkOptions o;
  o.withSubdirs = 0;
  EXPECT_EQ(walkPaths(root, o), std::vector<std::string>{root + "/a.txt"});
}

TEST_F(WalkTree, TrailingSlashOfTheRootGivesSingleSeparators) {
  WalkOptions o;
  o.withSubdirs = 0;
  EXPECT_EQ(walkPaths(root + "//", o), std::vector<std::string>{root + "/a.txt"});
}

TEST_F(WalkTree, DepthFirstEachSubtreeIsOneRun) {
  for (int i = 0; i < 30; ++i) t.write("Neu/x" + std::to_string(i) + "/f", "1");
  const auto paths = walkPaths(root);
  // Once the walk leaves a directory it never comes back to it.
  for (const std::string dir : {"/Alt/", "/Neu/", "/Neu/Tief/", "/Neu/x7/"}) {
    std::vector<size_t> idx;
    for (size_t i = 0; i < paths.size(); ++i)
      if (paths[i].rfind(root + dir, 0) == 0) idx.push_back(i);
    ASSERT_FALSE(idx.empty());
    EXPECT_EQ(idx.back() - idx.front() + 1, idx.size()) << dir;
  }
}

// The workers read the listings ahead in the walk's own order (more
// directories than they may hold ahead): any number of threads gives the
// entries, copies and order of one thread.
TEST(Walk, ReadAheadOnWorkersGivesTheOneThreadWalk) {
  TempDir t;
  for (int i = 0; i < 12; ++i)
    for (int j = 0; j < 9; ++j) {
      const std::string d = "q/d" + std::to_string(i) + "/e" + std::to_string(j);
      t.write(d + "/f.txt", std::string(static_cast<std::size_t>(i + j), 'x'));
      if (j % 3 == 0) t.write("z/" + d.substr(2) + "/f.txt", "alt");
    }
  t.write("q/d0/e1/tief/g.txt", "g");
  // Directories whose copy is no directory of its own: a link to one, a file,
  // and a directory with an archive of a former file beside it.
  ASSERT_EQ(symlink((t / "z/d0/e0").c_str(), (t / "z/d1/e0x").c_str()), 0);
  t.write("q/d1/e0x/h.txt", "h");
  t.write("z/d2/e1", "eine Datei");
  t.write("z/d3/e0.zip", "ein Archiv");
  // Two copies with their folder's mode and time (the second has an archive beside it).
  for (const char* d : {"d0/e0", "d3/e0"}) {
    struct stat st {};
    ASSERT_EQ(stat((t / "q/" + d).c_str(), &st), 0);
    ASSERT_EQ(chmod((t / "z/" + d).c_str(), st.st_mode & 07777), 0);
    const timespec times[2] = {st.st_atim, st.st_mtim};
    ASSERT_EQ(utimensat(AT_FDCWD, (t / "z/" + d).c_str(), times, 0), 0);
  }
  const timespec other[2] = {{978307200, 0}, {978307200, 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, (t / "z/d1/e0").c_str(), other, 0), 0);
  const auto walk = [&](int threads) {
    WalkOptions o;
    o.threads = threads;
    o.allKinds = true;
    o.sourceRoot = t / "q/";
    o.copiesRoot = t / "z/";
    std::vector<FoundFile> found;
    o.foundFiles = &found;
    WalkDirectory(t / "q", o);
    std::vector<std::string> lines;
    for (const FoundFile& f : found)
      lines.push_back(f.path + (f.copies.plain ? " copy" : "") + (f.copyMatches ? " matches" : ""));
    return lines;
  };
  const std::vector<std::string> one = walk(1);
  EXPECT_EQ(walk(2), one);
  EXPECT_EQ(walk(4), one);
  const std::set<std::string> lines(one.begin(), one.end());
  EXPECT_TRUE(lines.count(t / "q/d0/e0 matches"));
  EXPECT_TRUE(lines.count(t / "q/d0/e0/f.txt copy"));
  EXPECT_TRUE(lines.count(t / "q/d0/e1"));
  EXPECT_TRUE(lines.count(t / "q/d1/e0"));  // a copy of another time
  EXPECT_TRUE(lines.count(t / "q/d1/e0x"));
  EXPECT_TRUE(lines.count(t / "q/d2/e1"));
  EXPECT_TRUE(lines.count(t / "q/d3/e0"));
  EXPECT_EQ(one.size(), 12u * 9u * 2u + 12u + 2u + 2u);
}

TEST_F(WalkTree, ExcludedTreesAndDirectoriesCompareExactly) {
  std::vector<std::string> trees{root + "/Alt"};
  WalkOptions o;
  o.excludedTrees = &trees;
  EXPECT_EQ(asSet(walkPaths(root, o)), asSet({root + "/a.txt", root + "/Neu/d.doc", root + "/Neu/Tief/e.doc"}));

  // The root itself excluded: nothing at all.
  trees = {root};
  EXPECT_TRUE(walkPaths(root, o).empty());

  // Another letter case or a trailing "/" excludes nothing.
  trees = {root + "/alt", root + "/Alt/"};
  EXPECT_EQ(walkPaths(root, o).size(), 5u);

  // An excluded directory drops only the files lying directly in it.
  std::vector<std::string> dirs{root + "/Alt", root + "/neu"};
  WalkOptions d;
  d.excludedDirectories = &dirs;
  EXPECT_EQ(asSet(walkPaths(root, d)), asSet({root + "/a.txt", root + "/Alt/Sub/c.txt", root + "/Neu/d.doc",
                                               root + "/Neu/Tief/e.doc"}));
}

TEST_F(WalkTree, MissingSourceOrASourceThatIsAFileGivesNothing) {
  EXPECT_TRUE(walkPaths(root + "/nicht da").empty());
  EXPECT_TRUE(walkPaths(root + "/a.txt").empty());
  EXPECT_TRUE(walkPaths("").empty());
}

TEST(Walk, LinksAndSpecialFiles) {
  TempDir t;
  const std::string r = t.path();
  t.write("real/inner.txt", "12345");
  t.write("ziel.txt", "xy");
  ASSERT_EQ(symlink("ziel.txt", (r + "/link.txt").c_str()), 0);
  ASSERT_EQ(symlink("real", (r + "/linkdir").c_str()), 0);
  ASSERT_EQ(symlink(".", (r + "/real/self").c_str()), 0);
  ASSERT_EQ(symlink("nirgends", (r + "/dangling").c_str()), 0);
  ASSERT_EQ(symlink("loop2", (r + "/loop1").c_str()), 0);
  ASSERT_EQ(symlink("loop1", (r + "/loop2").c_str()), 0);
  ASSERT_EQ(mkfifo((r + "/fifo").c_str(), 0600), 0);
  int s = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  const std::string sock = r + "/sock";
  ASSERT_LT(sock.size(), sizeof(addr.sun_path));
  std::copy(sock.begin(), sock.end(), addr.sun_path);
  ASSERT_EQ(bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)), 0);
  close(s);

  // Without allKinds: regular files only, no link is followed.
  EXPECT_EQ(asSet(walkPaths(r)), asSet({r + "/real/inner.txt", r + "/ziel.txt"}));

  // With allKinds: every link as itself, special files, directories after their content.
  std::vector<FoundFile> found;
  WalkOptions o;
  o.foundFiles = &found;
  o.allKinds = true;
  WalkDirectory(r, o);
  std::map<std::string, EntryKind> kinds;
  for (const auto& f : found) kinds[f.path.substr(r.size() + 1)] = f.kind;
  const std::map<std::string, EntryKind> expected{
      {"real/inner.txt", EntryKind::File}, {"ziel.txt", EntryKind::File},      {"link.txt", EntryKind::Symlink},
      {"linkdir", EntryKind::Symlink},     {"real/self", EntryKind::Symlink},  {"dangling", EntryKind::Symlink},
      {"loop1", EntryKind::Symlink},       {"loop2", EntryKind::Symlink},      {"fifo", EntryKind::Special},
      {"sock", EntryKind::Special},        {"real", EntryKind::Directory}};
  EXPECT_EQ(kinds, expected);
  EXPECT_EQ(found.size(), expected.size());
  for (const auto& f : found) {
    const bool link = f.kind == EntryKind::Symlink;
    const bool file = f.kind == EntryKind::File;
    EXPECT_EQ(f.size, link || file ? platform::lstatPath(f.path)->size : 0u) << f.path;
  }
  EXPECT_EQ(o.totalBytes, 7u + 8u + 4u + 1u + 8u + 5u + 5u);  // files and link texts
  // Names and patterns apply to links and special files, as to files.
  const std::vector<std::string> notAllowed{"*1", "fifo"};
  WalkOptions p;
  p.allKinds = true;
  p.excludedPatterns = &notAllowed;
  EXPECT_EQ(walkPaths(r, p).size(), expected.size() - 2);

  // A linked source root itself is searched (the user chose it).
  EXPECT_EQ(walkPaths(r + "/linkdir"), std::vector<std::string>{r + "/linkdir/inner.txt"});
}

TEST(Walk, DirectoriesComeAfterTheirContentEmptyOnesToo) {
  TempDir t;
  t.write("a/b/f", "1");
  t.mkdir("a/leer");
  t.mkdir("weg/tiefer");
  std::vector<std::string> excluded{t / "weg"};
  WalkOptions o;
  o.allKinds = true;
  o.excludedTrees = &excluded;
  const auto paths = walkPaths(t.path(), o);
  auto at = [&](const std::string& rel) { return std::find(paths.begin(), paths.end(), t / rel) - paths.begin(); };
  ASSERT_EQ(paths.size(), 4u);  // a/b/f, a/b, a/leer, a; the root and excluded trees are not reported
  EXPECT_LT(at("a/b/f"), at("a/b"));
  EXPECT_LT(at("a/b"), at("a"));
  EXPECT_LT(at("a/leer"), at("a"));
  o.withSubdirs = 0;
  EXPECT_TRUE(walkPaths(t.path(), o).empty());
}

TEST(Walk, DirectoryErrorsAreReportedWithTheirReason) {
  TempDir t;
  t.write("ok/a", "1");
  t.write("zu/b", "1");
  for (int i = 0; i < 5; ++i) t.write("halb/f" + std::to_string(i), "1");
  std::vector<std::pair<std::string, int>> errors;
  WalkOptions o;
  o.onDirectoryError = [&](const std::string& dir, int err) { errors.emplace_back(dir, err); };
  platform::fault::Scope scope;
  platform::fault::arm({platform::fault::Call::OpenDir, EACCES, 0, -1, "/zu"});
  platform::fault::arm({platform::fault::Call::ReadDir, EIO, 2, 1, "/halb/"});
  walkPaths(t.path(), o);
  std::sort(errors.begin(), errors.end());
  EXPECT_EQ(errors, (std::vector<std::pair<std::string, int>>{{t / "halb", EIO}, {t / "zu", EACCES}}));

  // A missing root is not a search error (the run says the source is missing).
  errors.clear();
  walkPaths(t / "nicht da", o);
  EXPECT_TRUE(errors.empty());
  // A root that cannot be opened is one.
  platform::fault::arm({platform::fault::Call::OpenDir, EACCES, 0, -1, "/ok"});
  walkPaths(t / "ok", o);
  EXPECT_EQ(errors.size(), 1u);
}

TEST(Walk, NamesWithControlCharactersAndForeignBytes) {
  TempDir t;
  const std::vector<std::string> names{"mit\nZeile", "mit\tTab", "Gr\xc3\xb6\xc3\x9f" "e \xc3\xa4.txt", "bad\xff\xfe",
                                       "back\\slash", " space "};
  for (const auto& n : names) t.write(n, "x");
  std::set<std::string> expected;
  for (const auto& n : names) expected.insert(t.path() + "/" + n);
  EXPECT_EQ(asSet(walkPaths(t.path())), expected);
}

TEST(Walk, HalfWrittenCopiesOfAKilledRunAreNotTaken) {
  TempDir t;
  t.write("a.txt", "x");
  // What a killed run leaves: a copy and an archive in progress, a restore's staging directory.
  const std::string copy = platform::ownTemporaryBeside(t / "a.txt");
  t.write(copy.substr(t.path().size() + 1), "halb");
  const std::string archive = platform::ownTemporaryBeside(t / "sub/b.zip");
  t.write(archive.substr(t.path().size() + 1), "halb");
  const std::string staging = platform::ownTemporaryBeside(t / "unpack");
  t.write(staging.substr(t.path().size() + 1) + "/0/17", "halb");
  t.write(".versteckt", "y");  // an ordinary hidden file is taken
  EXPECT_EQ(asSet(walkPaths(t.path())), (std::set<std::string>{t / "a.txt", t / ".versteckt"}));
}

TEST(Walk, UserFilesNamedLikeTemporariesAreTaken) {
  TempDir t;
  // Names a user may well have: they only look like the program's own.
  const std::vector<std::string> names{".notes.kalvero-backup", ".x.kalvero-abcdef", ".a.txt.kalvero-Xy12Ab",
                                       ".unpack.kalvero-000000/0/17", ".ordner.kalvero-ABCDEFGHabcdefgh/c"};
  std::set<std::string> expected;
  for (const std::string& n : names) expected.insert(t.write(n, "eigen"));
  // Read ahead on the workers too: a directory with such a name is searched.
  WalkOptions o;
  o.threads = 4;
  EXPECT_EQ(asSet(walkPaths(t.path())), expected);
  EXPECT_EQ(asSet(walkPaths(t.path(), o)), expected);
}

TEST(Walk, UnreadableDirectoriesAndVanishedFilesAreSilent) {
  TempDir t;
  t.write("ok/a", "1");
  t.write("zu/b", "1");
  t.write("zu/tiefer/c", "1");
  t.write("weg", "1");
  platform::fault::Scope scope;
  platform::fault::arm({platform::fault::Call::OpenDir, EACCES, 0, -1, "/zu"});
  platform::fault::arm({platform::fault::Call::Stat, ENOENT, 0, -1, "/weg"});
  EXPECT_EQ(walkPaths(t.path()), std::vector<std::string>{t.path() + "/ok/a"});
  EXPECT_GE(platform::fault::hits(platform::fault::Call::OpenDir), 1);

  // A read error in the middle of a directory ends that directory only.
  platform::fault::disarmAll();
  for (int i = 0; i < 10; ++i) t.write("viele/f" + std::to_string(i), "1");
  platform::fault::arm({platform::fault::Call::ReadDir, EIO, 3, 1, "/viele/"});
  const auto paths = walkPaths(t.path());
  size_t many = std::count_if(paths.begin(), paths.end(), [](auto& p) { return p.find("/viele/") != p.npos; });
  EXPECT_LT(many, 10u);
  EXPECT_EQ(std::count(paths.begin(), paths.end(), t.path() + "/zu/tiefer/c"), 1);
}

TEST(Walk, UnreadableDirectoryByModeWhenNotRoot) {
  if (test::runningAsRoot()) GTEST_SKIP() << "root reads every directory";
  TempDir t;
  t.write("zu/b", "1");
  t.write("a", "1");
  chmod((t.path() + "/zu").c_str(), 0);
  EXPECT_EQ(walkPaths(t.path()), std::vector<std::string>{t.path() + "/a"});
  chmod((t.path() + "/zu").c_str(), 0700);
}

// Creates a chain of nested directories with openat/mkdirat, so that paths
// far beyond what one system call accepts can be built.
std::string nestedChain(const std::string& root, int levels, const std::string& name, int perLevelFiles) {
  int fd = open(root.c_str(), O_RDONLY | O_DIRECTORY);
  std::string path = root;
  for (int i = 0; i < levels; ++i) {
    for (int k = 0; k < perLevelFiles; ++k) {
      int f = openat(fd, ("f" + std::to_string(k)).c_str(), O_CREAT | O_WRONLY, 0644);
      close(f);
    }
    mkdirat(fd, name.c_str(), 0755);
    int next = openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY);
    close(fd);
    fd = next;
    path += "/" + name;
  }
  int f = openat(fd, "last", O_CREAT | O_WRONLY, 0644);
  close(f);
  close(fd);
  return path;
}

TEST(Walk, VeryDeepTreeKeepsFewDirectoriesOpenAndFindsEverything) {
  TempDir t;
  nestedChain(t.path(), 300, "d", 2);
  const auto paths = walkPaths(t.path());
  EXPECT_EQ(paths.size(), 601u);
  EXPECT_EQ(asSet(paths).size(), paths.size());
}

TEST(Walk, PathsNearTheLimitDoNotBreakTheWalk) {
  TempDir t;
  // 40 levels of 200-character names: the deeper directories cannot be opened
  // by name any more, which ends the walk there without harm.
  nestedChain(t.path(), 40, std::string(200, 'n'), 1);
  std::vector<int> errors;
  WalkOptions o;
  o.onDirectoryError = [&](const std::string& dir, int err) {
    errors.push_back(err);
    EXPECT_GE(dir.size(), 4096u);
  };
  const auto paths = walkPaths(t.path(), o);
  EXPECT_EQ(errors, std::vector<int>{ENAMETOOLONG});  // named, and the walk goes on
  ASSERT_FALSE(paths.empty());
  EXPECT_LT(paths.size(), 41u);
  for (const auto& p : paths) EXPECT_LT(p.size(), 4096u + 256u);
  EXPECT_EQ(asSet(paths).size(), paths.size());
}

TEST(Walk, HundredThousandFilesInOneDirectory) {
  TempDir t;
  int fd = open(t.path().c_str(), O_RDONLY | O_DIRECTORY);
  for (int i = 0; i < 100000; ++i) close(openat(fd, std::to_string(i).c_str(), O_CREAT | O_WRONLY, 0644));
  close(fd);
  std::vector<FoundFile> found;
  WalkOptions o;
  o.foundFiles = &found;
  WalkDirectory(t.path(), o);
  EXPECT_EQ(found.size(), 100000u);
  std::set<std::string> unique;
  for (const auto& f : found) unique.insert(f.path);
  EXPECT_EQ(unique.size(), 100000u);
}

}  // namespace
}  // namespace kalvero
