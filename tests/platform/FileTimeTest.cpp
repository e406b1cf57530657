#include <gtest/gtest.h>

#include "platform/FileTime.h"

using namespace kalvero::platform;

TEST(FileTime, UnixConversionKeepsHundredNanoseconds) {
  EXPECT_EQ(fileTimeFromUnix(0, 0), 116444736000000000ULL);
  FileTime t = fileTimeFromUnix(1130055720, 987654321);
  EXPECT_EQ(unixSecondsFromFileTime(t), 1130055720);
  EXPECT_EQ(unixNanosecondsPart(t), 987654300);
  EXPECT_EQ(fileTimeFromUnix(-20000000000LL, 0), 0u);  // before 1601
}

TEST(FileTime, LocalCalendarRoundTrip) {
  LocalTime l{2005, 10, 23, 10, 22, 0, 0};
  std::int64_t s = unixFromLocal(l);
  ASSERT_GT(s, 0);
  LocalTime back;
  ASSERT_TRUE(localFromUnix(s, back));
  EXPECT_EQ(back.year, 2005);
  EXPECT_EQ(back.month, 10);
  EXPECT_EQ(back.day, 23);
  EXPECT_EQ(back.hour, 10);
  EXPECT_EQ(back.dayOfWeek, 0);  // a Sunday
  EXPECT_EQ(unixFromLocal(LocalTime{1960, 1, 1, 0, 0, 0, 0}), -1);
  EXPECT_EQ(unixFromLocal(LocalTime{2005, 13, 1, 0, 0, 0, 0}), -1);
  EXPECT_GT(localNow().year, 2000);
}
