#include <gtest/gtest.h>

#include "backup/CopyRegister.h"

namespace kalvero {
namespace {

TEST(CopyRegister, KeepsEveryCopyThroughGrowthPerDevice) {
  // Unannounced, announced too few (the tables grow again) or as many as come.
  for (const std::size_t expected : {0, 1000, 50000}) {
    SCOPED_TRACE(expected);
    CopyRegister r;
    r.expect(expected);
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
}

// Inode numbers that differ only above their lower 32 bits are other files;
// a source hash keeps all its bits.
TEST(CopyRegister, TellsInodesApartByTheirUpperHalf) {
  CopyRegister r;
  const std::uint64_t high = std::uint64_t{1} << 32;
  r.set(1, 5, 0xFFFFFFFF00000001ULL);
  r.set(1, high | 5, 2);
  r.set(1, (high * 7) | 5, 0x8000000000000000ULL);
  EXPECT_EQ(r.find(1, 5), 0xFFFFFFFF00000001ULL);
  EXPECT_EQ(r.find(1, high | 5), 2u);
  EXPECT_EQ(r.find(1, (high * 7) | 5), 0x8000000000000000ULL);
  EXPECT_FALSE(r.find(1, (high * 2) | 5));
  EXPECT_FALSE(r.find(2, 5));
}

}  // namespace
}  // namespace kalvero
