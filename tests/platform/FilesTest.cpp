#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>

#include "platform/FaultInjection.h"
#include "platform/FileError.h"
#include "platform/Files.h"
#include "support/TempDir.h"

using namespace kalvero::platform;
using kalvero::test::TempDir;

TEST(InputFile, ReadsAndThrowsFileErrors) {
  TempDir t;
  std::string p = t.write("daten.bin", "0123456789");
  InputFile f(p);
  EXPECT_EQ(f.size(), 10u);
  char buf[4];
  EXPECT_EQ(f.read(buf, 4), 4u);
  EXPECT_EQ(std::string(buf, 4), "0123");
  f.seek(8);
  EXPECT_EQ(f.position(), 8u);
  EXPECT_EQ(f.read(buf, 4), 2u);
  EXPECT_EQ(f.read(buf, 4), 0u);
  try {
    InputFile missing(t / "fehlt.bin");
    FAIL() << "no exception";
  } catch (const FileError& e) {
    EXPECT_EQ(e.cause(), CAUSE_FILE_NOT_FOUND);
    EXPECT_EQ(e.osError(), ENOENT);
    EXPECT_EQ(e.fileName(), t / "fehlt.bin");
    EXPECT_EQ(std::string(e.what()), "Die Datei '" + t / "fehlt.bin" + "' wurde nicht gefunden.");
  }
}

TEST(InputFile, InjectedReadFaults) {
  TempDir t;
  std::string p = t.write("f", "abcdef");
  InputFile f(p);
  fault::Scope scope;
  fault::arm({fault::Call::Read, 0, 0, 1, "", 2});  // one short read
  char buf[6];
  int err = 0;
  EXPECT_EQ(f.tryRead(buf, 6, &err), 2);  // the raw call passes it on
  fault::arm({fault::Call::Read, 0, 0, 2, "", 1});
  // read() goes on after short reads: a short count means the end of the file.
  EXPECT_EQ(f.read(buf, 4), 4u);
  EXPECT_EQ(std::string(buf, 4), "cdef");
  f.seek(0);
  fault::arm({fault::Call::Read, EINTR, 0, 2, ""});
  EXPECT_EQ(f.read(buf, 6), 6u);
  EXPECT_EQ(f.read(buf, 6), 0u);
  fault::arm({fault::Call::Read, EIO, 0, 1, ""});
  EXPECT_EQ(f.tryRead(buf, 1, &err), -1);
  EXPECT_EQ(err, EIO);
  fault::arm({fault::Call::Read, EIO, 0, 1, ""});
  EXPECT_THROW(f.read(buf, 1), FileError);
}

TEST(InputFile, StatusOfTheOpenFileOrItsErrno) {
  TempDir t;
  const std::string p = t.write("f", "abcdef");
  const struct timespec times[2] = {{1700000000, 5}, {1600000000, 123456789}};
  ASSERT_EQ(::utimensat(AT_FDCWD, p.c_str(), times, 0), 0);
  InputFile f(p);
  int err = 0;
  const std::optional<FileStatus> status = f.status(&err);
  ASSERT_TRUE(status.has_value());
  EXPECT_EQ(status->kind, EntryKind::File);
  EXPECT_EQ(status->size, 6u);
  EXPECT_EQ(status->mtimeSeconds, 1600000000);
  EXPECT_EQ(status->mtimeNanoseconds, 123456789);
  {
    fault::Scope scope;
    fault::arm({fault::Call::Stat, EIO, 0, 1, "", 0});
    EXPECT_FALSE(f.status(&err).has_value());
    EXPECT_EQ(err, EIO);
  }
  f.close();
  EXPECT_FALSE(f.status(&err).has_value());
  EXPECT_EQ(err, EBADF);
}

TEST(TextFileWriter, TruncatesAppendsAndReportsFullDisks) {
  TempDir t;
  std::string p = t / "log.txt";
  {
    TextFileWriter w;
    ASSERT_TRUE(w.open(p, TextFileWriter::Mode::Truncate));
    w.write("eins\r\n");
  }
  {
    TextFileWriter w;
    ASSERT_TRUE(w.open(p, TextFileWriter::Mode::Append));
    w.write("zwei\r\n");
    w.close();
  }
  EXPECT_EQ(t.read("log.txt"), "eins\r\nzwei\r\n");
  TextFileWriter w;
  ASSERT_TRUE(w.open(p, TextFileWriter::Mode::Truncate));
  w.write("x");
  fault::Scope scope;
  fault::arm({fault::Call::Write, ENOSPC, 0, 1, ""});
  try {
    w.flush();
    FAIL();
  } catch (const FileError& e) {
    EXPECT_EQ(e.cause(), CAUSE_DISK_FULL);
  }
  int err = 0;
  TextFileWriter bad;
  EXPECT_FALSE(bad.open(t / "no/such/dir", TextFileWriter::Mode::Truncate, &err));
  EXPECT_EQ(err, ENOENT);
}

TEST(TextFileWriter, ShortWritesAreCompleted) {
  TempDir t;
  TextFileWriter w;
  ASSERT_TRUE(w.open(t / "f", TextFileWriter::Mode::Truncate));
  fault::Scope scope;
  fault::arm({fault::Call::Write, 0, 0, 3, "", 1});
  w.write("abcdef");
  w.close();
  EXPECT_EQ(t.read("f"), "abcdef");
}

TEST(AtomicFileWriter, OldOrNewContentsOnly) {
  TempDir t;
  std::string p = t.write("ziel", "alt");
  {
    AtomicFileWriter w(p);
    ASSERT_TRUE(w.open());
    ASSERT_TRUE(w.write(std::string("neu")));
    EXPECT_EQ(t.read("ziel"), "alt");
  }  // not committed: discarded
  EXPECT_EQ(t.read("ziel"), "alt");
  AtomicFileWriter w(p);
  ASSERT_TRUE(w.open());
  ASSERT_TRUE(w.write(std::string("neu")));
  ASSERT_TRUE(w.commit());
  EXPECT_EQ(t.read("ziel"), "neu");
  std::string all;
  ASSERT_TRUE(readWholeFile(t.path() + "/ziel", all));
  EXPECT_EQ(all, "neu");
}

TEST(ReadWholeFile, RefusesDirectoriesAndSpecialFiles) {
  TempDir t;
  std::string out;
  int err = 0;
  EXPECT_FALSE(readWholeFile(t.path(), out, &err));
  EXPECT_EQ(err, EISDIR);
  ASSERT_EQ(mkfifo((t / "fifo").c_str(), 0600), 0);
  EXPECT_FALSE(readWholeFile(t / "fifo", out, &err));  // must not block
  EXPECT_EQ(err, EINVAL);
  EXPECT_FALSE(readWholeFile(t / "missing", out, &err));
  EXPECT_EQ(err, ENOENT);
}

TEST(FileError, CausesOfErrnoValues) {
  EXPECT_EQ(causeFromErrno(EACCES), CAUSE_ACCESS_DENIED);
  EXPECT_EQ(causeFromErrno(ENOSPC), CAUSE_DISK_FULL);
  EXPECT_EQ(causeFromErrno(EIO), CAUSE_HARD_IO);
  EXPECT_EQ(causeFromErrno(ENAMETOOLONG), CAUSE_BAD_PATH);
  EXPECT_EQ(causeFromErrno(EMFILE), CAUSE_TOO_MANY_OPEN_FILES);
  EXPECT_EQ(causeFromErrno(12345), CAUSE_GENERIC);
  FileError e(CAUSE_ACCESS_DENIED, EACCES, "/a b/ä.txt");
  EXPECT_STREQ(e.what(), "Der Zugriff auf '/a b/ä.txt' wurde verweigert.");
}
