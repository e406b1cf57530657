// The checksum list's lines against sha256sum itself: what we write it
// checks, what it writes we read.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/Sha256.h"
#include "run/ChecksumList.h"
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

}  // namespace
}  // namespace kalvero
