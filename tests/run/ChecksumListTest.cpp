// The checksum list's lines against sha256sum itself: what we write it
// checks, what it writes we read.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/Sha256.h"
#include "run/ChecksumList.h"
#include "run/DatedFolders.h"
#include "support/Files.h"
#include "support/TempDir.h"

namespace kalvero {
namespace {

const char* const kOddNames[] = {"a b", "Ümlaut ß.txt", "zeile\numbruch", "back\\slash",
                                 "wagen\rrücklauf", "\xff\xfe kaputt", "*stern", " vorn"};

TEST(ChecksumList, Sha256sumChecksWhatWeWriteAndWeReadWhatItWrites) {
  if (std::system("command -v sha256sum >/dev/null 2>&1") != 0) GTEST_SKIP() << "sha256sum fehlt";
  test::TempDir dir;
  std::string list;
  for (const char* name : kOddNames) {
    const std::string content = std::string("Inhalt von ") + name;
    test::writeFile(dir.path() + "/" + name, content);
    ChecksumLine line;
    line.path = name;
    platform::Sha256 sha;
    sha.update(content.data(), content.size());
    line.digest = sha.finish();
    list += FormatChecksumLine(line);
  }
  test::writeFile(dir.path() + "/liste", list);
  const std::string check = "cd '" + dir.path() + "' && sha256sum --quiet -c liste >/dev/null 2>&1";
  EXPECT_EQ(std::system(check.c_str()), 0) << list;

  const std::string peer = "cd '" + dir.path() + "' && find . -type f ! -name liste ! -name peer -printf '%P\\0'"
                           " | xargs -0 sha256sum -- > peer";
  ASSERT_EQ(std::system(peer.c_str()), 0);
  const std::string written = test::readFile(dir.path() + "/peer");
  std::size_t begin = 0, lines = 0;
  while (begin < written.size()) {
    const std::size_t end = written.find('\n', begin);
    ChecksumLine line;
    ASSERT_TRUE(ParseChecksumLine(std::string_view(written).substr(begin, end - begin), &line))
        << written.substr(begin, end - begin);
    platform::Sha256Digest digest;
    int err = 0;
    ASSERT_TRUE(platform::Sha256OfFile(dir.path() + "/" + line.path, &digest, &err)) << line.path;
    EXPECT_EQ(digest, line.digest) << line.path;
    EXPECT_EQ(FormatChecksumLine(line), written.substr(begin, end + 1 - begin));
    begin = end + 1;
    ++lines;
  }
  EXPECT_EQ(lines, std::size(kOddNames));
}

TEST(ChecksumList, MalformedLinesAreRefused) {
  ChecksumLine line;
  const std::string hex(64, 'a');
  EXPECT_TRUE(ParseChecksumLine(hex + "  x", &line));
  EXPECT_TRUE(ParseChecksumLine(hex + " *x\r", &line));
  EXPECT_EQ(line.path, "x");
  for (const std::string& bad : {std::string(), hex, hex + "  ", hex + " x", hex.substr(1) + "g  x",
                                "\\" + hex + "  a\\qb", "\\" + hex + "  ende\\"}) {
    EXPECT_FALSE(ParseChecksumLine(bad, &line)) << bad;
  }
}

// The dated folders of a destination, oldest first, only real folders of a
// day's name; the mark of a complete state comes and goes.
TEST(DatedFolders, OnlyRealDatedFoldersOldestFirstWithTheirMark) {
  test::TempDir t;
  for (const char* name : {"2026_12_09", "2025_01_31", "2026_13_01", "2026_12_9", "notiz"}) t.mkdir(name);
  t.write("2026_12_10", "a file, not a folder");
  std::filesystem::create_directory_symlink(t / "2025_01_31", t / "2026_12_11");
  ASSERT_TRUE(MarkStateComplete(t / "2026_12_09", "vollständig\n", nullptr));
  const auto folders = ListDatedFolders(t.path());
  ASSERT_EQ(folders.size(), 2u);
  EXPECT_EQ(folders[0].name, "2025_01_31");
  EXPECT_FALSE(folders[0].complete);
  EXPECT_EQ(folders[1].path, t / "2026_12_09");
  EXPECT_EQ(folders[1].year * 10000 + folders[1].month * 100 + folders[1].day, 20261209);
  EXPECT_TRUE(folders[1].complete);
  EXPECT_TRUE(IsProgramFileName(kCompleteMarkName));
  EXPECT_TRUE(UnmarkStateComplete(t / "2026_12_09", nullptr));
  EXPECT_TRUE(UnmarkStateComplete(t / "2026_12_09", nullptr));
  EXPECT_FALSE(IsCompleteState(t / "2026_12_09"));
  EXPECT_EQ(DatedFolderName(platform::LocalTime{2026, 3, 7}), "2026_03_07");
}

}  // namespace
}  // namespace kalvero
