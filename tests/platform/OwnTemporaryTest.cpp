// The program's own temporaries: told apart from a user's files by their
// keyed tag, removed after a killed run, and the lock that keeps two runs
// out of one destination.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <atomic>
#include <filesystem>
#include <thread>
#include <set>

#include "platform/ErrorNumber.h"
#include "platform/FileError.h"
#include "platform/Files.h"
#include "platform/KeyedHash.h"
#include "platform/Leftovers.h"
#include "platform/OwnTemporary.h"
#include "platform/RunLock.h"
#include "platform/SourceFile.h"
#include "platform/UserDirs.h"
#include "support/TempDir.h"

namespace kalvero::platform {
namespace {

using test::TempDir;

std::string nameOf(const std::string& path) { return path.substr(path.rfind('/') + 1); }

std::set<std::string> namesIn(const TempDir& t, const std::string& rel = "") {
  std::set<std::string> out;
  for (const auto& e : std::filesystem::directory_iterator(rel.empty() ? t.path() : t / rel))
    out.insert(e.path().filename().string());
  return out;
}

TEST(KeyedHash, GivesTheReferenceValues) {
  const HashKey key{0x0706050403020100ULL, 0x0f0e0d0c0b0a0908ULL};
  EXPECT_EQ(keyedHash(key, ""), 0x726fdb47dd0e0e31ULL);
  EXPECT_EQ(keyedHash(key, std::string_view("\x00\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0a\x0b\x0c\x0d\x0e", 15)),
            0xa129ca6149be45e5ULL);
}

TEST(OwnTemporary, OnlyTheProgramsOwnNamesAreKnown) {
  TempDir t;
  const std::string a = ownTemporaryBeside(t / "a.txt");
  EXPECT_EQ(a.rfind(t / ".a.txt.kalvero-", 0), 0u) << a;
  EXPECT_TRUE(isProgramTemporaryName(nameOf(a)));
  EXPECT_TRUE(isOwnTemporaryOf(nameOf(a), t / "a.txt"));
  EXPECT_FALSE(isOwnTemporaryOf(nameOf(a), t / "b.txt"));
  EXPECT_NE(ownTemporaryBeside(t / "a.txt"), a);
  // Names a user may type, and ours with one character changed, are the user's.
  std::string changed = nameOf(a);
  changed[changed.size() - 9] = changed[changed.size() - 9] == 'x' ? 'y' : 'x';
  for (const std::string& name : {std::string(".notes.kalvero-backup"), std::string(".x.kalvero-abcdef"),
                                  std::string(".unpack.kalvero-000000"), std::string(".a.kalvero-ABCDEFGHabcdefgh"),
                                  changed, nameOf(a).substr(1), std::string("a.txt")})
    EXPECT_FALSE(isProgramTemporaryName(name)) << name;
  // A name at the limit keeps its temporary a valid name, a multibyte character whole.
  std::string longName;
  while (longName.size() < 254) longName += "\xc3\xa4";
  const std::string cut = nameOf(ownTemporaryBeside(t / longName));
  EXPECT_LE(cut.size(), 255u);
  EXPECT_TRUE(isProgramTemporaryName(cut));
  EXPECT_TRUE(isOwnTemporaryOf(cut, t / longName));
  EXPECT_EQ(cut.find("\xc3.kalvero-"), std::string::npos);
}

TEST(OwnTemporary, TheKeyIsTheUsersOwn) {
  const std::string file = ownTemporaryKeyFile();
  ASSERT_FALSE(file.empty());
  struct stat st {};
  ASSERT_EQ(::lstat(file.c_str(), &st), 0);
  EXPECT_TRUE(S_ISREG(st.st_mode));
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  EXPECT_EQ(st.st_uid, ::geteuid());
  ASSERT_EQ(::lstat(file.substr(0, file.rfind('/')).c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
}

TEST(Leftovers, OnlyTheProgramsOwnGo) {
  TempDir t;
  t.write("a.txt", "kopie");
  const std::string copy = ownTemporaryBeside(t / "a.txt");
  t.write(nameOf(copy), "halb");
  const std::string staging = ownTemporaryBeside(t / "unpack");
  t.write(nameOf(staging) + "/0/" + nameOf(ownTemporaryBeside(t / "17")), "halb");
  ASSERT_EQ(::symlink("/", (ownTemporaryBeside(t / "link")).c_str()), 0);  // a link made in two steps
  const std::string checkTemp = ownTemporaryBeside(t / "pruef.txt");
  t.write(nameOf(checkTemp), "halb");
  for (const char* user : {".notes.kalvero-backup", ".x.kalvero-abcdef", "sub/.y.kalvero-abcdef"})
    t.write(user, "eigen");
  t.write("sub/" + nameOf(ownTemporaryBeside(t / "b")), "tiefer");  // another directory: not this sweep's

  EXPECT_EQ(SweepOwnLeftoversOf(t / "pruef.txt"), 1);
  EXPECT_FALSE(t.exists(nameOf(checkTemp)));
  EXPECT_EQ(SweepOwnLeftovers(t.path()), 3);
  EXPECT_EQ(namesIn(t), (std::set<std::string>{"a.txt", ".notes.kalvero-backup", ".x.kalvero-abcdef", "sub"}));
  EXPECT_EQ(namesIn(t, "sub").size(), 2u);
  EXPECT_EQ(SweepOwnLeftovers(t.path()), 0);
  EXPECT_EQ(SweepOwnLeftovers(t / "fehlt"), 0);

  // A run sweeps each directory once, at its first visit, and only while it holds its destination.
  LeftoverSweep sweep;
  t.write("sub/" + nameOf(ownTemporaryBeside(t / "sub/c")), "halb");
  sweep.visit(t / "sub");
  EXPECT_EQ(sweep.takeRemoved(), 0);
  sweep.enable(true);
  sweep.visit(t / "sub/");
  EXPECT_EQ(sweep.takeRemoved(), 2);
  t.write("sub/" + nameOf(ownTemporaryBeside(t / "sub/d")), "this run's own, in progress");
  sweep.visit(t / "sub");
  EXPECT_EQ(sweep.takeRemoved(), 0);
  EXPECT_EQ(namesIn(t, "sub").size(), 2u);
}

// The locks of a test go to a runtime directory of its own.
struct RuntimeDirectory {
  explicit RuntimeDirectory(const TempDir& t) { setenv("XDG_RUNTIME_DIR", (t / "laufzeit").c_str(), 1); }
  ~RuntimeDirectory() { unsetenv("XDG_RUNTIME_DIR"); }
};

TEST(RunLock, OneRunPerDestinationTree) {
  TempDir t;
  RuntimeDirectory runtime(t);
  t.mkdir("ziel");
  RunLock first, second;
  EXPECT_EQ(first.add(t / "ziel"), RunLock::Result::Held);
  EXPECT_EQ(first.add(t / "ziel/"), RunLock::Result::Held);   // one run, two pairs into one destination
  EXPECT_EQ(first.add(t / "ziel/pc"), RunLock::Result::Held);  // and one inside it
  EXPECT_EQ(second.add(t / "ziel"), RunLock::Result::Busy);
  EXPECT_EQ(second.add(t / "ziel/pc/neu"), RunLock::Result::Busy);  // inside, not made yet
  EXPECT_EQ(second.add(t.path()), RunLock::Result::Busy);           // around it
  ASSERT_EQ(::symlink((t / "ziel").c_str(), (t / "verweis").c_str()), 0);
  EXPECT_EQ(second.add(t / "verweis"), RunLock::Result::Busy);  // the same tree by another name
  EXPECT_EQ(second.add(t / "daneben"), RunLock::Result::Held);  // a neighbour is free
  EXPECT_EQ(RunLock::resolvedRoot(t / "verweis/a/../b"), t / "ziel/b");
  first.release();
  EXPECT_EQ(second.add(t / "ziel"), RunLock::Result::Held);
  second.release();
  // The last holder removes the lock files: none is left in the runtime directory.
  EXPECT_EQ(userRuntimeDirectory(), t / "laufzeit/kalvero/");
  for (const auto& e : std::filesystem::directory_iterator(userRuntimeDirectory()))
    EXPECT_EQ(e.path().filename().string().rfind("run-", 0), std::string::npos) << e.path();
}

// Runs into neighbouring trees share the locks of the folders above them;
// one letting them go (and removing their files) never makes the other busy.
TEST(RunLock, NeighboursComingAndGoingNeverSeeEachOtherBusy) {
  TempDir t;
  RuntimeDirectory runtime(t);
  std::atomic<int> busy{0};
  const auto comeAndGo = [&](const std::string& root) {
    for (int i = 0; i < 300; ++i) {
      RunLock lock;
      if (lock.add(root) != RunLock::Result::Held) ++busy;
    }
  };
  std::thread a(comeAndGo, t / "links"), b(comeAndGo, t / "rechts");
  a.join();
  b.join();
  EXPECT_EQ(busy.load(), 0);
}

TEST(RunLock, AKilledRunLeavesNoLock) {
  TempDir t;
  RuntimeDirectory runtime(t);
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    RunLock lock;
    const char held = lock.add(t / "ziel") == RunLock::Result::Held ? 'h' : 'n';
    (void)!::write(ready[1], &held, 1);
    for (;;) ::pause();
  }
  char held = 0;
  ASSERT_EQ(::read(ready[0], &held, 1), 1);
  EXPECT_EQ(held, 'h');
  RunLock other;
  EXPECT_EQ(other.add(t / "ziel"), RunLock::Result::Busy);
  ::kill(child, SIGKILL);
  ::waitpid(child, nullptr, 0);
  EXPECT_EQ(other.add(t / "ziel"), RunLock::Result::Held);
  ::close(ready[0]);
  ::close(ready[1]);
}

TEST(SourceFile, NeverOpensWhatIsNoRegularFile) {
  TempDir t;
  t.write("datei", "inhalt");
  ASSERT_EQ(::mkfifo((t / "fifo").c_str(), 0600), 0);
  ASSERT_EQ(::symlink((t / "datei").c_str(), (t / "link").c_str()), 0);
  const int fd = openSourceFile(t / "datei");
  ASSERT_GE(fd, 0);
  char c = 0;
  EXPECT_EQ(::read(fd, &c, 1), 1);  // reads block again: a regular file
  ::close(fd);
  for (const char* name : {"fifo", "link"}) {
    errno = 0;
    EXPECT_EQ(openSourceFile(t / name), -1) << name;  // and returns: no wait for a writer
    EXPECT_EQ(errno, kErrorNotRegularFile) << name;
  }
  EXPECT_EQ(openSourceFile(t.path()), -1);
  EXPECT_EQ(errno, EISDIR);
  // The file classes say it in German.
  InputFile in;
  int err = 0;
  EXPECT_FALSE(in.openSource(t / "fifo", &err));
  EXPECT_EQ(err, kErrorNotRegularFile);
  const FileError e(causeFromErrno(err), err, t / "fifo");
  EXPECT_NE(std::string(e.what()).find("'" + t / "fifo" + "' ist keine gewöhnliche Datei mehr"), std::string::npos);
  EXPECT_NE(errorDescription(err).find("ist keine gewöhnliche Datei mehr"), std::string::npos);
}

}  // namespace
}  // namespace kalvero::platform
