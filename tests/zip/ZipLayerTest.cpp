// The archive layer against its own format: layout, names, times, reading.
#include <gtest/gtest.h>
#include <zlib.h>

#include <filesystem>

#include "platform/FileError.h"
#include "platform/FileSystem.h"
#include "support/TempDir.h"
#include "backup/CompressZip.h"
#include "zip/ZipArchiveLayer.h"
#include "zip/ZipFormat.h"
#include "support/ZipTestSupport.h"

namespace kalvero {
namespace {

using test::TempDir;
using namespace zipformat;

std::string rawDeflate(const std::string& data) {
  z_stream z{};
  deflateInit2(&z, -1, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
  std::string out(deflateBound(&z, data.size()) + 16, '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  z.avail_in = static_cast<uInt>(data.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

TEST(ZipLayer, OneFileArchiveHasTheExactLayout) {
  TempDir t;
  std::string data = test::mixedBytes(100000);
  std::string src = t.write("Briefe/a.txt", data);
  std::string zipPath = t / "a.txt.zip";
  test::writeArchive(zipPath, "Briefe/a.txt", src);
  std::string bytes = test::readFile(zipPath);
  std::string d = rawDeflate(data);
  const std::size_t n = std::string("Briefe/a.txt").size();
  ASSERT_EQ(bytes.size(), 2 * n + d.size() + 119);
  auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  EXPECT_EQ(get32(p), kLocalSignature);
  EXPECT_EQ(get16(p + 4), 20);
  EXPECT_EQ(get16(p + 6), 0);  // ASCII name, default level
  EXPECT_EQ(get16(p + 8), 8);
  EXPECT_EQ(get32(p + 14), crc32(0, reinterpret_cast<const Bytef*>(data.data()), data.size()));
  EXPECT_EQ(get32(p + 18), d.size());
  EXPECT_EQ(get32(p + 22), data.size());
  EXPECT_EQ(get16(p + 28), 0);
  EXPECT_EQ(bytes.substr(30, n), "Briefe/a.txt");
  EXPECT_EQ(bytes.substr(30 + n, d.size()), d);
  const unsigned char* c = p + 30 + n + d.size();
  EXPECT_EQ(get32(c), kCentralSignature);
  EXPECT_EQ(get16(c + 4), 0x0314);  // Unix host, 2.0: the high attribute bits are the file's mode
  EXPECT_EQ(get32(c + 38) & 0x20u, 0x20u);  // archive bit of a new file
  EXPECT_EQ(get32(c + 38) >> 16, platform::statPath(src)->mode | 0100000u);
  EXPECT_EQ(get32(c + 42), 0u);
  const unsigned char* e = c + 46 + n;
  EXPECT_EQ(get32(e), kEndSignature);
  EXPECT_EQ(get16(e + 8), 1);
  EXPECT_EQ(get16(e + 10), 1);
  EXPECT_EQ(get32(e + 12), 46 + n);
  EXPECT_EQ(get32(e + 16), 30 + n + d.size());
  EXPECT_EQ(get16(e + 20), 21);
  EXPECT_EQ(bytes.substr(bytes.size() - 21), "Compressed by Kalvero");
}

TEST(ZipLayer, EmptyFileGivesTheTwoByteStream) {
  TempDir t;
  std::string src = t.write("leer", "");
  test::writeArchive(t / "leer.zip", "leer", src);
  std::string bytes = test::readFile(t / "leer.zip");
  ASSERT_EQ(bytes.size(), 2 * 4 + 2 + 119);
  ZipArchiveLayer zip;
  zip.Open(t / "leer.zip", ZipArchiveLayer::OpenExisting);
  ZipEntryHeader h;
  ASSERT_TRUE(zip.GetEntryInfo(0, h));
  EXPECT_EQ(h.uncompressedSize, 0u);
  EXPECT_EQ(h.crc32, 0u);
  EXPECT_EQ(h.compressedSize, 2u);
  EXPECT_EQ(test::readEntry(zip, 0), "");
  zip.Close(false);
}

TEST(ZipLayer, NamesAreUtf8WithBit11OnlyWhenNeeded) {
  TempDir t;
  std::string src = t.write("x", "inhalt");
  test::writeArchive(t / "u.zip", "Bücher/Größe ä.txt", src);
  test::writeArchive(t / "a.zip", "plain/name.txt", src);
  auto flags = [&](const std::string& p) { return get16(reinterpret_cast<const unsigned char*>(test::readFile(p).data()) + 6); };
  EXPECT_EQ(flags(t / "u.zip") & 0x0800, 0x0800);
  EXPECT_EQ(flags(t / "a.zip") & 0x0800, 0);
  ZipArchiveLayer zip;
  zip.Open(t / "u.zip", ZipArchiveLayer::OpenExisting);
  ZipEntryHeader h;
  ASSERT_TRUE(zip.GetEntryInfo(0, h));
  EXPECT_EQ(h.name, "Bücher/Größe ä.txt");
  zip.Close(false);
}

TEST(ZipLayer, Cp437NamesWithoutBit11AreReadAsCp437) {
  TempDir t;
  std::string src = t.write("x", "abc");
  std::string path = t / "cp.zip";
  test::writeArchive(path, "Gr\x94\xe1" "e.txt", src);  // "Größe" in CP437, no bit 11 forced below
  std::string bytes = test::readFile(path);
  // The writer set bit 11 for the high bytes; clear it in both headers.
  bytes[6] = 0;
  bytes[7] = 0;
  std::size_t central = bytes.find("PK\x01\x02");
  bytes[central + 8] = 0;
  bytes[central + 9] = 0;
  bytes[central + 5] = 0;  // made on FAT: names there are CP437 (a Unix host's bytes are taken as they are)
  test::writeFile(path, bytes);
  ZipArchiveLayer zip;
  zip.Open(path, ZipArchiveLayer::OpenExisting);
  ZipEntryHeader h;
  ASSERT_TRUE(zip.GetEntryInfo(0, h));
  EXPECT_EQ(h.name, "Größe.txt");
  EXPECT_EQ(test::readEntry(zip, 0), "abc");
  zip.Close(false);
}

TEST(ZipLayer, DosTimes) {
  platform::LocalTime lt{2021, 7, 15, 13, 45, 31, 0};
  platform::FileTime t = platform::fileTimeFromUnix(platform::unixFromLocal(lt), 0);
  std::uint16_t time = 0, date = 0;
  DosTimeFromFileTime(t, time, date);
  EXPECT_EQ(time, 13 * 2048 + 45 * 32 + 15);  // odd second rounded down
  EXPECT_EQ(date, (2021 - 1980) * 512 + 7 * 32 + 15);
  EXPECT_EQ(platform::unixSecondsFromFileTime(FileTimeFromDos(time, date)), platform::unixFromLocal(lt) - 1);

  platform::LocalTime old{1979, 3, 4, 5, 6, 8, 0};
  DosTimeFromFileTime(platform::fileTimeFromUnix(platform::unixFromLocal(old), 0), time, date);
  EXPECT_EQ(date >> 9, 0);
  EXPECT_EQ(date & 0x1FF, 3 * 32 + 4);
  EXPECT_EQ(FileTimeFromDos(0, 0), 0u);  // month 0: no time
}

TEST(ZipLayer, UnreadableSourceStillGivesAnEntry) {
  TempDir t;
  ZipArchiveLayer zip;
  zip.Open(t / "n.zip", ZipArchiveLayer::Create);
  ZipEntryHeader h;
  h.name = "fehlt.txt";
  EXPECT_FALSE(zip.OpenNewFile(h, -1, t / "fehlt.txt"));
  zip.Close(false);
  zip.Open(t / "n.zip", ZipArchiveLayer::OpenExisting);
  ASSERT_EQ(zip.GetEntryCount(), 1);
  ZipEntryHeader out;
  zip.GetEntryInfo(0, out);
  EXPECT_EQ(out.modTime, 0);
  EXPECT_EQ(out.modDate, 0);
  EXPECT_EQ(out.externalAttributes, 0x20u);
  zip.Close(false);
}

TEST(ZipLayer, EmptyNameBecomesFileN) {
  TempDir t;
  ZipArchiveLayer zip;
  zip.Open(t / "e.zip", ZipArchiveLayer::Create);
  ZipEntryHeader h;
  EXPECT_TRUE(zip.OpenNewFile(h, -1));
  zip.CloseNewFile();
  EXPECT_TRUE(zip.OpenNewFile(h, -1));
  zip.Close(false);
  zip.Open(t / "e.zip", ZipArchiveLayer::OpenExisting);
  ZipEntryHeader a, b;
  zip.GetEntryInfo(0, a);
  zip.GetEntryInfo(1, b);
  EXPECT_EQ(a.name, "file1");
  EXPECT_EQ(b.name, "file2");
  zip.Close(false);
}

TEST(ZipLayer, LevelSetsTheDeflateOptionBits) {
  TempDir t;
  for (auto [level, flags] : {std::pair{1, 6}, {2, 4}, {8, 2}, {9, 2}, {-1, 0}, {5, 0}}) {
    ZipArchiveLayer zip;
    zip.Open(t / "l.zip", ZipArchiveLayer::Create);
    ZipEntryHeader h;
    h.name = "x";
    zip.OpenNewFile(h, level);
    zip.WriteNewFile("abcabcabc", 9);
    zip.Close(false);
    std::string bytes = test::readFile(t / "l.zip");
    EXPECT_EQ(get16(reinterpret_cast<const unsigned char*>(bytes.data()) + 6), flags) << level;
  }
}

TEST(ZipLayer, StateRules) {
  TempDir t;
  ZipArchiveLayer zip;
  EXPECT_TRUE(zip.IsClosed());
  EXPECT_FALSE(zip.SetArchiveComment("x"));
  EXPECT_EQ(zip.GetArchiveComment(), "");
  ZipEntryHeader h;
  EXPECT_FALSE(zip.OpenNewFile(h, -1));
  EXPECT_FALSE(zip.WriteNewFile("a", 1));
  EXPECT_FALSE(zip.CloseNewFile());
  EXPECT_FALSE(zip.GetEntryInfo(0, h));
  EXPECT_FALSE(zip.OpenEntry(0));
  EXPECT_EQ(zip.ReadEntry(nullptr, 5), 0u);
  EXPECT_FALSE(zip.CloseEntry());
  zip.Close(false);  // closed: nothing

  zip.Open(t / "s.zip", ZipArchiveLayer::Create);
  EXPECT_FALSE(zip.IsClosed());
  zip.Open(t / "other.zip", ZipArchiveLayer::Create);  // ignored while open
  EXPECT_FALSE(t.exists("other.zip"));
  h.name = "a";
  EXPECT_TRUE(zip.OpenNewFile(h, -1));
  EXPECT_FALSE(zip.OpenNewFile(h, -1));  // one entry at a time
  zip.Close(false);                      // finishes the entry
  zip.Open(t / "s.zip", ZipArchiveLayer::OpenExisting);
  EXPECT_EQ(zip.GetEntryCount(), 1);
  EXPECT_FALSE(zip.SetArchiveComment("y"));  // an archive read is never changed
  EXPECT_FALSE(zip.OpenNewFile(h, -1));
  EXPECT_FALSE(zip.OpenEntry(1));
  EXPECT_FALSE(zip.OpenEntry(-1));
  EXPECT_TRUE(zip.OpenEntry(0x10000));  // low 16 bits
  EXPECT_FALSE(zip.OpenEntry(0));
  zip.Close(false);
}

TEST(ZipLayer, ExistingArchiveIsOpenedReadOnlyAndLeftUnchanged) {
  TempDir t;
  std::string src = t.write("a", test::mixedBytes(5000));
  test::writeArchive(t / "a.zip", "a", src);
  std::string before = test::readFile(t / "a.zip");
  platform::setFileAttributes(t / "a.zip", platform::ATTR_READONLY);
  ZipArchiveLayer zip;
  zip.Open(t / "a.zip", ZipArchiveLayer::OpenExisting);
  EXPECT_EQ(zip.GetArchiveComment(), "Compressed by Kalvero");
  EXPECT_EQ(test::readEntry(zip, 0), test::readFile(src));
  zip.Close(false);
  EXPECT_EQ(test::readFile(t / "a.zip"), before);
}

TEST(ZipLayer, ExtractEntryWritesThroughAHiddenName) {
  TempDir t;
  std::string data = test::mixedBytes(1500000, 7);
  std::string src = t.write("q/big.bin", data);
  platform::LocalTime lt{2020, 2, 29, 10, 20, 30, 0};
  platform::setFileTimes(src, platform::fileTimeFromUnix(platform::unixFromLocal(lt), 0),
                         platform::fileTimeFromUnix(platform::unixFromLocal(lt), 0));
  test::writeArchive(t / "big.zip", "big.bin", src);
  t.mkdir("out");
  t.write("out/big.bin", "old contents");
  ZipArchiveLayer zip;
  zip.Open(t / "big.zip", ZipArchiveLayer::OpenExisting);
  std::vector<std::uint64_t> steps;
  EXPECT_EQ(zip.ExtractEntry(0, t / "out/big.bin", [&](std::uint64_t done) {
    steps.push_back(done);
    return true;
  }), ExtractResult::Done);
  EXPECT_EQ(t.read("out/big.bin"), data);
  EXPECT_EQ(steps, (std::vector<std::uint64_t>{640000, 1280000, 1500000}));
  auto st = platform::statPath(t / "out/big.bin");
  EXPECT_EQ(st->mtimeSeconds, platform::unixFromLocal(lt));

  // A cancel leaves the old file and no temporary one.
  t.write("out/big.bin", "old contents");
  EXPECT_EQ(zip.ExtractEntry(0, t / "out/big.bin", [](std::uint64_t) { return false; }), ExtractResult::Cancelled);
  EXPECT_EQ(t.read("out/big.bin"), "old contents");
  EXPECT_EQ(zip.ExtractEntry(5, t / "out/x", {}), ExtractResult::Refused);
  zip.Close(false);
  int files = 0;
  for (auto& e : std::filesystem::directory_iterator(t / "out")) (void)e, ++files;
  EXPECT_EQ(files, 1);
}

TEST(ZipLayer, CrcMismatchIsFoundAfterAllDataAndLeavesNoFile) {
  TempDir t;
  std::string src = t.write("a", test::mixedBytes(20000));
  test::writeArchive(t / "a.zip", "a", src);
  std::string bytes = test::readFile(t / "a.zip");
  // Same CRC in both headers, but wrong.
  bytes[14] ^= 1;
  bytes[bytes.find("PK\x01\x02") + 16] ^= 1;
  test::writeFile(t / "a.zip", bytes);
  ZipArchiveLayer zip;
  zip.Open(t / "a.zip", ZipArchiveLayer::OpenExisting);
  ASSERT_TRUE(zip.OpenEntry(0));
  std::string buffer(30000, '\0');
  EXPECT_EQ(zip.ReadEntry(buffer.data(), buffer.size()), 20000u);
  EXPECT_EQ(zip.ReadEntry(buffer.data(), buffer.size()), 0u);
  try {
    zip.CloseEntry();
    FAIL();
  } catch (const CZipException& e) {
    EXPECT_EQ(e.cause(), CZipException::BAD_CRC);
    EXPECT_STREQ(e.what(), "");
  }
  zip.Close(true);
  zip.Open(t / "a.zip", ZipArchiveLayer::OpenExisting);
  t.mkdir("out");
  EXPECT_THROW(zip.ExtractEntry(0, t / "out/a"), CZipException);
  zip.Close(false);  // the failed entry was ended: closing works
  EXPECT_TRUE(std::filesystem::is_empty(t / "out"));
}

TEST(ZipLayer, CorruptDeflateGivesDataOrBufferError) {
  TempDir t;
  std::string src = t.write("a", test::mixedBytes(50000));
  test::writeArchive(t / "a.zip", "a", src);
  std::string bytes = test::readFile(t / "a.zip");
  for (std::size_t i = 31; i < 31 + 40; ++i) bytes[i] = static_cast<char>(0xFF);
  test::writeFile(t / "a.zip", bytes);
  ZipArchiveLayer zip;
  zip.Open(t / "a.zip", ZipArchiveLayer::OpenExisting);
  try {
    test::readEntry(zip, 0);
    FAIL();
  } catch (const CZipException& e) {
    EXPECT_TRUE(e.cause() == 6 || e.cause() == 8 || e.cause() == 11 || e.cause() == 10) << e.cause();
    EXPECT_EQ(e.archivePath(), t / "a.zip");
  }
  zip.Close(true);
  EXPECT_EQ(zip.zlibBlocks(), 0u);
}

TEST(ZipLayer, NotAnArchive) {
  TempDir t;
  ZipArchiveLayer zip;
  for (std::string content : {std::string(), std::string("PK\x05\x06"), test::mixedBytes(200000)}) {
    t.write("x.zip", content);
    try {
      zip.Open(t / "x.zip", ZipArchiveLayer::OpenExisting);
      FAIL();
    } catch (const CZipException& e) {
      EXPECT_EQ(e.cause(), CZipException::BAD_ZIP_FILE);
    }
    EXPECT_TRUE(zip.IsClosed());
  }
  t.mkdir("dir.zip");
  EXPECT_THROW(zip.Open(t / "dir.zip", ZipArchiveLayer::OpenExisting), platform::FileError);
  EXPECT_THROW(zip.Open(t / "missing.zip", ZipArchiveLayer::OpenExisting), platform::FileError);
  EXPECT_TRUE(zip.IsClosed());
}

TEST(ZipLayer, EndRecordOnly) {
  TempDir t;
  std::string rec("PK\x05\x06", 4);
  rec += std::string(16, '\0');
  rec += std::string("\x05\x00", 2) + "Hallo";
  t.write("e.zip", rec);
  ZipArchiveLayer zip;
  zip.Open(t / "e.zip", ZipArchiveLayer::OpenExisting);
  EXPECT_EQ(zip.GetEntryCount(), 0);
  EXPECT_EQ(zip.GetArchiveComment(), "Hallo");
  zip.Close(false);

  std::string bad = rec;
  bad[10] = 1;  // one entry, size 0
  t.write("b.zip", bad);
  try {
    zip.Open(t / "b.zip", ZipArchiveLayer::OpenExisting);
    FAIL();
  } catch (const CZipException& e) {
    EXPECT_EQ(e.cause(), 10);
  }
}

TEST(ZipLayer, StubBeforeTheArchiveIsSkipped) {
  TempDir t;
  std::string src = t.write("a", test::mixedBytes(3000));
  test::writeArchive(t / "a.zip", "dir/a", src);
  test::writeFile(t / "sfx.zip", std::string(12345, 'M') + test::readFile(t / "a.zip"));
  ZipArchiveLayer zip;
  zip.Open(t / "sfx.zip", ZipArchiveLayer::OpenExisting);
  EXPECT_EQ(zip.centralDirectory().bytesBefore, 12345u);
  EXPECT_EQ(test::readEntry(zip, 0), test::readFile(src));
  zip.Close(false);
}

TEST(ZipLayer, DataDescriptorWithAndWithoutSignature) {
  TempDir t;
  std::string data = test::mixedBytes(10000);
  std::string d = rawDeflate(data);
  std::uint32_t crc = crc32(0, reinterpret_cast<const Bytef*>(data.data()), data.size());
  for (bool signature : {true, false}) {
    std::string a;
    unsigned char h[30] = {};
    put32(h, kLocalSignature);
    put16(h + 4, 20);
    put16(h + 6, 8);
    put16(h + 8, 8);
    put16(h + 26, 1);
    a.append(reinterpret_cast<char*>(h), 30);
    a += "d";
    a += d;
    unsigned char dd[16];
    put32(dd, kDescriptorSignature);
    put32(dd + 4, crc);
    put32(dd + 8, static_cast<std::uint32_t>(d.size()));
    put32(dd + 12, static_cast<std::uint32_t>(data.size()));
    if (signature)
      a.append(reinterpret_cast<char*>(dd), 16);
    else
      a.append(reinterpret_cast<char*>(dd + 4), 12);
    std::size_t cdStart = a.size();
    unsigned char c[46] = {};
    put32(c, kCentralSignature);
    put16(c + 8, 8);
    put16(c + 10, 8);
    put32(c + 16, crc);
    put32(c + 20, static_cast<std::uint32_t>(d.size()));
    put32(c + 24, static_cast<std::uint32_t>(data.size()));
    put16(c + 28, 1);
    a.append(reinterpret_cast<char*>(c), 46);
    a += "d";
    unsigned char e[22] = {};
    put32(e, kEndSignature);
    put16(e + 8, 1);
    put16(e + 10, 1);
    put32(e + 12, 47);
    put32(e + 16, static_cast<std::uint32_t>(cdStart));
    a.append(reinterpret_cast<char*>(e), 22);
    t.write("dd.zip", a);
    ZipArchiveLayer zip;
    zip.Open(t / "dd.zip", ZipArchiveLayer::OpenExisting);
    EXPECT_EQ(test::readEntry(zip, 0), data) << signature;
    zip.Close(false);
  }
}

TEST(ZipLayer, TooLongNameIsRefused) {
  TempDir t;
  ZipArchiveLayer zip;
  zip.Open(t / "n.zip", ZipArchiveLayer::Create);
  ZipEntryHeader h;
  h.name = std::string(65536, 'n');
  try {
    zip.OpenNewFile(h, -1);
    FAIL();
  } catch (const CZipException& e) {
    EXPECT_EQ(e.cause(), CZipException::TOO_LONG_NAME);
  }
  h.name = std::string(65535, 'n');
  EXPECT_TRUE(zip.OpenNewFile(h, -1));
  zip.Close(false);
  zip.Open(t / "n.zip", ZipArchiveLayer::OpenExisting);
  ZipEntryHeader out;
  ASSERT_TRUE(zip.GetEntryInfo(0, out));
  EXPECT_EQ(out.name.size(), 65535u);
  zip.Close(false);
}

TEST(ZipLayer, SixtyFiveThousandEntries) {
  TempDir t;
  ZipArchiveLayer zip;
  zip.Open(t / "many.zip", ZipArchiveLayer::Create);
  ZipEntryHeader h;
  for (int i = 0; i < 65535; ++i) {
    h.name = std::to_string(i);
    ASSERT_TRUE(zip.OpenNewFile(h, -1));
    zip.CloseNewFile();
  }
  EXPECT_FALSE(zip.OpenNewFile(h, -1));  // no 65,536th entry
  zip.Close(false);
  zip.Open(t / "many.zip", ZipArchiveLayer::OpenExisting);
  EXPECT_EQ(zip.GetEntryCount(), 65535);
  ZipEntryHeader last;
  zip.GetEntryInfo(65534, last);
  EXPECT_EQ(last.name, "65534");
  EXPECT_EQ(test::readEntry(zip, 65534), "");
  zip.Close(false);
}

TEST(ZipLayer, ZlibMemoryIsTrackedAndFreed) {
  TempDir t;
  ZipArchiveLayer zip;
  zip.Open(t / "m.zip", ZipArchiveLayer::Create);
  ZipEntryHeader h;
  h.name = "m";
  zip.OpenNewFile(h, -1);
  EXPECT_GT(zip.zlibBlocks(), 0u);
  zip.Close(true);  // abandoned after a failure
  EXPECT_EQ(zip.zlibBlocks(), 0u);
  zip.Open(t / "m2.zip", ZipArchiveLayer::Create);
  zip.OpenNewFile(h, -1);
  zip.CloseNewFile();
  EXPECT_EQ(zip.zlibBlocks(), 0u);
  zip.Close(false);
}

TEST(ZipLayer, DirectoryEntries) {
  TempDir t;
  ZipArchiveLayer zip;
  zip.Open(t / "d.zip", ZipArchiveLayer::Create);
  ZipEntryHeader h;
  h.name = "sub/";
  h.externalAttributes = 0;
  zip.OpenNewFile(h, -1);
  h.name = "flagged";
  zip.OpenNewFile(h, -1);
  zip.Close(false);
  zip.Open(t / "d.zip", ZipArchiveLayer::OpenExisting);
  EXPECT_TRUE(zip.IsEntryDirectory(0));
  EXPECT_FALSE(zip.IsEntryDirectory(1));
  EXPECT_FALSE(zip.IsEntryDirectory(2));
  zip.Close(false);
}

TEST(ZipPaths, Helpers) {
  TempDir t;
  EXPECT_EQ(GetDirectoryOf("/a/b/c.txt"), "/a/b/");
  EXPECT_EQ(GetDirectoryOf("c.txt"), "");
  EXPECT_TRUE(CreateDirectoryPath(t / "x/y/z/"));
  EXPECT_TRUE(IsExistingDirectory(t / "x/y/z"));
  t.write("file", "f");
  EXPECT_FALSE(CreateDirectoryPath(t / "file/sub"));
  EXPECT_FALSE(IsExistingDirectory(t / "file"));
}

}  // namespace
}  // namespace kalvero
