#include "app/DateText.h"

#include <gtest/gtest.h>

#include "support/TempDir.h"

namespace kalvero {
namespace {

std::string Shown(const std::string& typed) {
  DateTextResult r = InterpretDateText(typed);
  return r.value.format();
}

TEST(DateText, ReadsUpToSixNumbersWithAnySeparators) {
  EXPECT_EQ(Shown("1.2.2005"), "01.02.2005 00:00:00");
  EXPECT_EQ(Shown("  23.10.2005 10:22  "), "23.10.2005 10:22:00");
  EXPECT_EQ(Shown("23/10/2005-10h22m7s"), "23.10.2005 10:22:07");
  EXPECT_EQ(Shown("1..2 ,, 2005"), "01.02.2005 00:00:00");  // a run of separators is one step
  EXPECT_EQ(Shown("1.2.2005 1.2.3.4.5.6"), "01.02.2005 01:02:03");  // seventh and later ignored
  EXPECT_EQ(Shown("1ä2ö2005"), "01.02.2005 00:00:00");  // umlauts separate like any other character
  EXPECT_EQ(Shown("29.2.2004"), "29.02.2004 00:00:00");
}

TEST(DateText, EmptyTextIsNoDate) {
  for (const char* text : {"", "   ", "\t \r\n"}) {
    DateTextResult r = InterpretDateText(text);
    EXPECT_TRUE(r.empty) << text;
    EXPECT_FALSE(r.value.valid());
  }
}

TEST(DateText, NumbersThatFormNoDateAreInvalid) {
  for (const char* text : {"01.02.05", "31.02.2005", "29.2.2005", "1.13.2005", "0.1.2005", ".1.2.2005",
                           "1.2.2005 24", "1.2.2005 10:60", "1.2.2005 1:1:60", "99999999.1.1",
                           "1.1.99999999999999999999999999", "...", "äöü", "1.2.10000", "1.2.99",
                           "-1.2.2005"}) {
    DateTextResult r = InterpretDateText(text);
    EXPECT_FALSE(r.empty) << text;
    EXPECT_FALSE(r.value.valid()) << text;
  }
}

TEST(DateText, VeryLongTextsAreRead) {
  std::string junk(100000, '7');
  EXPECT_FALSE(InterpretDateText(junk).value.valid());
  std::string separators(100000, '#');
  EXPECT_FALSE(InterpretDateText(separators).value.valid());
  EXPECT_EQ(Shown("1.2.2005 1:2:3" + std::string(50000, ' ') + "x" + junk), "01.02.2005 01:02:03");
  EXPECT_FALSE(InterpretDateText("1.2.2005 " + junk).value.valid());  // the digits become the hour
}

TEST(DateText, HoursAreTheLeadingInteger) {
  EXPECT_EQ(InterpretHoursText("24"), 24);
  EXPECT_EQ(InterpretHoursText("  24 Stunden"), 24);
  EXPECT_EQ(InterpretHoursText("-5"), -5);
  EXPECT_EQ(InterpretHoursText("+7"), 7);
  EXPECT_EQ(InterpretHoursText(""), 0);
  EXPECT_EQ(InterpretHoursText("abc"), 0);
  EXPECT_EQ(InterpretHoursText("- 3"), 0);
  EXPECT_EQ(InterpretHoursText(std::string(5000, '9')), 1000000000LL);
  EXPECT_EQ(InterpretHoursText("-" + std::string(5000, '9')), -1000000000LL);
}

TEST(DateText, SummaryFollowsTheValidBounds) {
  DateTime a = InterpretDateText("1.1.2005").value, b = InterpretDateText("2.1.2005").value, none;
  EXPECT_EQ(SummaryKindOf(a, b), DateSummaryKind::Between);
  EXPECT_EQ(SummaryKindOf(a, none), DateSummaryKind::FromOnly);
  EXPECT_EQ(SummaryKindOf(none, b), DateSummaryKind::ToOnly);
  EXPECT_EQ(SummaryKindOf(none, none), DateSummaryKind::Neither);
}

TEST(DateText, StoredValuesAreReadWhateverTheForm) {
  test::TempDir dir;
  const std::string ini = dir / "k.INI";
  const double serial = InterpretDateText("2.1.2005 12:00").value.serial();
  test::writeFile(ini, "[Datum]\r\nTyp=1\r\nDatumVon=" + std::to_string(serial) + "\r\nDatumBis=\r\nStunden= 24 \r\n");
  StoredDateValues v = ReadStoredDateValues(ini);
  EXPECT_EQ(v.typ, 1);
  EXPECT_EQ(v.from.format(), "02.01.2005 12:00:00");
  EXPECT_FALSE(v.to.valid());
  EXPECT_EQ(TrimBlanks(v.hoursText), "24");

  test::writeFile(ini, "[Datum]\nTyp=7\nDatumVon=Unsinn\nDatumBis=1e300\n");
  v = ReadStoredDateValues(ini);
  EXPECT_EQ(v.typ, 0);
  EXPECT_FALSE(v.to.valid());
  EXPECT_EQ(v.hoursText, "");

  v = ReadStoredDateValues(dir / "fehlt.INI");
  EXPECT_EQ(v.typ, 0);
  EXPECT_FALSE(v.from.valid());
}

}  // namespace
}  // namespace kalvero
