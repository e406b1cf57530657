// Interoperability with the real archive tools: what we write they test and
// unpack; what they write we read.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <map>

#include "platform/FileSystem.h"
#include "support/TempDir.h"
#include "backup/CompressZip.h"
#include "support/ZipTestSupport.h"

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
    CompressionError error;
    EXPECT_TRUE(CompressZip(zip, job, ctx, &error)) << error.text;
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

// Compresses dir/name (entry name = name) to dir/out/name.zip.
std::string Compress(const TempDir& t, const std::string& name) {
  CopyJob job;
  job.sourceRoot = t / "src/";
  job.source = job.sourceRoot + name;
  t.mkdir("out");
  job.destination = t / ("out/" + name);
  ZipArchiveLayer zip;
  CopyContext ctx;
  CompressionError error;
  EXPECT_TRUE(CompressZip(zip, job, ctx, &error)) << error.text;
  return job.finalName;
}

std::uint32_t ModeOf(const std::string& path) { return platform::statPath(path)->mode; }

TEST(ZipInterop, NamesThatAreNoUtf8KeepTheirBytesWithoutTheFlag) {
  if (!test::haveTool("python3")) GTEST_SKIP() << "python3 missing";
  TempDir t;
  const std::string latin1 = "Gr\xf6\xdf" "e.txt";  // "Größe" from an old Latin-1 file system
  t.write("src/" + latin1, "alt");
  t.write("src/Größe.txt", "neu");
  for (const std::string& name : {latin1, std::string("Größe.txt")}) {
    const std::string archive = Compress(t, name);
    // python's zipfile refuses a bit-11 name that does not decode, so it must read both.
    auto r = test::run("python3 -c " +
                       q("import sys, zipfile\n"
                         "z = zipfile.ZipFile(sys.argv[1])\n"
                         "assert z.testzip() is None\n"
                         "print(z.infolist()[0].flag_bits & 0x800)\n") +
                       " " + q(archive));
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_EQ(r.output, name == latin1 ? "0\n" : "2048\n");
    ZipArchiveLayer zip;
    zip.Open(archive, ZipArchiveLayer::OpenExisting);
    ZipEntryHeader h;
    ASSERT_TRUE(zip.GetEntryInfo(0, h));
    EXPECT_EQ(h.name, name);  // the bytes come back as they were
    zip.Close(false);
  }
}

TEST(ZipInterop, ArchivesRecordTheModeAndAreNoMoreOpenThanTheirSource) {
  if (!test::haveTool("zipinfo") || !test::haveTool("unzip")) GTEST_SKIP() << "zipinfo/unzip missing";
  TempDir t;
  const std::map<std::string, unsigned> modes = {{"privat.txt", 0600}, {"skript.sh", 0755}, {"gruppe.txt", 0640}};
  for (auto& [name, mode] : modes) {
    t.write("src/" + name, "#!/bin/sh\necho " + name + "\n");
    ASSERT_EQ(chmod((t / ("src/" + name)).c_str(), mode), 0);
  }
  const mode_t oldMask = umask(022);
  for (auto& [name, mode] : modes) {
    const std::string archive = Compress(t, name);
    EXPECT_EQ(ModeOf(archive), (mode & 0666 & ~0022u)) << name;  // never wider than the source, never executable
    // The tools see the mode (host Unix, high 16 bits) and the DOS byte stays.
    auto r = test::run(kEnv + "zipinfo " + q(archive));
    EXPECT_EQ(r.status, 0) << r.output;
    const std::string rwx = mode == 0600 ? "-rw-------" : mode == 0755 ? "-rwxr-xr-x" : "-rw-r-----";
    EXPECT_NE(r.output.find(rwx + "  2.0 unx"), std::string::npos) << r.output;
    r = test::run(kEnv + "unzip -q " + q(archive) + " -d " + q(t / "unzip"));
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_EQ(ModeOf(t / ("unzip/" + name)), mode) << name;
    // Our own extraction gives the same mode, whatever the umask.
    ZipArchiveLayer zip;
    zip.Open(archive, ZipArchiveLayer::OpenExisting);
    t.mkdir("ours");
    EXPECT_EQ(zip.ExtractEntry(0, t / ("ours/" + name)), ExtractResult::Done);
    zip.Close(false);
    EXPECT_EQ(ModeOf(t / ("ours/" + name)), mode) << name;
  }
  // A file created under a tighter mask follows it: nobody changes the mask for us.
  umask(077);
  t.write("src/offen.txt", "x");
  ASSERT_EQ(chmod((t / "src/offen.txt").c_str(), 0644), 0);
  EXPECT_EQ(ModeOf(Compress(t, "offen.txt")), 0600u);
  umask(oldMask);
}

TEST(ZipInterop, AsRootArchivesAndUnpackedFilesKeepTheOwnerAndSetuid) {
  if (!test::runningAsRoot()) GTEST_SKIP() << "owners can only be given as root";
  TempDir t;
  const std::string src = t.write("src/werkzeug", "#!/bin/sh\n");
  ASSERT_EQ(chown(src.c_str(), 4321, 4322), 0);
  ASSERT_EQ(chmod(src.c_str(), 04750), 0);
  const std::string archive = Compress(t, "werkzeug");
  struct stat st {};
  ASSERT_EQ(stat(archive.c_str(), &st), 0);
  EXPECT_EQ(st.st_uid, 4321u);
  EXPECT_EQ(st.st_gid, 4322u);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  ZipArchiveLayer zip;
  zip.Open(archive, ZipArchiveLayer::OpenExisting);
  t.mkdir("back");
  EXPECT_EQ(zip.ExtractEntry(0, t / "back/werkzeug"), ExtractResult::Done);
  zip.Close(false);
  ASSERT_EQ(stat((t / "back/werkzeug").c_str(), &st), 0);
  EXPECT_EQ(st.st_uid, 4321u);
  EXPECT_EQ(st.st_gid, 4322u);
  EXPECT_EQ(st.st_mode & 07777, 04750u);  // setuid only because the owner came back with it
}

}  // namespace
}  // namespace kalvero
