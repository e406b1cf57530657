#include <gtest/gtest.h>

#include <cerrno>

#include "platform/PathUtil.h"
#include "platform/FaultInjection.h"
#include "support/TempDir.h"

using namespace kalvero;
using kalvero::test::TempDir;
namespace fault = kalvero::platform::fault;

TEST(PathUtil, PathKinds) {
  TempDir t;
  t.write("f", "x");
  EXPECT_EQ(GetPathKind("/"), PathKind::Directory);
  EXPECT_EQ(GetPathKind(t.path()), PathKind::Directory);
  EXPECT_EQ(GetPathKind(t.path() + "/"), PathKind::Directory);
  EXPECT_EQ(GetPathKind(t / "f"), PathKind::File);
  EXPECT_EQ(GetPathKind(t / "nichts"), PathKind::Nothing);
  EXPECT_EQ(GetPathKind(""), PathKind::Nothing);
  EXPECT_EQ(GetPathKind("/" + std::string(4096, 'a')), PathKind::Nothing);
}

TEST(PathUtil, MakeDirectoriesCreatesEveryMissingLevel) {
  TempDir t;
  t.mkdir("x");
  EXPECT_TRUE(MakeDirectories(t / "x/y/z/"));
  EXPECT_EQ(GetPathKind(t / "x/y/z"), PathKind::Directory);
  EXPECT_TRUE(MakeDirectories(t / "x/y/z"));
  EXPECT_TRUE(MakeDirectories("/"));
  EXPECT_TRUE(MakeDirectories(""));
  t.write("datei", "x");
  int err = 0;
  EXPECT_FALSE(MakeDirectories(t / "datei/unter", &err));
  EXPECT_EQ(err, EEXIST);  // a file where a directory is needed
  fault::Scope scope;
  fault::arm({fault::Call::Mkdir, EACCES, 1, 1, ""});
  EXPECT_FALSE(MakeDirectories(t / "a/b/c", &err));
  EXPECT_EQ(err, EACCES);
  EXPECT_EQ(GetPathKind(t / "a"), PathKind::Directory);  // levels made so far stay
  EXPECT_EQ(GetPathKind(t / "a/b"), PathKind::Nothing);
}

TEST(PathUtil, ParentAndSplit) {
  EXPECT_EQ(ParentDirectory("/a/b"), "/a/");
  EXPECT_EQ(ParentDirectory("/a/b/"), "/a/b/");
  EXPECT_EQ(ParentDirectory("b"), "");
  EXPECT_EQ(ParentDirectory(""), "");
  SplitPath s("/data/sub/brief.doc");
  EXPECT_EQ(s.dir, "/data/sub/");
  EXPECT_EQ(s.fname, "brief");
  EXPECT_EQ(s.ext, ".doc");
  SplitPath h("/home/u/.bashrc");
  EXPECT_EQ(h.fname, ".bashrc");
  EXPECT_EQ(h.ext, "");
  SplitPath m("archiv.tar.gz");
  EXPECT_EQ(m.dir, "");
  EXPECT_EQ(m.fname, "archiv.tar");
  EXPECT_EQ(m.ext, ".gz");
  SplitPath d("/a.b/c");
  EXPECT_EQ(d.fname, "c");
  EXPECT_EQ(d.ext, "");
}

TEST(PathUtil, ExtractFieldCountsSeparators) {
  std::string out;
  EXPECT_TRUE(ExtractField(out, "a,,b", 1, ','));
  EXPECT_EQ(out, "a");
  EXPECT_TRUE(ExtractField(out, "a,,b", 2, ','));
  EXPECT_EQ(out, "");
  EXPECT_TRUE(ExtractField(out, "a,,b", 3, ','));
  EXPECT_EQ(out, "b");
  EXPECT_FALSE(ExtractField(out, "a,,b", 4, ','));
  EXPECT_EQ(out, "");
  EXPECT_TRUE(ExtractField(out, "a|b", 0, '|'));
  EXPECT_EQ(out, "a");
  EXPECT_TRUE(ExtractField(out, "", 1, '|'));
  EXPECT_EQ(out, "");
}
