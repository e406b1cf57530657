// Thinning dated states: the rule on made-up folder lists, and the removal
// on real trees (hard links into a kept state, a link pointing outside, a
// removal cut short by a kill).
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fmt/format.h>

#include <string>
#include <vector>

#include "backup/Thinning.h"
#include "platform/FileSystem.h"
#include "platform/OwnTemporary.h"
#include "support/TempDir.h"

namespace kalvero {
namespace {

using test::TempDir;

DatedFolder Folder(int y, int m, int d, bool complete = true) {
  DatedFolder f;
  f.name = fmt::format("{:04d}_{:02d}_{:02d}", y, m, d);
  f.path = "/ziel/" + f.name;
  f.year = y;
  f.month = m;
  f.day = d;
  f.complete = complete;
  return f;
}

platform::LocalTime Day(int y, int m, int d) {
  platform::LocalTime t;
  t.year = y;
  t.month = m;
  t.day = d;
  return t;
}

// "name:reason" for every folder, reasons as letters (R removes).
std::vector<std::string> Verdicts(const std::vector<DatedFolder>& folders, const platform::LocalTime& today,
                                  ThinningRule rule) {
  std::vector<std::string> out;
  for (const ThinningEntry& e : PlanThinning(folders, today, rule)) {
    const char* letter = "?";
    switch (e.reason) {
      case KeepReason::Remove: letter = "R"; break;
      case KeepReason::NoRule: letter = "-"; break;
      case KeepReason::Day: letter = "D"; break;
      case KeepReason::Week: letter = "W"; break;
      case KeepReason::Month: letter = "M"; break;
      case KeepReason::NewestComplete: letter = "N"; break;
      case KeepReason::Incomplete: letter = "I"; break;
      case KeepReason::Future: letter = "F"; break;
    }
    out.push_back(e.folder.name + ":" + letter);
  }
  return out;
}

// 2026-12-10 is a Thursday: the three newest days are Dec 8-10; the weeks
// before them run Monday Dec 7 (only the 7th left), Nov 30 - Dec 6, Nov 23 - 29;
// the months before those are November (up to the 22nd) and October.
TEST(ThinningRule, DaysThenWeeksThenMonths) {
  const std::vector<DatedFolder> folders = {
      Folder(2026, 9, 30), Folder(2026, 10, 5), Folder(2026, 10, 20), Folder(2026, 11, 2), Folder(2026, 11, 21),
      Folder(2026, 11, 23), Folder(2026, 11, 28), Folder(2026, 12, 1), Folder(2026, 12, 6), Folder(2026, 12, 7),
      Folder(2026, 12, 8), Folder(2026, 12, 10)};
  EXPECT_EQ(Verdicts(folders, Day(2026, 12, 10), {3, 3, 2}),
            (std::vector<std::string>{"2026_09_30:R", "2026_10_05:R", "2026_10_20:M", "2026_11_02:R", "2026_11_21:M",
                                      "2026_11_23:R", "2026_11_28:W", "2026_12_01:R", "2026_12_06:W", "2026_12_07:W",
                                      "2026_12_08:D", "2026_12_10:D"}));
  // Across a year's end: January up to yesterday, then December.
  EXPECT_EQ(Verdicts({Folder(2025, 12, 31), Folder(2026, 1, 3)}, Day(2026, 1, 5), {1, 0, 2}),
            (std::vector<std::string>{"2025_12_31:M", "2026_01_03:M"}));
}

TEST(ThinningRule, NeverTheNewestCompleteNorAnIncompleteOne) {
  // Everything is older than the rule reaches: the newest complete state
  // stays, an incomplete folder stays, the incomplete newest does not count.
  const std::vector<DatedFolder> folders = {Folder(2026, 1, 1), Folder(2026, 1, 2, false), Folder(2026, 1, 3),
                                            Folder(2026, 1, 4, false)};
  EXPECT_EQ(Verdicts(folders, Day(2026, 12, 10), {2, 0, 0}),
            (std::vector<std::string>{"2026_01_01:R", "2026_01_02:I", "2026_01_03:N", "2026_01_04:I"}));
  // A week's newest folder is incomplete: the week keeps its newest complete one.
  EXPECT_EQ(Verdicts({Folder(2026, 12, 7), Folder(2026, 12, 8, false), Folder(2026, 12, 10)}, Day(2026, 12, 10),
                     {1, 1, 0}),
            (std::vector<std::string>{"2026_12_07:W", "2026_12_08:I", "2026_12_10:D"}));
  // No rule: nothing goes; a date after today (a wrong clock) is never judged.
  EXPECT_EQ(Verdicts({Folder(2020, 1, 1), Folder(2027, 1, 1)}, Day(2026, 12, 10), {0, 0, 0}),
            (std::vector<std::string>{"2020_01_01:-", "2027_01_01:-"}));
  EXPECT_EQ(Verdicts({Folder(2020, 1, 1), Folder(2027, 1, 1)}, Day(2026, 12, 10), {1, 0, 0}),
            (std::vector<std::string>{"2020_01_01:R", "2027_01_01:F"}));
}

struct Destination {
  TempDir t;
  std::string root = t / "ziel";

  std::string state(const std::string& name) const { return root + "/" + name; }
  void makeState(const std::string& name) const {
    t.mkdir("ziel/" + name);
    int err = 0;
    ASSERT_TRUE(MarkStateComplete(state(name), "vollständig\n", &err)) << err;
  }
};

// The older state's files are hard links of the newer one's and a link in it
// points to a folder outside: only the older state goes, the newer keeps its
// files, the outside stays untouched; only dated folders are ever looked at.
TEST(ThinningRemoval, RemovesAStateWithLinksWithoutTouchingAnythingElse) {
  Destination d;
  d.makeState("2026_11_01");
  d.makeState("2026_11_02");
  const std::string kept = d.t.write("ziel/2026_11_02/a/notiz.txt", "Inhalt");
  ASSERT_EQ(::mkdir(d.state("2026_11_01/a").c_str(), 0755), 0);
  ASSERT_EQ(::link(kept.c_str(), d.state("2026_11_01/a/notiz.txt").c_str()), 0);
  const std::string outside = d.t.write("draussen/wichtig.txt", "bleibt");
  ASSERT_EQ(::symlink((d.t / "draussen").c_str(), d.state("2026_11_01/a/verweis").c_str()), 0);
  ASSERT_EQ(::chmod(d.state("2026_11_01/a").c_str(), 0555), 0);  // a read-only folder of the backup
  d.t.write("ziel/eigenes/datei.txt", "des Benutzers");

  const ThinningOutcome outcome = RemoveStates(d.root, {ListDatedFolders(d.root).front()});

  EXPECT_EQ(outcome.removed, std::vector<std::string>{"2026_11_01"});
  EXPECT_TRUE(outcome.failed.empty());
  EXPECT_FALSE(d.t.exists("ziel/2026_11_01"));
  EXPECT_EQ(test::readFile(kept), "Inhalt");
  EXPECT_EQ(test::readFile(outside), "bleibt");
  EXPECT_TRUE(d.t.exists("ziel/eigenes/datei.txt"));
  EXPECT_EQ(ListDatedFolders(d.root).size(), 1u);
}

// A kill between setting a folder aside and removing it leaves the folder
// under its temporary name, which no one takes for a state; the next
// thinning removes it, a user's look-alike folder stays.
TEST(ThinningRemoval, TheNextThinningFinishesOneCutShort) {
  Destination d;
  d.makeState("2026_11_01");
  d.makeState("2026_11_03");
  d.t.write("ziel/2026_11_01/tief/x.txt", "alt");
  const std::string setAside = platform::ownTemporaryBeside(d.state("2026_11_01"));
  ASSERT_TRUE(platform::renamePath(d.state("2026_11_01"), setAside));
  d.t.mkdir("ziel/.2026_11_02.kalvero-AAAAAAAAAAAAAAAA");
  ASSERT_EQ(ListDatedFolders(d.root).size(), 1u);

  const ThinningOutcome outcome = RemoveStates(d.root, {});

  EXPECT_EQ(outcome.finished, 1);
  EXPECT_TRUE(outcome.removed.empty());
  EXPECT_FALSE(platform::lstatPath(setAside).has_value());
  EXPECT_TRUE(d.t.exists("ziel/.2026_11_02.kalvero-AAAAAAAAAAAAAAAA"));
  EXPECT_TRUE(d.t.exists("ziel/2026_11_03"));
}

}  // namespace
}  // namespace kalvero
