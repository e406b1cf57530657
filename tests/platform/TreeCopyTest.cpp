// Links, directory attributes and what a file copy carries besides its
// bytes: holes, modes, owners, user xattrs and ACLs.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "platform/DestinationRoot.h"
#include "platform/FaultInjection.h"
#include "platform/ErrorNumber.h"
#include "platform/FileCopy.h"
#include "platform/TreeCopy.h"
#include "support/TempDir.h"

namespace kalvero::platform {
namespace {

using test::TempDir;

using test::linkText;
using test::lstatOf;
using test::userXattrsWork;

std::string xattr(const std::string& path, const char* name) {
  char buf[256];
  const ssize_t n = getxattr(path.c_str(), name, buf, sizeof buf);
  return n < 0 ? std::string("<fehlt>") : std::string(buf, static_cast<std::size_t>(n));
}

TEST(TreeCopy, LinksAreCopiedAsLinksNeverFollowed) {
  TempDir t;
  t.write("ziel", "inhalt");
  t.mkdir("backup");
  const std::string longTarget(4095, 'x');
  const std::vector<std::pair<std::string, std::string>> links{
      {"datei", "ziel"}, {"wurzel", "/"}, {"kreis", "kreis"}, {"lang", longTarget}, {"leer", "nirgends/da"}};
  for (const auto& [name, target] : links) ASSERT_EQ(symlink(target.c_str(), (t / name).c_str()), 0) << name;
  for (const auto& [name, target] : links) {
    int err = 0;
    ASSERT_TRUE(copySymlink(t / name, t / ("backup/" + name), &err)) << name << " " << err;
    EXPECT_EQ(linkText(t / ("backup/" + name)), target) << name;
    EXPECT_EQ(lstatOf(t / ("backup/" + name)).st_mtim.tv_sec, lstatOf(t / name).st_mtim.tv_sec) << name;
  }
  // An existing file or link is replaced, never written through; a directory is refused.
  t.write("backup/ersetzt", "alt");
  ASSERT_TRUE(copySymlink(t / "datei", t / "backup/ersetzt"));
  EXPECT_EQ(linkText(t / "backup/ersetzt"), "ziel");
  ASSERT_TRUE(copySymlink(t / "wurzel", t / "backup/datei"));
  EXPECT_EQ(linkText(t / "backup/datei"), "/");
  EXPECT_EQ(t.read("ziel"), "inhalt");
  t.mkdir("backup/verz");
  int err = 0;
  EXPECT_FALSE(copySymlink(t / "datei", t / "backup/verz", &err));
  EXPECT_EQ(err, EISDIR);
  EXPECT_FALSE(copySymlink(t / "ziel", t / "backup/x", &err));  // not a link
  EXPECT_EQ(err, EINVAL);

  // A destination without links (symlink() fails EPERM there): a clear failure, nothing left behind.
  fault::Scope scope;
  fault::arm({fault::Call::Open, EPERM, 0, -1, ".neu.kalvero-"});
  EXPECT_FALSE(copySymlink(t / "datei", t / "backup/neu", &err));
  EXPECT_EQ(err, EPERM);
  EXPECT_FALSE(t.exists("backup/neu"));
}

TEST(TreeCopy, DirectoryAttributesModeTimesOwnerAndXattrs) {
  TempDir t;
  t.mkdir("quelle");
  t.mkdir("kopie");
  const std::string q = t / "quelle", k = t / "kopie";
  ASSERT_EQ(chmod(q.c_str(), 02750), 0);
  const bool xattrs = userXattrsWork(q);
  if (xattrs) {
    ASSERT_EQ(setxattr(q.c_str(), "user.farbe", "blau", 4, 0), 0);
  }
  if (test::runningAsRoot()) {
    ASSERT_EQ(chown(q.c_str(), 4321, 8765), 0);
    ASSERT_EQ(chmod(q.c_str(), 02750), 0);
  }
  const struct timespec times[2] = {{1000000000, 5}, {1200000000, 7}};
  ASSERT_EQ(utimensat(AT_FDCWD, q.c_str(), times, 0), 0);
  takeMetadataLosses();

  ASSERT_TRUE(copyDirectoryAttributes(q, k));
  const struct stat s = lstatOf(q), c = lstatOf(k);
  EXPECT_EQ(c.st_mtim.tv_sec, 1200000000);
  EXPECT_EQ(c.st_mtim.tv_nsec, 7);
  EXPECT_EQ(c.st_atim.tv_sec, 1000000000);
  if (xattrs) {
    EXPECT_EQ(xattr(k, "user.farbe"), "blau");
  }
  if (test::runningAsRoot()) {
    EXPECT_EQ(c.st_mode & 07777, 02750u);
    EXPECT_EQ(c.st_uid, s.st_uid);
    EXPECT_EQ(c.st_gid, s.st_gid);
    EXPECT_FALSE(takeMetadataLosses().owner);
  }
  // A later run: a copy that matches is left alone, but a mode or an xattr
  // changed at the same time stamp still travels.
  ASSERT_TRUE(copyDirectoryAttributes(q, k));
  if (xattrs) {
    ASSERT_EQ(setxattr(q.c_str(), "user.farbe", "rot", 3, 0), 0);
    ASSERT_EQ(utimensat(AT_FDCWD, q.c_str(), times, 0), 0);
    ASSERT_TRUE(copyDirectoryAttributes(q, k));
    EXPECT_EQ(xattr(k, "user.farbe"), "rot");
  }
  ASSERT_EQ(chmod(q.c_str(), 0705), 0);
  ASSERT_TRUE(copyDirectoryAttributes(q, k));
  EXPECT_EQ(lstatOf(k).st_mode & 07777, 0705u);
  int err = 0;
  EXPECT_FALSE(copyDirectoryAttributes(q, t / "fehlt", &err));
  EXPECT_EQ(err, ENOENT);
}

TEST(TreeCopy, FileCopyKeepsHolesXattrsAndAclsButNotTheMarker) {
  TempDir t;
  const std::string q = t / "platte.img";
  {
    const int fd = open(q.c_str(), O_CREAT | O_WRONLY, 0640);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(pwrite(fd, "anfang", 6, 0), 6);
    ASSERT_EQ(pwrite(fd, "mitte", 5, 64 << 20), 5);
    ASSERT_EQ(ftruncate(fd, 512 << 20), 0);  // 512 MiB, a few KB of data
    close(fd);
  }
  const bool xattrs = userXattrsWork(q);
  if (xattrs) {
    ASSERT_EQ(setxattr(q.c_str(), "user.notiz", "wichtig", 7, 0), 0);
    ASSERT_EQ(setxattr(q.c_str(), "user.kalvero.archived", "1:2:3", 5, 0), 0);
    // An ACL entry for one more user (version 2, user_obj, user 4711, group_obj, mask, other).
    const unsigned char acl[] = {2, 0, 0, 0, 1, 0, 6, 0, 0xff, 0xff, 0xff, 0xff, 2, 0, 4, 0, 0x67, 0x12, 0, 0,
                                 4, 0, 4, 0, 0xff, 0xff, 0xff, 0xff, 0x10, 0, 4, 0, 0xff, 0xff, 0xff, 0xff,
                                 0x20, 0, 0, 0, 0xff, 0xff, 0xff, 0xff};
    ASSERT_EQ(setxattr(q.c_str(), "system.posix_acl_access", acl, sizeof acl, 0), 0);
  }
  takeMetadataLosses();
  ASSERT_TRUE(copyFile(q, t / "kopie.img", nullptr));
  const struct stat s = lstatOf(q), c = lstatOf(t / "kopie.img");
  EXPECT_EQ(c.st_size, s.st_size);
  EXPECT_LT(c.st_blocks * 512, 4 << 20) << "the holes were written out";
  EXPECT_EQ(c.st_mode & 07777, s.st_mode & 07777);
  {
    char buf[5] = {};
    const int fd = open((t / "kopie.img").c_str(), O_RDONLY);
    ASSERT_EQ(pread(fd, buf, 5, 64 << 20), 5);
    EXPECT_EQ(std::string(buf, 5), "mitte");
    ASSERT_EQ(pread(fd, buf, 5, 0), 5);
    EXPECT_EQ(std::string(buf, 5), "anfan");
    close(fd);
  }
  if (xattrs) {
    EXPECT_EQ(xattr(t / "kopie.img", "user.notiz"), "wichtig");
    EXPECT_EQ(xattr(t / "kopie.img", "user.kalvero.archived"), "<fehlt>");
    EXPECT_EQ(xattr(t / "kopie.img", "system.posix_acl_access"), xattr(q, "system.posix_acl_access"));
    EXPECT_FALSE(takeMetadataLosses().extendedAttributes);

    // A destination that refuses xattrs: the copy is made, the loss noted.
    fault::Scope scope;
    fault::arm({fault::Call::SetXattr, ENOTSUP, 0, -1, "kalvero-"});
    ASSERT_TRUE(copyFile(q, t / "ohne.img", nullptr));
    EXPECT_TRUE(takeMetadataLosses().extendedAttributes);
    EXPECT_FALSE(takeMetadataLosses().extendedAttributes);  // taken once
  }
  // A source that is a link is not read through it.
  ASSERT_EQ(symlink(q.c_str(), (t / "verweis").c_str()), 0);
  int err = 0;
  EXPECT_FALSE(copyFile(t / "verweis", t / "durch", nullptr, &err));
  EXPECT_EQ(err, kErrorNotRegularFile);
}

TEST(TreeCopy, OwnersAsRootAndSetuidOnlyForTheOwner) {
  TempDir t;
  const std::string q = t.write("prog", "#!/bin/sh\n");
  ASSERT_EQ(chmod(q.c_str(), 06755), 0);
  if (test::runningAsRoot()) {
    ASSERT_EQ(chown(q.c_str(), 4321, 8765), 0);
    ASSERT_EQ(chmod(q.c_str(), 06755), 0);  // chown cleared the bits
    ASSERT_TRUE(copyFile(q, t / "kopie", nullptr));
    const struct stat c = lstatOf(t / "kopie");
    EXPECT_EQ(c.st_uid, 4321u);
    EXPECT_EQ(c.st_gid, 8765u);
    EXPECT_EQ(c.st_mode & 07777, 06755u);
    ASSERT_EQ(symlink("prog", (t / "l").c_str()), 0);
    ASSERT_EQ(lchown((t / "l").c_str(), 4321, 8765), 0);
    ASSERT_TRUE(copySymlink(t / "l", t / "l2"));
    EXPECT_EQ(lstatOf(t / "l2").st_uid, 4321u);
    return;
  }
  // Not root: the user's own file keeps setuid; a setgid of a foreign group is dropped.
  ASSERT_TRUE(copyFile(q, t / "kopie", nullptr));
  const struct stat s = lstatOf(q), c = lstatOf(t / "kopie");
  EXPECT_EQ(c.st_mode & S_ISUID, S_ISUID);
  EXPECT_EQ((c.st_mode & S_ISGID) != 0, c.st_gid == s.st_gid);
}

TEST(TreeCopy, ThePairsOwnFolderGetsTheSourceRootsTimes) {
  TempDir t;
  t.mkdir("quelle");
  ASSERT_EQ(chmod((t / "quelle").c_str(), 0750), 0);
  const struct timespec times[2] = {{1500000000, 0}, {-100000000, 7}};  // a time before 1970 stays
  // Made by the run: the source root's mode and times.
  DestinationRoot made;
  made.begin(t / "neu/");
  t.write("neu/datei", "x");
  ASSERT_EQ(utimensat(AT_FDCWD, (t / "quelle").c_str(), times, 0), 0);
  ASSERT_TRUE(made.finish(t / "quelle/"));
  EXPECT_EQ(lstatOf(t / "neu").st_mode & 07777, 0750u);
  EXPECT_EQ(lstatOf(t / "neu").st_mtim.tv_sec, -100000000);
  // There before, read-only: writable during the run, its own mode again afterwards.
  t.mkdir("alt");
  ASSERT_EQ(chmod((t / "alt").c_str(), 0555), 0);
  DestinationRoot existing;
  existing.begin(t / "alt");
  EXPECT_EQ(lstatOf(t / "alt").st_mode & 0200, 0200u);
  t.write("alt/datei", "x");
  ASSERT_TRUE(existing.finish(t / "quelle"));
  EXPECT_EQ(lstatOf(t / "alt").st_mode & 07777, 0555u);
  EXPECT_EQ(lstatOf(t / "alt").st_mtim.tv_nsec, 7);
  ASSERT_EQ(chmod((t / "alt").c_str(), 0755), 0);
  // Nothing written: nothing made.
  DestinationRoot none;
  none.begin(t / "nie");
  EXPECT_TRUE(none.finish(t / "quelle"));
  EXPECT_FALSE(t.exists("nie"));
}

}  // namespace
}  // namespace kalvero::platform
