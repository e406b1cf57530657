// Destination names of found files and the normalised form of job paths.
#include <unistd.h>

#include <gtest/gtest.h>

#include "backup/Walk.h"
#include "platform/FileSystem.h"
#include "support/TempDir.h"

namespace kalvero {
namespace {

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

}  // namespace
}  // namespace kalvero
