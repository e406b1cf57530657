#include <gtest/gtest.h>

#include "app/PairCheck.h"

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
