#include <gtest/gtest.h>

#include <string>
#include <vector>

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

// An entry is 16 bytes: names at and past the two-byte size, many short
// directories, and every flag of the walk come back as added.
TEST(FoundList, KeepsLongNamesAndFlagsInSmallRecords) {
  FoundList list;
  FoundFile f;
  std::vector<std::string> paths;
  for (std::size_t n : {65534u, 65535u, 65536u, 1u}) paths.push_back("/q/" + std::string(n, 'y'));
  for (int i = 0; i < 5000; ++i) paths.push_back("/q/v" + std::to_string(i / 3) + "/" + std::to_string(i));
  for (std::size_t i = 0; i < paths.size(); ++i) {
    f.path = paths[i];
    f.size = std::uint64_t{1} << (i % 64);
    f.skip = static_cast<unsigned char>(i % 3);  // 3 and 4 need a base state's copy
    f.changed = static_cast<unsigned char>(i % 2);
    f.status.links = i % 5 == 0 ? 2 : 1;
    f.kind = static_cast<EntryKind>(i % 4);
    list.add(f);
  }
  std::string path;
  for (std::size_t i = 0; i < paths.size(); ++i) {
    list.path(i, path);
    ASSERT_EQ(path, paths[i]) << i;
    const FoundList::Entry& e = list[i];
    ASSERT_EQ(e.size, std::uint64_t{1} << (i % 64));
    ASSERT_EQ(e.skip, i % 3);
    ASSERT_EQ(e.changed, i % 2);
    ASSERT_EQ(e.manyLinks, i % 5 == 0 ? 1 : 0);
    ASSERT_EQ(e.kind, static_cast<EntryKind>(i % 4));
  }
  // Asked out of the walk's order too.
  for (std::size_t i = paths.size(); i-- > 0; i -= i > 7 ? 7 : 0) {
    list.path(i, path);
    ASSERT_EQ(path, paths[i]) << i;
  }
}

// Blocks hold about 64 KiB whatever the element: an element of 20 bytes
// (not a power of two a block) is found across blocks, also after the
// blocks before it were given back.
TEST(FoundList, BlocksOfAnyElementSizeKeepEveryElement) {
  struct Twenty {
    std::uint32_t v[5];
  };
  static_assert(sizeof(Twenty) == 20);
  ChunkedArray<Twenty> a;
  for (std::uint32_t i = 0; i < 10000; ++i) a.push_back(Twenty{{i, i + 1, i + 2, i + 3, i * 7}});
  ASSERT_EQ(a.size(), 10000u);
  a.releaseBefore(6600);
  for (std::uint32_t i = 6553; i < 10000; ++i) {
    ASSERT_EQ(a[i].v[0], i);
    ASSERT_EQ(a[i].v[4], i * 7);
  }
  EXPECT_EQ(a.back().v[3], 10002u);
}

}  // namespace
}  // namespace kalvero
