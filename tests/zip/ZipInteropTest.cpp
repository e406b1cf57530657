// Interoperability with the real archive tools: what we write they test and
// unpack; what they write we read.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "platform/FileSystem.h"
#include "support/TempDir.h"
#include "zip/CompressZip.h"
#include "zip/ZipTestSupport.h"

namespace kalvero {
namespace {

using test::q;
using test::TempDir;

// The tools print and read names in the locale's encoding.
const std::string kEnv = "LC_ALL=C.UTF-8 ";
const std::string kEntry = "Bücher und Größen/Übersicht März.txt";

struct Written {
  TempDir t;
  std::string data = test::mixedBytes(300000, 3);
  std::string archive;
  std::int64_t mtime = 0;

  Written() {
    CopyJob job;
    job.sourceRoot = t / "src/";
    job.source = t.write("src/" + kEntry, data);
    platform::LocalTime lt{2019, 11, 5, 8, 9, 11, 0};  // odd second: stored as 10
    mtime = platform::unixFromLocal(lt);
    platform::setFileTimes(job.source, platform::fileTimeFromUnix(mtime, 0), platform::fileTimeFromUnix(mtime, 0));
    t.mkdir("dst");
    job.destination = t / "dst/archiv";
    ZipArchiveLayer zip;
    CopyContext ctx;
    EXPECT_TRUE(CompressZip(zip, job, ctx)) << job.error.text;
    archive = job.finalName;
  }
  void checkUnpacked(const std::string& dir, bool withTime) {
    std::string path = dir + "/" + kEntry;
    EXPECT_TRUE(test::readFile(path) == data) << path << "\n" << test::run("ls -lR " + q(dir)).output;
    if (withTime) {
      auto st = platform::statPath(path);
      ASSERT_TRUE(st);
      EXPECT_EQ(st->mtimeSeconds, mtime - 1);
    }
  }
};

TEST(ZipInterop, UnzipTestsAndUnpacksOurArchive) {
  if (!test::haveTool("unzip")) GTEST_SKIP() << "unzip missing";
  Written w;
  auto r = test::run(kEnv + "unzip -t " + q(w.archive));
  EXPECT_EQ(r.status, 0) << r.output;
  EXPECT_NE(r.output.find("Compressed by Kalvero"), std::string::npos) << r.output;
  r = test::run(kEnv + "unzip -q " + q(w.archive) + " -d " + q(w.t / "unzip"));
  EXPECT_EQ(r.status, 0) << r.output;
  w.checkUnpacked(w.t / "unzip", true);
}

TEST(ZipInterop, PythonTestsAndUnpacksOurArchive) {
  if (!test::haveTool("python3")) GTEST_SKIP() << "python3 missing";
  Written w;
  auto r = test::run(kEnv + "python3 -c " +
                     q("import sys, zipfile\n"
                       "z = zipfile.ZipFile(sys.argv[1])\n"
                       "assert z.testzip() is None\n"
                       "i = z.infolist()[0]\n"
                       "print(i.filename, i.date_time, z.comment.decode())\n"
                       "z.extractall(sys.argv[2])\n") +
                     " " + q(w.archive) + " " + q(w.t / "py"));
  EXPECT_EQ(r.status, 0) << r.output;
  EXPECT_EQ(r.output, kEntry + " (2019, 11, 5, 8, 9, 10) Compressed by Kalvero\n");
  w.checkUnpacked(w.t / "py", false);  // zipfile does not set file times
}

TEST(ZipInterop, SevenZipTestsAndUnpacksOurArchive) {
  if (!test::haveTool("7z")) GTEST_SKIP() << "7z missing";
  Written w;
  auto r = test::run(kEnv + "7z t " + q(w.archive));
  EXPECT_EQ(r.status, 0) << r.output;
  EXPECT_NE(r.output.find("Everything is Ok"), std::string::npos) << r.output;
  r = test::run(kEnv + "7z x -y -o" + q(w.t / "7z") + " " + q(w.archive));
  EXPECT_EQ(r.status, 0) << r.output;
  w.checkUnpacked(w.t / "7z", true);
}

// Files that the peer tools pack: names with umlauts and spaces, a
// subdirectory, an empty file, data that deflates and data that does not.
struct Tree {
  TempDir t;
  std::map<std::string, std::string> files = {
      {"eins.txt", test::mixedBytes(70000, 11)},
      {"Ordner mit Leerzeichen/zwei Äpfel.txt", test::mixedBytes(1000, 12)},
      {"Ordner mit Leerzeichen/leer", ""},
      {"rauschen.bin", std::string()},
  };
  Tree() {
    std::uint32_t x = 5;
    for (int i = 0; i < 200000; ++i) {
      x = x * 1664525u + 1013904223u;
      files["rauschen.bin"] += static_cast<char>(x >> 24);
    }
    for (auto& [name, content] : files) t.write("in/" + name, content);
  }

  // Opens the archive and checks every file entry's name and bytes.
  void checkArchive(const std::string& archive, bool expectDirectories = false) {
    ZipArchiveLayer zip;
    zip.Open(archive, ZipArchiveLayer::OpenExisting);
    std::map<std::string, std::string> found;
    bool sawDirectory = false;
    for (int i = 0; i < zip.GetEntryCount(); ++i) {
      ZipEntryHeader h;
      ASSERT_TRUE(zip.GetEntryInfo(i, h));
      if (zip.IsEntryDirectory(i)) {
        sawDirectory = true;
        continue;
      }
      found[h.name] = test::readEntry(zip, i);
    }
    zip.Close(false);
    ASSERT_EQ(found.size(), files.size()) << archive;
    for (auto& [name, content] : files) {
      EXPECT_TRUE(found.count(name)) << archive << ": " << name << " missing";
      EXPECT_TRUE(found[name] == content) << archive << ": " << name << " differs";
    }
    if (expectDirectories) {
      EXPECT_TRUE(sawDirectory) << archive;
    }
  }
};

TEST(ZipInterop, ReadsInfoZipArchives) {
  if (!test::haveTool("zip")) GTEST_SKIP() << "zip missing";
  Tree tree;
  for (std::string level : {"-6", "-0"}) {
    std::string archive = tree.t / ("info" + level + ".zip");
    auto r = test::run("cd " + q(tree.t / "in") + " && " + kEnv + "zip -q -r " + level + " " + q(archive) + " .");
    ASSERT_EQ(r.status, 0) << r.output;
    tree.checkArchive(archive, true);
  }
  // A stub before the archive, offsets left as they were.
  std::string archive = tree.t / "info-6.zip";
  test::writeFile(tree.t / "sfx.zip", std::string(4096, '\x7f') + test::readFile(archive));
  tree.checkArchive(tree.t / "sfx.zip", true);
}

const char* kPythonWriter =
    "import os, sys, zipfile\n"
    "method = zipfile.ZIP_STORED if sys.argv[2] == 'stored' else zipfile.ZIP_DEFLATED\n"
    "out = sys.stdout.buffer if sys.argv[1] == '-' else open(sys.argv[1], 'wb')\n"
    "with zipfile.ZipFile(out, 'w', method) as z:\n"
    "    for root, dirs, files in os.walk('.'):\n"
    "        for f in files:\n"
    "            p = os.path.join(root, f)[2:]\n"
    "            with open(p, 'rb') as src, z.open(p, 'w') as dst:\n"
    "                dst.write(src.read())\n";

TEST(ZipInterop, ReadsPythonArchivesIncludingStreamedOnes) {
  if (!test::haveTool("python3")) GTEST_SKIP() << "python3 missing";
  Tree tree;
  const std::string cd = "cd " + q(tree.t / "in") + " && " + kEnv + "python3 -c " + q(kPythonWriter) + " ";
  for (std::string method : {"deflated", "stored"}) {
    std::string archive = tree.t / ("py-" + method + ".zip");
    auto r = test::run(cd + q(archive) + " " + method);
    ASSERT_EQ(r.status, 0) << r.output;
    tree.checkArchive(archive);
  }
  // Written to a pipe: no seeking back, so every entry carries a data descriptor.
  std::string piped = tree.t / "py-pipe.zip";
  auto r = test::run(cd + "- deflated | cat > " + q(piped));
  ASSERT_EQ(r.status, 0) << r.output;
  ZipArchiveLayer zip;
  zip.Open(piped, ZipArchiveLayer::OpenExisting);
  ZipEntryHeader h;
  zip.GetEntryInfo(0, h);
  EXPECT_EQ(h.flags & 0x0008, 0x0008);
  zip.Close(false);
  tree.checkArchive(piped);
}

TEST(ZipInterop, ReadsSevenZipArchives) {
  if (!test::haveTool("7z")) GTEST_SKIP() << "7z missing";
  Tree tree;
  std::string archive = tree.t / "seven.zip";
  auto r = test::run("cd " + q(tree.t / "in") + " && " + kEnv + "7z a -tzip " + q(archive) + " .");
  ASSERT_EQ(r.status, 0) << r.output;
  tree.checkArchive(archive, true);
}

TEST(ZipInterop, ReadsAMultiVolumeSetBesideTheLastVolume) {
  if (!test::haveTool("zip")) GTEST_SKIP() << "zip missing";
  Tree tree;
  std::string set = tree.t / "set.zip";
  auto r = test::run("cd " + q(tree.t / "in") + " && " + kEnv + "zip -q -r -s 64k " + q(set) + " .");
  ASSERT_EQ(r.status, 0) << r.output;
  // The volumes before the last are named title + ".001", ".002", ...
  r = test::run("cd " + q(tree.t.path()) + " && for f in set.z[0-9]*; do mv \"$f\" \"set.0${f##*.z}\"; done && ls");
  ASSERT_EQ(r.status, 0) << r.output;
  ASSERT_NE(r.output.find("set.002"), std::string::npos) << r.output;
  tree.checkArchive(set, true);
  ZipArchiveLayer zip;
  zip.Open(set, ZipArchiveLayer::OpenExisting);
  EXPECT_FALSE(zip.SetArchiveComment("nie"));
  zip.Close(false);
}

TEST(ZipInterop, ReadsAnEmptyArchiveWithAComment) {
  if (!test::haveTool("python3")) GTEST_SKIP() << "python3 missing";
  TempDir t;
  std::string archive = t / "leer.zip";
  auto r = test::run("python3 -c " +
                     q("import sys, zipfile\n"
                       "with zipfile.ZipFile(sys.argv[1], 'w') as z:\n"
                       "    z.comment = b'nur ein Kommentar'\n") +
                     " " + q(archive));
  ASSERT_EQ(r.status, 0) << r.output;
  EXPECT_EQ(test::readFile(archive).size(), 22u + 17u);
  ZipArchiveLayer zip;
  zip.Open(archive, ZipArchiveLayer::OpenExisting);
  EXPECT_EQ(zip.GetEntryCount(), 0);
  EXPECT_EQ(zip.GetArchiveComment(), "nur ein Kommentar");
  zip.Close(false);
}

}  // namespace
}  // namespace kalvero
