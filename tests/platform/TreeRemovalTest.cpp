// Removing a whole tree: deeper than the levels kept open, read-only
// folders, links never followed, a link in place of the tree left alone.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "platform/TreeRemoval.h"
#include "support/TempDir.h"

namespace kalvero {
namespace {

using test::TempDir;

TEST(TreeRemoval, RemovesADeepTreeAndNothingALinkPointsTo) {
  TempDir t;
  const std::string outside = t.write("draussen/bleibt.txt", "x");
  std::string rel = "baum";
  for (int level = 0; level < 80; ++level) rel += "/e";
  t.write(rel + "/blatt.txt", "tief");
  t.write("baum/e/e/datei.txt", "flach");
  ASSERT_EQ(::symlink((t / "draussen").c_str(), (t / "baum/e/zu-draussen").c_str()), 0);
  ASSERT_EQ(::symlink((t / "draussen/bleibt.txt").c_str(), (t / (rel + "/zur-datei")).c_str()), 0);
  ASSERT_EQ(::chmod((t / "baum/e/e").c_str(), 0555), 0);

  int err = 0;
  EXPECT_TRUE(platform::removeTree(t / "baum", &err)) << err;
  EXPECT_FALSE(t.exists("baum"));
  EXPECT_EQ(test::readFile(outside), "x");
}

TEST(TreeRemoval, ALinkInPlaceOfTheTreeIsNotFollowed) {
  TempDir t;
  t.write("draussen/bleibt.txt", "x");
  ASSERT_EQ(::symlink((t / "draussen").c_str(), (t / "baum").c_str()), 0);
  int err = 0;
  EXPECT_FALSE(platform::removeTree(t / "baum", &err));
  EXPECT_NE(err, 0);
  EXPECT_EQ(t.read("draussen/bleibt.txt"), "x");
}

}  // namespace
}  // namespace kalvero
