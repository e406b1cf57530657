#include <gtest/gtest.h>

#include "app/DateTime.h"
#include "app/SettingsFields.h"

using namespace kalvero;

TEST(DateTime, SerialDaysFromThe30thOfDecember1899) {
  DateTime d = DateTime::fromCalendar({2005, 10, 23, 10, 22, 0});
  ASSERT_TRUE(d.valid());
  EXPECT_NEAR(d.serial(), 38648.4319444444, 1e-9);
  EXPECT_EQ(d.format(), "23.10.2005 10:22:00");
  EXPECT_EQ(DateTime::fromSerial(0).format(), "30.12.1899 00:00:00");
  EXPECT_EQ(DateTime::fromSerial(-1.25).format(), "29.12.1899 06:00:00");
  EXPECT_EQ(DateTime::fromSerial(2.5).format("%Y-%m-%d %H:%M"), "1900-01-01 12:00");
  CalendarTime c;
  ASSERT_TRUE(DateTime::fromSerial(36526.999999).toCalendar(c));  // 1.1.2000 23:59:59.91 rounds up
  EXPECT_EQ(c.day, 2);
  EXPECT_EQ(c.year, 2000);
}

TEST(DateTime, InvalidValues) {
  EXPECT_FALSE(DateTime().valid());
  EXPECT_EQ(DateTime().format(), "");
  EXPECT_FALSE(DateTime::fromSerial(1e12).valid());
  EXPECT_FALSE(DateTime::fromSerial(-1e7).valid());
  EXPECT_FALSE(DateTime::fromCalendar({2023, 2, 29, 0, 0, 0}).valid());
  EXPECT_TRUE(DateTime::fromCalendar({2024, 2, 29, 0, 0, 0}).valid());
  EXPECT_FALSE(DateTime::fromCalendar({2024, 1, 1, 24, 0, 0}).valid());
  EXPECT_FALSE(DateTime::fromCalendar({99, 1, 1, 0, 0, 0}).valid());
  EXPECT_EQ(DateTime().toLocalEpochSeconds(), -1);
  EXPECT_FALSE(DateTime().addHours(1).valid());
}

TEST(DateTime, HoursAndEpochSeconds) {
  DateTime d = DateTime::fromCalendar({2024, 3, 1, 1, 0, 0});
  EXPECT_EQ(d.addHours(-2).format(), "29.02.2024 23:00:00");
  EXPECT_EQ(d.addHours(24 * 366).format(), "02.03.2025 01:00:00");
  long long s = DateTime::fromCalendar({2024, 3, 1, 12, 0, 0}).toLocalEpochSeconds();
  EXPECT_GT(s, 1709200000LL);
  EXPECT_LT(s, 1709400000LL);
  EXPECT_TRUE(DateTime::now().valid());
}

TEST(DateTime, StoredTextRoundTrip) {
  DateTime d = DateTime::fromCalendar({2005, 10, 23, 10, 22, 0});
  std::string text = SerialDateText(d);
  EXPECT_EQ(text.substr(0, 16), "38648.4319444444");
  EXPECT_EQ(SerialDateFromText(text).serial(), d.serial());
  EXPECT_FALSE(SerialDateFromText("").valid());
  EXPECT_FALSE(SerialDateFromText("  ").valid());
  EXPECT_EQ(SerialDateFromText(" 38648.5xyz").format(), "23.10.2005 12:00:00");
  EXPECT_EQ(SerialDateText(DateTime()), "");
}
