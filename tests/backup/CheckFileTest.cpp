#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <string>
#include <utility>
#include <vector>

#include "backup/CheckFile.h"
#include "platform/FaultInjection.h"
#include "platform/OwnTemporary.h"
#include "support/LogText.h"
#include "support/TempDir.h"

namespace kalvero {
namespace {

using test::TempDir;
using test::maskTimes;

TEST(CheckFile, RecordsConfirmsAndWritesSortedCrLfLines) {
  TempDir dir;
  CheckFile cf;
  EXPECT_FALSE(cf.Load(dir / "missing.chk"));
  EXPECT_FALSE(cf.CheckAndRecord("/z/b.txt", 10, 0xFFFFFFFFu, 7));
  EXPECT_FALSE(cf.CheckAndRecord("/z/a.txt", 5000000000LL, 1, 2));
  EXPECT_FALSE(cf.CheckAndRecord("/z/failed.txt", 1, 1, 1));
  cf.MarkCopied("/z/b.txt", true);
  cf.MarkCopied("/z/a.txt", true);
  cf.MarkCopied("/z/failed.txt", false);
  cf.MarkCopied("/z/unknown", true);  // ignored
  // A key with a line break would split its line: it is never written.
  EXPECT_FALSE(cf.CheckAndRecord("/z/zwei\nzeilen", 1, 1, 1));
  cf.MarkCopied("/z/zwei\nzeilen", true);
  int err = 0;
  ASSERT_TRUE(cf.Save(dir / "p.chk", &err)) << err;
  EXPECT_EQ(maskTimes(dir.read("p.chk")),
            ";Gebildet: T\r\n/z/a.txt|0|5000000000|2|1\r\n/z/b.txt|0|10|7|-1\r\n");
  // Unchanged: true; any change of size or a time half: false.
  CheckFile again;
  ASSERT_TRUE(again.Load(dir / "p.chk"));
  EXPECT_TRUE(again.CheckAndRecord("/z/b.txt", 10, 0xFFFFFFFFu, 7));
  EXPECT_FALSE(again.CheckAndRecord("/z/a.txt", 5000000001LL, 1, 2));
  EXPECT_FALSE(again.CheckAndRecord("/z/b.txt", 10, 0xFFFFFFFEu, 7));
}

TEST(CheckFile, ASaveRemovesTheTemporaryOfAKilledSave) {
  TempDir dir;
  const std::string killed = platform::ownTemporaryBeside(dir / "p.chk");
  dir.write(killed.substr(killed.rfind('/') + 1), ";halb");
  dir.write(".p.chk.kalvero-abcdef", "eigene Datei");  // only looks like one
  CheckFile cf;
  cf.CheckAndRecord("/z/a.txt", 1, 1, 1);
  int err = 0;
  ASSERT_TRUE(cf.Save(dir / "p.chk", &err)) << err;
  EXPECT_FALSE(dir.exists(killed.substr(killed.rfind('/') + 1)));
  EXPECT_EQ(dir.read(".p.chk.kalvero-abcdef"), "eigene Datei");
}

TEST(CheckFile, KeysCompareExactly) {
  CheckFile cf;
  cf.CheckAndRecord("/z/Brief.txt", 1, 1, 1);
  cf.MarkCopied("/z/Brief.txt", true);
  EXPECT_FALSE(cf.CheckAndRecord("/z/brief.txt", 1, 1, 1));  // another file
  EXPECT_TRUE(cf.CheckAndRecord("/z/Brief.txt", 1, 1, 1));
  EXPECT_EQ(cf.entryCount(), 2u);
}

TEST(CheckFile, ReadsBadInputWithoutFailing) {
  TempDir dir;
  // Garbage, missing fields, huge numbers, CR-only line ends, keys with "|".
  dir.write("bad.chk",
            ";Gebildet: 01.01.2020 10:00:00\r  \r\ngarbage line\r/a|b|c\r/k|1|99999999999999999999999|"
            "99999999999|-5\n/name|with|bars|0|12|3|4\n  /trim.txt|0|7|1|2   \n;comment|0|1|2|3\n/short|0|5");
  CheckFile cf;
  ASSERT_TRUE(cf.Load(dir / "bad.chk"));
  const CheckEntry* garbage = cf.find("garbage line");
  ASSERT_NE(garbage, nullptr);
  EXPECT_EQ(garbage->size, 0);
  const CheckEntry* abc = cf.find("/a");
  ASSERT_NE(abc, nullptr);
  EXPECT_EQ(abc->size, 0);
  const CheckEntry* huge = cf.find("/k");
  ASSERT_NE(huge, nullptr);
  EXPECT_EQ(huge->size, INT64_MAX);
  EXPECT_EQ(huge->timeLow, -5);
  const CheckEntry* bars = cf.find("/name|with|bars");
  ASSERT_NE(bars, nullptr);
  EXPECT_EQ(bars->size, 12);
  EXPECT_EQ(bars->timeHigh, 3);
  EXPECT_EQ(bars->timeLow, 4);
  const CheckEntry* trimmed = cf.find("/trim.txt");
  ASSERT_NE(trimmed, nullptr);
  EXPECT_EQ(trimmed->timeLow, 2);
  const CheckEntry* shortLine = cf.find("/short");
  ASSERT_NE(shortLine, nullptr);
  EXPECT_EQ(shortLine->size, 5);
  EXPECT_EQ(shortLine->timeHigh, 0);
  EXPECT_EQ(cf.find(";comment"), nullptr);
  // A name with "|" survives a save and a load.
  int err = 0;
  ASSERT_TRUE(cf.Save(dir / "out.chk", &err));
  CheckFile back;
  back.Load(dir / "out.chk");
  EXPECT_TRUE(back.CheckAndRecord("/name|with|bars", 12, 4, 3));
}

TEST(CheckFile, AFileWithUnchangedEntriesIsLeftAsItIs) {
  TempDir dir;
  const std::string text = ";Gebildet: x\r\n/d/a|0|1|2|3\r\n/d/b|0|4|5|6\r\n";
  const std::string path = dir.write("p.chk", text);
  dir.write("p.chk.bak", "older");
  CheckFile cf;
  ASSERT_TRUE(cf.Load(path));
  // Keys are found from their two pieces: destination root and the rest.
  EXPECT_TRUE(cf.CheckAndConfirm({"/d/", "a"}, 1, 3, 2));
  EXPECT_TRUE(cf.CheckAndConfirm({"/d/", "b"}, 4, 6, 5));
  EXPECT_FALSE(cf.NeedsSave());
  int err = 0;
  ASSERT_TRUE(SaveCheckFileWithBackup(cf, path, &err));
  EXPECT_EQ(dir.read("p.chk"), text);
  EXPECT_EQ(dir.read("p.chk.bak"), "older");
  // A changed entry is written again, under the ".bak" rule.
  ASSERT_TRUE(cf.Load(path));
  EXPECT_FALSE(cf.CheckAndConfirm({"/d/", "b"}, 7, 6, 5));
  EXPECT_TRUE(cf.NeedsSave());
  cf.MarkCopied("/d/b", true);
  ASSERT_TRUE(SaveCheckFileWithBackup(cf, path, &err));
  EXPECT_EQ(maskTimes(dir.read("p.chk")), ";Gebildet: T\r\n/d/a|0|1|2|3\r\n/d/b|0|7|5|6\r\n");
  EXPECT_FALSE(dir.exists("p.chk.bak"));
}

// A file's key is left to its copy: a new one is not recorded by the look,
// a known one is confirmed or (changed) waits for its copy as before.
TEST(CheckFile, ALookWithoutAddingLeavesNewKeysToTheCopy) {
  TempDir dir;
  const std::string path = dir.write("p.chk", "/d/a|0|1|2|3\r\n/d/b|0|4|5|6\r\n");
  CheckFile cf;
  ASSERT_TRUE(cf.Load(path));
  EXPECT_FALSE(cf.CheckAndConfirm({"/d/", "neu"}, 9, 0, 0, false));
  EXPECT_FALSE(cf.CheckAndConfirm({"/e/", "neu"}, 9, 0, 0, false));  // nor its directory
  EXPECT_EQ(cf.entryCount(), 2u);
  EXPECT_EQ(cf.find("/d/neu"), nullptr);
  EXPECT_TRUE(cf.CheckAndConfirm({"/d/", "a"}, 1, 3, 2, false));
  EXPECT_FALSE(cf.CheckAndConfirm({"/d/", "b"}, 7, 6, 5, false));
  ASSERT_NE(cf.find("/d/b"), nullptr);
  EXPECT_EQ(cf.find("/d/b")->size, 7);
  EXPECT_FALSE(cf.find("/d/b")->flags & CheckFile::CONFIRMED);
  EXPECT_TRUE(cf.NeedsSave());
  // The copy records what it read; the file then holds the same as when the look had added it.
  EXPECT_FALSE(cf.CheckAndRecord("/d/neu", 9, 0, 0));
  cf.MarkCopied("/d/neu", true);
  cf.MarkCopied("/d/b", true);
  int err = 0;
  ASSERT_TRUE(SaveCheckFileWithBackup(cf, path, &err));
  EXPECT_EQ(maskTimes(dir.read("p.chk")), ";Gebildet: T\r\n/d/a|0|1|2|3\r\n/d/b|0|7|5|6\r\n/d/neu|0|9|0|0\r\n");
}

// Sizes from 4 GiB on and negative ones (as a file may say) are kept aside
// of the key's small record: they compare and are written exactly, and a
// size that shrinks back below 4 GiB takes its place in the record again.
TEST(CheckFile, SizesBeyondFourGibibytesAndBelowZeroAreKeptExactly) {
  TempDir dir;
  const std::string path =
      dir.write("p.chk", "/d/gross|0|4294967296|1|2\r\n/d/minus|0|-5|1|2\r\n/d/rand|0|4294967295|1|2\r\n");
  CheckFile cf;
  ASSERT_TRUE(cf.Load(path));
  EXPECT_TRUE(cf.CheckAndConfirm({"/d/", "gross"}, 4294967296LL, 2, 1));
  EXPECT_FALSE(cf.CheckAndConfirm({"/d/", "gross"}, 0, 2, 1));  // the lower half alone is not the size
  EXPECT_TRUE(cf.CheckAndConfirm({"/d/", "minus"}, -5, 2, 1));
  EXPECT_TRUE(cf.CheckAndConfirm({"/d/", "rand"}, 4294967295LL, 2, 1));
  EXPECT_FALSE(cf.CheckAndConfirm({"/d/", "rand"}, 1LL << 40, 2, 1));
  EXPECT_FALSE(cf.CheckAndRecord("/d/neu", 9000000000LL, 2, 1));
  for (const char* key : {"/d/gross", "/d/rand", "/d/neu"}) cf.MarkCopied(key, true);
  int err = 0;
  ASSERT_TRUE(SaveCheckFileWithBackup(cf, path, &err));
  EXPECT_EQ(maskTimes(dir.read("p.chk")), ";Gebildet: T\r\n/d/gross|0|0|1|2\r\n/d/minus|0|-5|1|2\r\n"
                                          "/d/neu|0|9000000000|1|2\r\n/d/rand|0|1099511627776|1|2\r\n");
}

TEST(CheckFile, ManyKeysDuplicatesAndByteOrder) {
  TempDir dir;
  // Unsorted, a key twice (the later line counts), names in many directories,
  // and keys whose order differs from the order of their directories.
  const auto line = [](int i) {
    return "/m/d" + std::to_string(i % 7) + "/f" + std::to_string(i) + "|0|" + std::to_string(i) + "|0|0\r\n";
  };
  std::string text =
      "/0/x|0|7|0|0\r\n/0/y|0|8|0|0\r\n/0/x|0|9|0|0\r\n"
      "/a/b0|0|1|0|0\r\n/a/b/c|0|2|0|0\r\nplain|0|3|0|0\r\n/a/b.txt|0|4|0|0\r\n/a/b/c|0|5|0|0\r\n";
  for (int i = 2999; i >= 0; --i) text += line(i);
  const std::string path = dir.write("p.chk", text);
  CheckFile cf;
  ASSERT_TRUE(cf.Load(path));
  EXPECT_EQ(cf.entryCount(), 3006u);
  EXPECT_EQ(cf.find("/a/b/c")->size, 5);
  EXPECT_EQ(cf.find("/0/x")->size, 9);
  EXPECT_TRUE(cf.CheckAndConfirm({"/m/", "d2/f1234"}, 1234, 0, 0));
  EXPECT_TRUE(cf.CheckAndConfirm({"/m/d2/f12", "34"}, 1234, 0, 0));
  EXPECT_FALSE(cf.CheckAndConfirm({"/m/d3/", "f1236"}, 1236, 0, 0));  // not in the file
  // New keys announced (the table grows once for them) are found as any.
  cf.ExpectNewKeys(5000);
  for (int i = 3000; i < 8000; ++i)
    EXPECT_FALSE(cf.CheckAndRecord("/m/d" + std::to_string(i % 7) + "/f" + std::to_string(i), i, 0, 0));
  for (int i = 0; i < 8000; i += 7) EXPECT_EQ(cf.find("/m/d" + std::to_string(i % 7) + "/f" + std::to_string(i))->size, i);
  for (int i = 3000; i < 8000; ++i) cf.MarkCopied("/m/d" + std::to_string(i % 7) + "/f" + std::to_string(i), true);
  int err = 0;
  ASSERT_TRUE(cf.Save(dir / "out.chk", &err)) << err;
  std::vector<std::string> expected;
  for (int i = 0; i < 8000; ++i) expected.push_back(line(i));
  for (const char* l : {"/0/x|0|9|0|0\r\n", "/0/y|0|8|0|0\r\n", "/a/b0|0|1|0|0\r\n", "/a/b/c|0|5|0|0\r\n",
                        "plain|0|3|0|0\r\n", "/a/b.txt|0|4|0|0\r\n"})
    expected.push_back(l);
  // By key: a key sorts before a longer one it begins.
  std::sort(expected.begin(), expected.end(), [](const std::string& a, const std::string& b) {
    return a.substr(0, a.find('|')) < b.substr(0, b.find('|'));
  });
  std::string sorted = ";Gebildet: T\r\n";
  for (const auto& l : expected) sorted += l;
  EXPECT_EQ(maskTimes(dir.read("out.chk")), sorted);
}

// Names fill blocks of 1 MiB: keys in several blocks, one longer than a
// block and keys with odd bytes are found after a load and written back
// byte for byte after changes, with the second field as read.
TEST(CheckFile, KeysAcrossNameBlocksAndOddBytes) {
  TempDir dir;
  std::string text = ";Gebildet: 01.01.2026 00:00:00\r\n";
  const auto key = [](int i) { return "/z/d" + std::to_string(i / 1000) + "/" + std::string(60, 'k') + std::to_string(i); };
  std::vector<std::string> keys;
  for (int i = 0; i < 20000; ++i) keys.push_back(key(i));
  keys.push_back("/z/lang/" + std::string(2 << 20, 'L'));
  keys.push_back(std::string("/z/\xff\x01 \xc3\xa4|bar\t", 12));
  keys.push_back("/z/");  // a directory alone, no name
  std::sort(keys.begin(), keys.end());
  // The second field (kept as read) is 0, 1 or 2.
  const auto fields = [](std::size_t reserved, std::size_t size) {
    return "|" + std::to_string(reserved) + "|" + std::to_string(size) + "|0|0\r\n";
  };
  for (std::size_t i = 0; i < keys.size(); ++i) text += keys[i] + fields(i % 3, i);
  const std::string path = dir.write("p.chk", text);
  CheckFile cf;
  ASSERT_TRUE(cf.Load(path));
  EXPECT_EQ(cf.entryCount(), keys.size());
  for (std::size_t i = 0; i < keys.size(); ++i) {
    const CheckEntry* e = cf.find(keys[i]);
    ASSERT_NE(e, nullptr) << i;
    ASSERT_EQ(e->size, static_cast<std::int64_t>(i));
  }
  EXPECT_EQ(cf.find(key(20000)), nullptr);
  EXPECT_FALSE(cf.NeedsSave());
  // A new key and a changed one: written in key order, the rest unchanged.
  EXPECT_FALSE(cf.CheckAndConfirm({"/z/d3/", "neu"}, 1, 0, 0));
  cf.MarkCopied("/z/d3/neu", true);
  EXPECT_FALSE(cf.CheckAndConfirm({"/z/lang/", std::string(2 << 20, 'L')}, 7, 0, 0));
  cf.MarkCopied("/z/lang/" + std::string(2 << 20, 'L'), true);
  int err = 0;
  ASSERT_TRUE(cf.Save(dir / "out.chk", &err)) << err;
  std::vector<std::pair<std::string, std::string>> lines;  // key, line
  for (std::size_t i = 0; i < keys.size(); ++i) {
    const bool changed = keys[i].starts_with("/z/lang/");
    lines.emplace_back(keys[i], keys[i] + (changed ? fields(0, 7) : fields(i % 3, i)));
  }
  lines.emplace_back("/z/d3/neu", "/z/d3/neu|0|1|0|0\r\n");
  std::sort(lines.begin(), lines.end());
  std::string expected = ";Gebildet: T\r\n";
  for (const auto& l : lines) expected += l.second;
  EXPECT_EQ(maskTimes(dir.read("out.chk")), expected);
}

// A name's size stands before it (one byte, or eight after a mark from 255
// bytes on): names at those sizes, and short ones after a name longer than
// a block, recorded in a run, saved and found again after a load; an entry
// not copied is left out.
TEST(CheckFile, NamesAtEverySizeMarkSurviveASaveAndALoad) {
  TempDir dir;
  std::vector<std::string> keys;
  for (std::size_t n : {1u, 254u, 255u, 256u, 65535u, 65536u, 3u << 20})
    keys.push_back("/r/" + std::string(n, static_cast<char>('a' + n % 26)));
  for (int i = 0; i < 300; ++i) keys.push_back("/r/danach" + std::to_string(i));
  CheckFile cf;
  for (std::size_t i = 0; i < keys.size(); ++i) {
    const std::string_view key = keys[i];
    ASSERT_FALSE(cf.CheckAndConfirm({key.substr(0, 3), key.substr(3)}, static_cast<std::int64_t>(i), 1, 2));
    cf.MarkCopied(keys[i], i != 2);
  }
  for (std::size_t i = 0; i < keys.size(); ++i) ASSERT_EQ(cf.find(keys[i])->size, static_cast<std::int64_t>(i)) << i;
  int err = 0;
  ASSERT_TRUE(cf.Save(dir / "out.chk", &err)) << err;
  CheckFile loaded;
  ASSERT_TRUE(loaded.Load(dir / "out.chk"));
  EXPECT_EQ(loaded.entryCount(), keys.size() - 1);
  EXPECT_EQ(loaded.find(keys[2]), nullptr);  // 255 bytes, not copied
  for (std::size_t i = 0; i < keys.size(); ++i) {
    if (i == 2) continue;
    const CheckEntry* e = loaded.find(keys[i]);
    ASSERT_NE(e, nullptr) << i;
    EXPECT_EQ(e->size, static_cast<std::int64_t>(i));
    EXPECT_EQ(e->timeLow, 1);
    EXPECT_EQ(e->timeHigh, 2);
    EXPECT_EQ(e->flags, CheckFile::CONFIRMED | CheckFile::IN_FILE);
  }
  EXPECT_FALSE(loaded.NeedsSave());
  EXPECT_TRUE(loaded.CheckAndConfirm({"/r/", keys[5].substr(3)}, 5, 1, 2));
  EXPECT_FALSE(loaded.NeedsSave());
}

TEST(CheckFile, BackupSafeguardKeepsTheOldFileWhenSavingFails) {
  TempDir dir;
  const std::string path = dir.write("p.chk", ";Gebildet: x\r\n/old|0|1|2|3\r\n");
  CheckFile cf;
  cf.Load(path);
  int err = 0;
  ASSERT_TRUE(SaveCheckFileWithBackup(cf, path, &err));
  EXPECT_FALSE(dir.exists("p.chk.bak"));
  EXPECT_NE(dir.read("p.chk").find("/old|0|1|2|3\r\n"), std::string::npos);
  EXPECT_EQ(cf.entryCount(), 0u);  // cleared

  // A full disk while writing: the previous file is put back.
  {
    platform::fault::Scope scope;
    platform::fault::Rule rule;
    rule.call = platform::fault::Call::Write;
    rule.error = ENOSPC;
    rule.times = -1;
    rule.pathContains = "p.chk";
    platform::fault::arm(rule);
    CheckFile next;
    next.Load(path);
    next.CheckAndRecord("/new", 1, 1, 1);
    next.MarkCopied("/new", true);
    EXPECT_FALSE(SaveCheckFileWithBackup(next, path, &err));
    EXPECT_EQ(err, ENOSPC);
  }
  EXPECT_NE(dir.read("p.chk").find("/old|0|1|2|3\r\n"), std::string::npos);
  EXPECT_EQ(dir.read("p.chk").find("/new"), std::string::npos);
  EXPECT_FALSE(dir.exists("p.chk.bak"));

  // A check file in a directory that does not exist cannot be written.
  CheckFile other;
  other.CheckAndRecord("/x", 1, 1, 1);
  other.MarkCopied("/x", true);
  EXPECT_FALSE(SaveCheckFileWithBackup(other, dir / "nodir/p.chk", &err));
  EXPECT_EQ(err, ENOENT);
}

}  // namespace
}  // namespace kalvero
