#include <gtest/gtest.h>

#include <cerrno>

#include "run/RunProgress.h"
#include "diag/ErrorText.h"
#include "platform/ErrorNumber.h"

using namespace kalvero;

TEST(SystemErrorText, NumberTwoBlanksAndDescription) {
  std::string d = platform::errorDescription(EACCES);
  ASSERT_FALSE(d.empty());
  EXPECT_EQ(SystemErrorText(EACCES), "Fehlernummer = 13  " + d);
  EXPECT_EQ(SystemErrorText(98765), "Fehlernummer = 98765  ");
  EXPECT_EQ(SystemErrorText(-1), "Fehlernummer = -1  ");
  for (int e = 1; e < 140; ++e) {
    std::string t = SystemErrorText(e);
    EXPECT_NE(t.back(), '\n');
    EXPECT_NE(t.back(), '\r');
  }
}

TEST(DescribeCompressionError, FormatsAndCuts) {
  CompressionError e;
  DescribeCompressionError(COMPRESS_ERR_NONE, e);
  EXPECT_EQ(e.text, " (,Datei='',cause=0,Os=0)");

  CompressionError open{"Die Datei '/a' wurde nicht gefunden.", 2, 2, ""};
  DescribeCompressionError(COMPRESS_ERR_OPEN, open);
  EXPECT_EQ(open.text, "Die Datei '/a' wurde nicht gefunden. (Open-Fehler,Datei='',cause=2,Os=2)");

  CompressionError cancel{"", 0, 0, "/q/ä b.txt"};
  DescribeCompressionError(COMPRESS_ERR_CANCELLED, cancel);
  EXPECT_EQ(cancel.text, " (Das Sichern wurde abgerochen,Datei='/q/ä b.txt',cause=0,Os=0)");

  CompressionError zip{"", 7, 0, ""};
  DescribeCompressionError(COMPRESS_ERR_ZIP, zip);
  EXPECT_EQ(zip.text, " (ZipException-Fehler,Datei='',cause=7,Os=0)");
  CompressionError file{"x", 5, 13, "/f"};
  DescribeCompressionError(COMPRESS_ERR_FILE, file);
  EXPECT_EQ(file.text, "x (FileException-Fehler,Datei='/f',cause=5,Os=13)");

  CompressionError longText{std::string(2047, 'a'), 1, 1, "/f"};
  DescribeCompressionError(COMPRESS_ERR_FILE, longText);
  EXPECT_EQ(longText.text, std::string(2047, 'a'));
}

TEST(NotifyCodes, NamesOfEveryCode) {
  EXPECT_STREQ(notifyCodeName(NOTIFY_COPYING), "NOTIFY_COPYING");
  EXPECT_STREQ(notifyCodeName(100), "NOTIFY_RESET");
  EXPECT_STREQ(notifyCodeName(50), "NOTIFY_SKIPPING");
  EXPECT_STREQ(notifyCodeName(9), "");
  int named = 0;
  for (int c = 0; c <= 200; ++c) named += notifyCodeName(c)[0] != '\0';
  EXPECT_EQ(named, 16);
}
