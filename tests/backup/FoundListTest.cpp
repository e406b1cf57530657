#include <gtest/gtest.h>

#include <string>

#include "backup/FoundList.h"

namespace kalvero {
namespace {

// Names fill blocks of 1 MiB: a directory whose names run into the next
// block, and a name longer than a block, still give back every path.
TEST(FoundList, GivesBackEveryPathAcrossNameBlocks) {
  FoundList list;
  FoundFile f;
  const auto pathOf = [](int i) {
    return "/quelle/verz " + std::to_string(i / 20000) + "/" + std::string(40, 'n') + std::to_string(i);
  };
  for (int i = 0; i < 60000; ++i) {
    f.path = pathOf(i);
    f.size = static_cast<std::uint64_t>(i);
    f.kind = i % 3 == 0 ? EntryKind::Symlink : EntryKind::File;
    list.add(f);
  }
  f.path = "/quelle/lang/" + std::string(3 << 20, 'x');
  list.add(f);
  f.path = "ohne-verzeichnis";
  list.add(f);
  ASSERT_EQ(list.size(), 60002u);
  std::string path;
  for (int i = 0; i < 60000; ++i) {
    list.path(static_cast<std::size_t>(i), path);
    ASSERT_EQ(path, pathOf(i));
    ASSERT_EQ(list[static_cast<std::size_t>(i)].size, static_cast<std::uint64_t>(i));
    ASSERT_EQ(list[static_cast<std::size_t>(i)].kind, i % 3 == 0 ? EntryKind::Symlink : EntryKind::File);
  }
  list.path(60000, path);
  EXPECT_EQ(path, "/quelle/lang/" + std::string(3 << 20, 'x'));
  list.path(60001, path);
  EXPECT_EQ(path, "ohne-verzeichnis");
  list.clear();
  EXPECT_EQ(list.size(), 0u);
}

// Without the skipped files' list, skipped files in a row are one entry of
// their count and bytes; a skipped file with several names (its links are
// looked at) and every other file keep their names.
TEST(FoundList, SkippedFilesWithoutTheirListAreCountedInRuns) {
  FoundList list;
  list.keepNamesOfSkipped(false);
  const auto add = [&list](const std::string& path, std::uint64_t size, unsigned char skip, std::uint64_t links) {
    FoundFile f;
    f.path = path;
    f.size = size;
    f.skip = skip;
    f.status.links = links;
    list.add(f);
  };
  add("/q/a", 1, 0, 1);
  add("/q/b", 10, 1, 1);
  add("/q/c", 20, 1, 1);
  add("/q/d", 4, 1, 2);
  add("/q/e", 5, 1, 1);
  add("/q/f", 2, 2, 1);
  ASSERT_EQ(list.size(), 5u);
  std::string path;
  list.path(0, path);
  EXPECT_EQ(path, "/q/a");
  EXPECT_EQ(list[1].skip, FoundList::SKIPPED_RUN);
  EXPECT_EQ(list[1].nameSize, 2u);
  EXPECT_EQ(list[1].size, 30u);
  list.path(2, path);
  EXPECT_EQ(path, "/q/d");
  EXPECT_EQ(list[2].skip, 1);
  EXPECT_EQ(list[3].skip, FoundList::SKIPPED_RUN);
  EXPECT_EQ(list[3].nameSize, 1u);
  EXPECT_EQ(list[3].size, 5u);
  list.path(4, path);
  EXPECT_EQ(path, "/q/f");
  EXPECT_EQ(list[4].skip, 2);
}

}  // namespace
}  // namespace kalvero
