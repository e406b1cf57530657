#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>

#include "platform/DirectoryReader.h"
#include "platform/FaultInjection.h"
#include "platform/FileSystem.h"
#include "platform/TempFiles.h"
#include "support/TempDir.h"

using namespace kalvero::platform;
using kalvero::test::TempDir;
using kalvero::test::userXattrsWork;

TEST(FileSystem, StatKindsAndSymlinks) {
  TempDir t;
  t.write("a.txt", "hello");
  t.mkdir("d");
  ASSERT_EQ(symlink((t / "a.txt").c_str(), (t / "l").c_str()), 0);
  ASSERT_EQ(symlink((t / "nowhere").c_str(), (t / "dangling").c_str()), 0);
  auto f = statPath(t / "a.txt");
  ASSERT_TRUE(f);
  EXPECT_EQ(f->kind, EntryKind::File);
  EXPECT_EQ(f->size, 5u);
  EXPECT_EQ(unixSecondsFromFileTime(f->lastWrite), f->mtimeSeconds);
  EXPECT_EQ(statPath(t / "d")->kind, EntryKind::Directory);
  auto l = statPath(t / "l");
  ASSERT_TRUE(l);
  EXPECT_TRUE(l->isSymlink);
  EXPECT_EQ(l->kind, EntryKind::File);
  EXPECT_EQ(lstatPath(t / "l")->kind, EntryKind::Other);
  int err = 0;
  EXPECT_FALSE(statPath(t / "dangling", &err));
  EXPECT_EQ(err, ENOENT);
  EXPECT_FALSE(statPath(std::string(5000, 'a'), &err));
  EXPECT_EQ(err, ENAMETOOLONG);
  EXPECT_FALSE(statPath(""));
}

TEST(FileSystem, DirectoriesRenamesAndRemoval) {
  TempDir t;
  EXPECT_TRUE(makeDirectory(t / "Verzeichnis mit Ümlaut"));
  int err = 0;
  EXPECT_FALSE(makeDirectory(t / "Verzeichnis mit Ümlaut", &err));
  EXPECT_EQ(err, EEXIST);
  t.write("x", "1");
  EXPECT_TRUE(renamePath(t / "x", t / "y"));
  EXPECT_TRUE(t.exists("y"));
  EXPECT_TRUE(removeFile(t / "y"));
  EXPECT_FALSE(removeFile(t / "y", &err));
  EXPECT_EQ(err, ENOENT);
  EXPECT_TRUE(removeDirectory(t / "Verzeichnis mit Ümlaut"));
}

TEST(FileSystem, InjectedFailuresAndInterruptedCalls) {
  TempDir t;
  fault::Scope scope;
  fault::arm({fault::Call::Mkdir, EACCES, 0, 1, ""});
  int err = 0;
  EXPECT_FALSE(makeDirectory(t / "a", &err));
  EXPECT_EQ(err, EACCES);
  EXPECT_EQ(fault::hits(fault::Call::Mkdir), 1);
  // EINTR is retried inside: the caller never sees it.
  fault::arm({fault::Call::Mkdir, EINTR, 0, 3, ""});
  EXPECT_TRUE(makeDirectory(t / "a", &err));
  fault::arm({fault::Call::Stat, EIO, 1, 1, "a"});  // the second stat fails
  EXPECT_TRUE(statPath(t / "a"));
  EXPECT_FALSE(statPath(t / "a", &err));
  EXPECT_EQ(err, EIO);
  EXPECT_TRUE(statPath(t / "a"));
  fault::disarmAll();
  EXPECT_EQ(fault::hits(fault::Call::Stat), 0);
}

TEST(FileSystem, TimesRoundTripWithNanoseconds) {
  TempDir t;
  std::string p = t.write("f", "x");
  FileTime w = fileTimeFromUnix(1130055720, 123456700);
  FileTime a = fileTimeFromUnix(1130055000, 0);
  ASSERT_TRUE(setFileTimes(p, w, a));
  auto s = statPath(p);
  EXPECT_EQ(s->lastWrite, w);
  EXPECT_EQ(s->lastAccess, a);
}

TEST(FileSystem, AbsolutePathIsNormalised) {
  EXPECT_EQ(absolutePath("/a/./b/../c/"), "/a/c");
  EXPECT_EQ(absolutePath("/../.."), "/");
  EXPECT_EQ(absolutePath("//x//y"), "/x/y");
  std::string rel = absolutePath("sub/../f");
  EXPECT_EQ(rel[0], '/');
  EXPECT_EQ(rel.substr(rel.size() - 2), "/f");
}

TEST(FileSystem, AttributeWordAndReadOnly) {
  TempDir t;
  std::string p = t.write(".hidden", "x");
  std::uint32_t a = 0;
  ASSERT_TRUE(getFileAttributes(t.path(), a));
  EXPECT_EQ(a & ATTR_DIRECTORY, ATTR_DIRECTORY);
  ASSERT_TRUE(getFileAttributes(p, a));
  EXPECT_TRUE(a & ATTR_HIDDEN);
  EXPECT_TRUE(a & ATTR_ARCHIVE);  // never reset: changed
  ASSERT_TRUE(setFileAttributes(p, ATTR_READONLY | ATTR_ARCHIVE));
  EXPECT_EQ(statPath(p)->mode & 0222, 0u);
  ASSERT_TRUE(getFileAttributes(p, a));
  EXPECT_TRUE(a & ATTR_READONLY);
  ASSERT_TRUE(setFileAttributes(p, ATTR_ARCHIVE));
  EXPECT_TRUE(statPath(p)->mode & S_IWUSR);
  EXPECT_FALSE(getFileAttributes(t / "missing", a));
}

TEST(FileSystem, ArchiveBitFollowsContentChanges) {
  TempDir t;
  std::string p = t.write("f", "x");
  if (!userXattrsWork(p)) GTEST_SKIP() << "no user xattrs on this file system";
  // The search reads the marker relative to its open directory: it must say what the path says.
  auto marked = [&] {
    const bool byPath = archiveBitSet(p, *statPath(p));
    DirectoryReader reader(t.path());
    DirEntry entry;
    while (reader.next(entry) && entry.name != "f") {}
    EXPECT_EQ(reader.archiveBitSet(entry), byPath);
    return byPath;
  };
  bool unsupported = false;
  ASSERT_TRUE(setFileAttributes(p, 0, nullptr, &unsupported));  // reset the archive bit
  EXPECT_FALSE(unsupported);
  std::uint32_t a = 0;
  ASSERT_TRUE(getFileAttributes(p, a));
  EXPECT_EQ(a, ATTR_NORMAL);
  EXPECT_FALSE(marked());
  // A new last-write time sets it again.
  ASSERT_TRUE(setFileTimes(p, fileTimeFromUnix(1000000000, 0), fileTimeFromUnix(1000000000, 0)));
  EXPECT_TRUE(marked());
  ASSERT_TRUE(setFileAttributes(p, 0));
  ASSERT_TRUE(setFileAttributes(p, ATTR_ARCHIVE));  // setting it removes the stamp
  EXPECT_TRUE(marked());
  // Read-only and reset together: the stamp is written before the file is protected.
  ASSERT_TRUE(setFileAttributes(p, ATTR_READONLY));
  EXPECT_FALSE(marked());
}

TEST(FileSystem, ArchiveResetWithoutXattrsIsANoOp) {
  TempDir t;
  std::string p = t.write("f", "x");
  fault::Scope scope;
  fault::arm({fault::Call::SetXattr, ENOTSUP, 0, -1, ""});
  bool unsupported = false;
  int err = 0;
  EXPECT_TRUE(setFileAttributes(p, 0, &err, &unsupported));
  EXPECT_TRUE(unsupported);
  EXPECT_TRUE(archiveBitSet(p, *statPath(p)));
  fault::arm({fault::Call::Chmod, EPERM, 0, 1, ""});
  EXPECT_FALSE(setFileAttributes(p, ATTR_READONLY, &err));
  EXPECT_EQ(err, EPERM);
}

TEST(FileSystem, SyncOfAFileSystem) {
  TempDir t;
  EXPECT_TRUE(syncFileSystemOf(t.path()));
  int err = 0;
  EXPECT_FALSE(syncFileSystemOf(t / "missing", &err));
  EXPECT_EQ(err, ENOENT);
}

TEST(TempFiles, PrivateDirectoryAndUniqueNames) {
  TempDir t;
  setenv("TMPDIR", t.path().c_str(), 1);
  EXPECT_EQ(temporaryDirectory(), t.path() + "/");
  std::string priv = privateTemporaryDirectory();
  EXPECT_EQ(priv, t.path() + "/Kalvero-" + std::to_string(geteuid()) + "/");
  EXPECT_EQ(statPath(priv)->mode & 0777, 0700u);
  std::string a = createUniqueTempFile(priv);
  std::string b = createUniqueTempFile(priv);
  EXPECT_NE(a, b);
  ASSERT_EQ(a.size(), priv.size() + 11);
  EXPECT_EQ(a.substr(priv.size(), 3), "$$$");
  EXPECT_EQ(a.substr(a.size() - 4), ".TMP");
  EXPECT_EQ(statPath(a)->mode & 0777, 0600u);
  int err = 0;
  EXPECT_EQ(createUniqueTempFile(t / "missing/", "$$$", &err), "");
  EXPECT_EQ(err, ENOENT);
  unsetenv("TMPDIR");
}

TEST(TempFiles, PlantedSymlinkIsNotUsed) {
  TempDir t;
  t.mkdir("elsewhere");
  setenv("TMPDIR", t.path().c_str(), 1);
  std::string name = t / ("Kalvero-" + std::to_string(geteuid()));
  ASSERT_EQ(symlink((t / "elsewhere").c_str(), name.c_str()), 0);
  EXPECT_EQ(privateTemporaryDirectory(), t.path() + "/");
  unsetenv("TMPDIR");
}
