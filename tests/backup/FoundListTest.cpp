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
  // What was handled is given back; what follows stays.
  list.releaseBefore(50000);
  for (int i = 50000; i < 60000; ++i) {
    list.path(static_cast<std::size_t>(i), path);
    ASSERT_EQ(path, pathOf(i));
  }
  list.path(60000, path);
  EXPECT_EQ(path, "/quelle/lang/" + std::string(3 << 20, 'x'));
  list.path(60001, path);
  EXPECT_EQ(path, "ohne-verzeichnis");
  list.clear();
  EXPECT_EQ(list.size(), 0u);
}

}  // namespace
}  // namespace kalvero
