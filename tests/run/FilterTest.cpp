// Name patterns, date interval, archive bit and the compression decision,
// alone and inside the walk.
#include <sys/stat.h>

#include <set>

#include <gtest/gtest.h>

#include "run/Filters.h"
#include "run/Walk.h"
#include "platform/FileSystem.h"
#include "platform/FileTime.h"
#include "support/TempDir.h"

namespace kalvero {
namespace {

bool matches(const std::string& file, const std::string& patterns) {
  std::vector<std::string> list;
  BuildPatternList(patterns, list);
  return MatchPatterns("/x/" + file, list);
}

TEST(Patterns, ListIsTrimmedAndSkipsEmptyEntries) {
  std::vector<std::string> list{"alt"};
  BuildPatternList(" *.doc , , *.xls ", list);
  EXPECT_EQ(list, (std::vector<std::string>{"*.doc", "*.xls"}));
  BuildPatternList("\t\r\n", list);
  EXPECT_TRUE(list.empty());
  BuildPatternList(",a,", list);
  EXPECT_EQ(list, std::vector<std::string>{"a"});
}

TEST(Patterns, StarsAtStartOrEndOnly) {
  EXPECT_TRUE(matches("Brief.DOC", "*.doc"));
  EXPECT_TRUE(matches("x.doc", "*.doc"));
  EXPECT_FALSE(matches("x.docx", "*.doc"));
  EXPECT_TRUE(matches("abc.bak", "a*.b*"));
  EXPECT_TRUE(matches("Liga.tab", "*a.*b"));
  EXPECT_FALSE(matches("Liga.tabs", "*a.*b"));
  EXPECT_TRUE(matches("test.txt", "Test.*"));
  EXPECT_TRUE(matches("TEST", "Test.*"));
  EXPECT_TRUE(matches("Test.txt", "Test"));
  for (const char* f : {"a", "a.b", ".bashrc", "archive.tar.gz", "README"}) {
    EXPECT_TRUE(matches(f, "*.*")) << f;
    EXPECT_TRUE(matches(f, "*")) << f;
  }
  for (const char* f : {"ab.doc", "axb.doc", "abb.doc", "b.doc", "Test.a", "test.xay"}) {
    EXPECT_FALSE(matches(f, "a*b.doc")) << f;
    EXPECT_FALSE(matches(f, "*b*.doc")) << f;
    EXPECT_FALSE(matches(f, "Test.*a*")) << f;
  }
  EXPECT_TRUE(matches("bx.txt", "*a.txt, b*.txt"));
  EXPECT_TRUE(matches("archive.tar.gz", "archive.tar.gz") == false);  // name "archive.tar", ext "gz"
  EXPECT_TRUE(matches("archive.tar.gz", "archive.gz") == false);
  EXPECT_TRUE(matches("archive.tar.gz", "*.gz"));
  EXPECT_TRUE(matches("archive.tar.gz", "archive*.gz"));
  EXPECT_TRUE(MatchPatterns("/egal", {}));
}

// The forms the hint window lists as not allowed are told apart, so they can
// be refused instead of matching nothing.
TEST(Patterns, ForbiddenFormsAreFound) {
  for (const char* p : {"*.doc", "a*.b*", "*a.*b", "Test.*", "*", "*.*", "**x", "Brief", "x.tar.gz", "*.tar.gz"})
    EXPECT_TRUE(PatternAllowed(p)) << p;
  for (const char* p : {"a*b.doc", "*b*.doc", "Test.*a*", "*Notiz_00*", "a**b", "x.t*t"})
    EXPECT_FALSE(PatternAllowed(p)) << p;
  EXPECT_EQ(FirstForbiddenPattern(" *.doc , *Notiz_00* , a*b"), "*Notiz_00*");
  EXPECT_EQ(FirstForbiddenPattern("*.doc, Test.*"), "");
  EXPECT_EQ(FirstForbiddenPattern(""), "");
}

TEST(Patterns, ComponentRules) {
  EXPECT_TRUE(MatchComponent("", ""));
  EXPECT_TRUE(MatchComponent("abc", "**"));
  EXPECT_TRUE(MatchComponent("abc", "ABC"));
  EXPECT_FALSE(MatchComponent("abcd", "abc"));
  EXPECT_TRUE(MatchComponent("abcd", "AB*"));
  EXPECT_TRUE(MatchComponent("abcd", "*cD"));
  EXPECT_FALSE(MatchComponent("ab", "abc*"));
  EXPECT_FALSE(MatchComponent("c", "*bc"));
  // A star at both ends is literal at the far end.
  EXPECT_FALSE(MatchComponent("xay", "*a*"));
  EXPECT_TRUE(MatchComponent("xa*", "*a*"));
  EXPECT_TRUE(MatchComponent("a*b", "a*b"));
  // Umlauts fold like ASCII letters; ß stays itself.
  EXPECT_TRUE(MatchComponent("\xc3\xa4rger", "\xc3\x84RGER"));
  EXPECT_TRUE(MatchComponent("Stra\xc3\x9f" "e", "*\xc3\x9f" "E"));
}

TEST(DateRange, BoundsAreInclusiveToTheSecond) {
  const std::int64_t t = 1700000000;
  const auto ft = platform::fileTimeFromUnix(t, 500000000);
  EXPECT_TRUE(InDateRange(ft, std::nullopt, std::nullopt));
  EXPECT_TRUE(InDateRange(ft, t, t));
  EXPECT_FALSE(InDateRange(ft, t + 1, std::nullopt));
  EXPECT_FALSE(InDateRange(ft, std::nullopt, t - 1));
  // Before 1970: earlier than every bound.
  const auto old = platform::fileTimeFromUnix(-86400, 0);
  EXPECT_FALSE(InDateRange(old, 0, std::nullopt));
  EXPECT_TRUE(InDateRange(old, std::nullopt, 0));
  // Beyond 2038 still counts normally.
  const auto late = platform::fileTimeFromUnix(4102444800LL, 0);  // 2100
  EXPECT_TRUE(InDateRange(late, t, std::nullopt));
  EXPECT_FALSE(InDateRange(late, std::nullopt, t));
}

TEST(DateRange, BoundsFromTheDateFilter) {
  DateFilter f;
  f.from = DateTime::fromCalendar({2024, 3, 1, 12, 0, 0});
  f.to = DateTime::fromCalendar({2024, 3, 31, 23, 59, 59});
  ASSERT_TRUE(f.from.valid());
  EXPECT_FALSE(MakeDateBounds(f, 0).from);
  auto b = MakeDateBounds(f, 1);
  platform::LocalTime lt{2024, 3, 1, 12, 0, 0};
  ASSERT_TRUE(b.from && b.to);
  EXPECT_EQ(*b.from, platform::unixFromLocal(lt));
  EXPECT_EQ(*b.to, platform::unixFromLocal({2024, 3, 31, 23, 59, 59}));
  // Relative form: the page's "from" (now minus hours), no upper bound.
  DateFilter rel;
  rel.Typ = 1;
  rel.Stunden = 24;
  rel.from = DateTime::now().addHours(-24);
  b = MakeDateBounds(rel, 1);
  ASSERT_TRUE(b.from);
  EXPECT_FALSE(b.to);
  EXPECT_NEAR(static_cast<double>(*b.from), static_cast<double>(time(nullptr) - 86400), 5.0);
  // Both invalid: no test.
  b = MakeDateBounds(DateFilter{}, 1);
  EXPECT_FALSE(b.from || b.to);
}

TEST(Compression, NoCompressSetAndDecision) {
  EXPECT_EQ(BuildNoCompressSet("zip, ,rar"), (NoCompressSet{".ZIP"}));
  EXPECT_EQ(BuildNoCompressSet(".jpg,PDF"), (NoCompressSet{".JPG", ".PDF"}));
  EXPECT_TRUE(BuildNoCompressSet("").empty());
  const auto set = BuildNoCompressSet("jpg,.Gz");
  EXPECT_FALSE(CompressDecision("/a/b.txt", 10, 0, set));
  EXPECT_TRUE(CompressDecision("/a/b.txt", 10, 1, set));
  EXPECT_FALSE(CompressDecision("/a/B.JPG", 10, 1, set));
  EXPECT_FALSE(CompressDecision("/a/x.tar.gz", 10, 1, set));
  EXPECT_TRUE(CompressDecision("/a.jpg/README", 10, 1, set));
  EXPECT_TRUE(CompressDecision("/a/b.jpg", 1023999999ULL, 1, {}));
  EXPECT_FALSE(CompressDecision("/a/b.txt", 1024000000ULL, 1, {}));
}

class WalkFilters : public ::testing::Test {
 protected:
  std::set<std::string> walk(WalkOptions o) {
    std::vector<FoundFile> found;
    o.foundFiles = &found;
    WalkDirectory(t.path(), o);
    std::set<std::string> names;
    for (const auto& f : found) names.insert(f.path.substr(t.path().size() + 1));
    return names;
  }
  test::TempDir t;
};

TEST_F(WalkFilters, PatternsBothListsAndDates) {
  for (const char* f : {"a.doc", "b.DOC", "c.txt", "alt.doc", "sub/d.doc", "sub/e.xls"}) t.write(f, "x");
  std::vector<std::string> allowed{"*.doc", "*.xls"}, forbidden{"alt.*"};
  WalkOptions o;
  o.allowedPatterns = &allowed;
  EXPECT_EQ(walk(o), (std::set<std::string>{"a.doc", "b.DOC", "alt.doc", "sub/d.doc", "sub/e.xls"}));
  o.excludedPatterns = &forbidden;
  EXPECT_EQ(walk(o), (std::set<std::string>{"a.doc", "b.DOC", "sub/d.doc", "sub/e.xls"}));
  // An empty not-allowed list drops nothing.
  std::vector<std::string> none;
  WalkOptions e;
  e.excludedPatterns = &none;
  EXPECT_EQ(walk(e).size(), 6u);

  const std::int64_t base = 1600000000;
  platform::setFileTimes(t / "a.doc", platform::fileTimeFromUnix(base, 0), platform::fileTimeFromUnix(base, 0));
  platform::setFileTimes(t / "c.txt", platform::fileTimeFromUnix(base + 100, 0),
                         platform::fileTimeFromUnix(base, 0));
  WalkOptions d;
  d.from = base;
  d.to = base + 100;
  EXPECT_EQ(walk(d), (std::set<std::string>{"a.doc", "c.txt"}));
  d.from = base + 1;
  d.to.reset();
  auto later = walk(d);
  EXPECT_FALSE(later.count("a.doc"));
  EXPECT_TRUE(later.count("c.txt"));
  EXPECT_TRUE(later.count("sub/e.xls"));  // written just now
}

TEST_F(WalkFilters, ArchiveBitSetAndReset) {
  t.write("neu.txt", "1");
  t.write("gesichert.txt", "2");
  t.write("geaendert.txt", "3");
  bool unsupported = false;
  ASSERT_TRUE(platform::setFileAttributes(t / "gesichert.txt", platform::ATTR_NORMAL, nullptr, &unsupported));
  if (unsupported) GTEST_SKIP() << "this file system keeps no user xattrs";
  ASSERT_TRUE(platform::setFileAttributes(t / "geaendert.txt", platform::ATTR_NORMAL));
  test::writeFile(t / "geaendert.txt", "changed");
  WalkOptions o;
  o.archiveOnly = 1;
  EXPECT_EQ(walk(o), (std::set<std::string>{"neu.txt", "geaendert.txt"}));
  o.archiveOnly = 0;
  EXPECT_EQ(walk(o).size(), 3u);
}

}  // namespace
}  // namespace kalvero
