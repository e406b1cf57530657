#include <unistd.h>

#include <gtest/gtest.h>

#include "app/PairCheck.h"
#include "support/TempDir.h"

using namespace kalvero;

TEST(PairCheck, RefusesWhatCannotBeStoredOrWouldCopyItself) {
  EXPECT_EQ(CheckPairInput({1, 1, "/home/a", "/media/usb/a", {{1, "/home/a/tmp"}, {0, "/home/a"}}}), "");
  EXPECT_EQ(CheckPairInput({1, 1, "/home/a", "/home/ab", {}}), "");  // a neighbour, not inside
  EXPECT_EQ(CheckPairInput({1, 1, "/home/a/", "/home/a-backup", {}}), "");
  EXPECT_NE(CheckPairInput({1, 1, "/home/a", "/home/a/backup", {}}), "");
  EXPECT_NE(CheckPairInput({1, 1, "/home/a/", "/home/a", {}}), "");
  EXPECT_NE(CheckPairInput({1, 1, "/", "/media/usb", {}}), "");
  EXPECT_NE(CheckPairInput({1, 1, "/a|b", "/c", {}}), "");
  EXPECT_NE(CheckPairInput({1, 1, "/a", "/c\nd", {}}), "");
  EXPECT_NE(CheckPairInput({1, 1, "/a", "/c", {{1, "/ab"}}}), "");
  EXPECT_NE(CheckPairInput({1, 1, "/a", "/c", {{1, "/a/x\n"}}}), "");
  EXPECT_NE(CheckPairInput({1, 1, "", "/c", {}}), "");
  EXPECT_EQ(CheckPairInput({1, 1, "/a", "/c", {{1, "/a/x"}}}).find('\n'), std::string::npos);
}

TEST(PairCheck, ADestinationInsideItsSourceIsFoundThroughALinkOrDotDot) {
  test::TempDir t;
  t.mkdir("home/a");
  t.mkdir("media");
  ASSERT_EQ(symlink((t / "home/a").c_str(), (t / "media/zu-a").c_str()), 0);
  EXPECT_NE(CheckPairInput({1, 1, t / "home/a", t / "media/zu-a/Sicherung", {}}), "");
  EXPECT_NE(CheckPairInput({1, 1, t / "media/zu-a", t / "home/a/Sicherung", {}}), "");
  EXPECT_NE(CheckPairInput({1, 1, t / "home/a", t / "media/../home/a/x", {}}), "");
  EXPECT_EQ(CheckPairInput({1, 1, t / "home/a", t / "media/Sicherung", {}}), "");
}
