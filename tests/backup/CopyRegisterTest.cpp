#include <gtest/gtest.h>

#include "backup/CopyRegister.h"

namespace kalvero {
namespace {

TEST(CopyRegister, KeepsEveryCopyThroughGrowthPerDevice) {
  CopyRegister r;
  // Enough copies that each of a device's tables grows several times.
  for (std::uint64_t i = 0; i < 50000; ++i) {
    r.set(1, i, i + 7);
    r.set(2, i * 4096, i);  // inode numbers far apart, on another device
  }
  r.set(1, 42, 99);  // a second copy onto the same file replaces the first
  for (std::uint64_t i = 0; i < 50000; ++i) {
    ASSERT_EQ(r.find(1, i), i == 42 ? 99 : i + 7);
    ASSERT_EQ(r.find(2, i * 4096), i);
  }
  EXPECT_FALSE(r.find(1, 50000));
  EXPECT_FALSE(r.find(3, 1));
}

}  // namespace
}  // namespace kalvero
