// Damaged and hostile archives: a clean exception or a clean result, never
// a crash, a hang or an allocation sized by a declared value.
#include <gtest/gtest.h>

#include "platform/FileError.h"
#include "support/TempDir.h"
#include "zip/ZipArchiveLayer.h"
#include "zip/ZipFormat.h"
#include "support/ZipTestSupport.h"

namespace kalvero {
namespace {

using test::TempDir;
using namespace zipformat;

enum class Outcome { Read, ZipError, FileError };

// Opens, lists and reads every entry, as a restore would.
Outcome readAll(const std::string& path, int* cause = nullptr) {
  ZipArchiveLayer zip;
  try {
    zip.Open(path, ZipArchiveLayer::OpenExisting);
    zip.GetArchiveComment();
    std::string buffer(65536, '\0');
    for (int i = 0; i < zip.GetEntryCount(); ++i) {
      ZipEntryHeader h;
      zip.GetEntryInfo(i, h);
      if (zip.IsEntryDirectory(i) || !zip.OpenEntry(i)) continue;
      while (zip.ReadEntry(buffer.data(), buffer.size()) == buffer.size()) {
      }
      zip.CloseEntry();
    }
    zip.Close(false);
    return Outcome::Read;
  } catch (const CZipException& e) {
    if (cause) *cause = e.cause();
    zip.Close(true);
    return Outcome::ZipError;
  } catch (const platform::FileError&) {
    zip.Close(true);
    return Outcome::FileError;
  }
}

// Two entries, so both central headers and the second local header are hit.
std::string sampleArchive(const TempDir& t) {
  std::string path = t / "sample.zip";
  ZipArchiveLayer zip;
  zip.Open(path, ZipArchiveLayer::Create);
  zip.SetArchiveComment("Compressed by Kalvero");
  for (const char* name : {"a.txt", "dir/b.bin"}) {
    ZipEntryHeader h;
    h.name = name;
    zip.OpenNewFile(h, -1);
    std::string data = test::mixedBytes(400, name[0]);
    zip.WriteNewFile(data.data(), data.size());
  }
  zip.Close(false);
  return test::readFile(path);
}

TEST(ZipBadInput, EveryTruncation) {
  TempDir t;
  const std::string whole = sampleArchive(t);
  ASSERT_EQ(readAll(t / "sample.zip"), Outcome::Read);
  for (std::size_t n = 0; n < whole.size(); ++n) {
    test::writeFile(t / "cut.zip", whole.substr(0, n));
    // Only a cut inside the trailing comment can leave a readable record.
    EXPECT_EQ(readAll(t / "cut.zip"), Outcome::ZipError) << n;
  }
}

TEST(ZipBadInput, EveryFlippedByte) {
  TempDir t;
  const std::string whole = sampleArchive(t);
  int read = 0;
  for (std::size_t i = 0; i < whole.size(); ++i) {
    for (unsigned char mask : {0x01, 0xFF}) {
      std::string bytes = whole;
      bytes[i] = static_cast<char>(bytes[i] ^ mask);
      test::writeFile(t / "flip.zip", bytes);
      if (readAll(t / "flip.zip") == Outcome::Read) ++read;
    }
  }
  // Flips in the comment, times, attributes and the like still read.
  EXPECT_GT(read, 0);
}

std::string withField(std::string bytes, std::size_t at, std::uint32_t value, int width) {
  auto* p = reinterpret_cast<unsigned char*>(bytes.data()) + at;
  if (width == 4)
    put32(p, value);
  else
    put16(p, static_cast<std::uint16_t>(value));
  return bytes;
}

TEST(ZipBadInput, BogusOffsetsAndSizes) {
  TempDir t;
  const std::string whole = sampleArchive(t);
  const std::size_t end = whole.rfind("PK\x05\x06");
  const std::size_t central = whole.find("PK\x01\x02");
  struct Case {
    std::size_t at;
    std::uint32_t value;
    int width;
  };
  const Case cases[] = {
      {end + 16, 0xFFFFFFF0u, 4},          // directory offset beyond the file
      {end + 12, 0xFFFFFFF0u, 4},          // directory size beyond the file
      {end + 16, 0, 4},                    // offset too low: headers misread
      {end + 10, 65535, 2},                // more entries than there are
      {central + 42, 0xFFFFFF00u, 4},      // local header offset beyond the file
      {central + 20, 0xFFFFFFFFu, 4},      // declared 4 GiB compressed
      {central + 24, 0xFFFFFFFFu, 4},      // declared 4 GiB uncompressed
      {central + 28, 65535, 2},            // name length running over everything
      {central + 30, 65535, 2},            // extra length
  };
  for (const Case& c : cases) {
    test::writeFile(t / "bad.zip", withField(whole, c.at, c.value, c.width));
    int cause = 0;
    EXPECT_EQ(readAll(t / "bad.zip", &cause), Outcome::ZipError) << c.at;
    EXPECT_EQ(cause, CZipException::BAD_ZIP_FILE) << c.at;
  }
}

TEST(ZipBadInput, DeclaredFourGigabytesInBothHeaders) {
  TempDir t;
  std::string bytes = sampleArchive(t);
  const std::size_t central = bytes.find("PK\x01\x02");
  for (std::size_t at : {std::size_t(18), std::size_t(22), central + 20, central + 24})
    bytes = withField(bytes, at, 0xFFFFFFFFu, 4);
  test::writeFile(t / "huge.zip", bytes);
  int cause = 0;
  EXPECT_EQ(readAll(t / "huge.zip", &cause), Outcome::ZipError);
  EXPECT_TRUE(cause == CZipException::BAD_ZIP_FILE || cause == CZipException::DATA_ERROR) << cause;
}

TEST(ZipBadInput, StoredEntryShorterThanDeclared) {
  TempDir t;
  std::string data = "stored data";
  std::string a;
  unsigned char h[30] = {};
  put32(h, kLocalSignature);
  put16(h + 26, 1);
  put32(h + 18, static_cast<std::uint32_t>(data.size()));
  put32(h + 22, 1000000);  // more than is there
  a.append(reinterpret_cast<char*>(h), 30);
  a += "s" + data;
  std::size_t cd = a.size();
  unsigned char c[46] = {};
  put32(c, kCentralSignature);
  put32(c + 20, static_cast<std::uint32_t>(data.size()));
  put32(c + 24, 1000000);
  put16(c + 28, 1);
  a.append(reinterpret_cast<char*>(c), 46);
  a += "s";
  unsigned char e[22] = {};
  put32(e, kEndSignature);
  put16(e + 8, 1);
  put16(e + 10, 1);
  put32(e + 12, 47);
  put32(e + 16, static_cast<std::uint32_t>(cd));
  a.append(reinterpret_cast<char*>(e), 22);
  test::writeFile(t / "s.zip", a);
  int cause = 0;
  EXPECT_EQ(readAll(t / "s.zip", &cause), Outcome::ZipError);
  EXPECT_EQ(cause, CZipException::BAD_ZIP_FILE);
}

TEST(ZipBadInput, UnreadableArchive) {
  TempDir t;
  t.mkdir("a directory.zip");
  EXPECT_EQ(readAll(t / "a directory.zip"), Outcome::FileError);
  EXPECT_EQ(readAll(t / "missing.zip"), Outcome::FileError);
}

}  // namespace
}  // namespace kalvero
