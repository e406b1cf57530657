// The versions of one file in the dated folders of its pair, and one of
// them put back beside the file.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "platform/FileTime.h"
#include "platform/Sha256.h"
#include "restore/Versions.h"
#include "run/ChecksumList.h"
#include "run/DatedFolders.h"
#include "support/TempDir.h"
#include "support/ZipTestSupport.h"

namespace kalvero::test {
namespace {

namespace fs = std::filesystem;

constexpr std::int64_t kTime = 1762074000;  // 2026-11-02 09:00 UTC

class Versions : public ::testing::Test {
 protected:
  TempDir t;
  JobList jobs{DirPair{1, 1, t / "src", t / "dst", {}}};

  // A copy of src/REL in the dated folder NAME, with the given time.
  std::string copy(const std::string& folder, const std::string& rel, const std::string& text,
                   std::int64_t seconds = kTime) {
    const std::string path = t.write("dst/" + folder + "/" + rel, text);
    const struct timespec times[2] = {{seconds, 0}, {seconds, 0}};
    utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW);
    return path;
  }
  void complete(const std::string& folder) {
    int err = 0;
    ASSERT_TRUE(MarkStateComplete(t / ("dst/" + folder), "fertig", &err));
  }
  // The folder's checksum list with the file's real digest.
  void listed(const std::string& folder, const std::string& rel) {
    platform::Sha256Digest digest{};
    int err = 0;
    ASSERT_TRUE(platform::Sha256OfFile(t / ("dst/" + folder + "/" + rel), &digest, &err));
    writeFile(t / ("dst/" + folder + "/" + std::string(kChecksumListName)), FormatChecksumLine({rel, digest}));
  }
};

TEST_F(Versions, HardLinksAndListedEqualCopiesFoldIntoOneVersion) {
  t.write("src/notiz.txt", "heute");
  copy("2026_11_02", "notiz.txt", "erster Stand");
  t.mkdir("dst/2026_11_03");
  ASSERT_EQ(0, link((t / "dst/2026_11_02/notiz.txt").c_str(), (t / "dst/2026_11_03/notiz.txt").c_str()));
  copy("2026_11_04", "notiz.txt", "erster Stand");  // equal, not linked: the lists decide
  listed("2026_11_03", "notiz.txt");
  listed("2026_11_04", "notiz.txt");
  copy("2026_11_05", "notiz.txt", "zweiter Stand!", kTime + 86400);
  for (const char* f : {"2026_11_02", "2026_11_03", "2026_11_04", "2026_11_05"}) complete(f);

  std::string why;
  const VersionList list = FindVersions(jobs, t / "src/notiz.txt", &why);
  ASSERT_EQ("", why);
  ASSERT_EQ(2u, list.versions.size());
  EXPECT_EQ("2026-11-02 bis 2026-11-04", VersionRangeText(list.versions[0]));
  EXPECT_EQ(12u, list.versions[0].size);
  EXPECT_EQ("2026-11-05", VersionRangeText(list.versions[1]));
  EXPECT_EQ(14u, list.versions[1].size);
  EXPECT_TRUE(list.versions[1].complete);

  DayDate inside;
  ASSERT_TRUE(ParseVersionDate("03.11.2026", &inside));
  EXPECT_EQ(&list.versions[0], VersionOfDate(list, inside));
  ASSERT_TRUE(ParseVersionDate("2026_11_05", &inside));
  EXPECT_EQ(&list.versions[1], VersionOfDate(list, inside));
  ASSERT_TRUE(ParseVersionDate("2026_11_06", &inside));
  EXPECT_EQ(nullptr, VersionOfDate(list, inside));
  for (const char* bad : {"2026_11_31", "2026_11-02", "11.2026", "2026_1_02", "x", "+2.11.2026"})
    EXPECT_FALSE(ParseVersionDate(bad, &inside)) << bad;
}

TEST_F(Versions, EqualCopiesWithoutListsOrOfAnIncompleteStateStayApart) {
  copy("2026_11_02", "notiz.txt", "gleich");
  copy("2026_11_03", "notiz.txt", "gleich");  // no checksum lists: not known to be equal
  complete("2026_11_02");
  const VersionList list = FindVersions(jobs, t / "src/notiz.txt");
  ASSERT_EQ(2u, list.versions.size());
  EXPECT_TRUE(list.versions[0].complete);
  EXPECT_FALSE(list.versions[1].complete);
}

TEST_F(Versions, CompressedCopyGivesTheFileBackBesideUnderItsStateName) {
  t.write("src/notiz.txt", "heute geändert");
  const std::string original = t.write("raw/notiz.txt", std::string(5000, 'a'));
  const struct timespec times[2] = {{kTime, 0}, {kTime, 0}};
  utimensat(AT_FDCWD, original.c_str(), times, 0);
  chmod(original.c_str(), 0640);
  t.mkdir("dst/2026_11_02");
  writeArchive(t / "dst/2026_11_02/notiz.txt.zip", "notiz.txt", original);
  t.write("src/notiz (Stand 2026-11-02).txt", "nicht anfassen");

  const VersionList list = FindVersions(jobs, t / "src/notiz.txt");
  ASSERT_EQ(1u, list.versions.size());
  EXPECT_TRUE(list.versions[0].archive);
  EXPECT_EQ(5000u, list.versions[0].size);
  std::string where, error;
  ASSERT_TRUE(RestoreVersionBeside(list, list.versions[0], &where, &error)) << error;
  EXPECT_EQ(t / "src/notiz (Stand 2026-11-02) 2.txt", where);
  EXPECT_EQ(std::string(5000, 'a'), readFile(where));
  EXPECT_EQ(kTime, lstatOf(where).st_mtim.tv_sec);
  EXPECT_EQ(0640u, lstatOf(where).st_mode & 07777);
  EXPECT_EQ("nicht anfassen", t.read("src/notiz (Stand 2026-11-02).txt"));
  EXPECT_EQ("heute geändert", t.read("src/notiz.txt"));
  const auto names = TreeContents(t / "src");
  EXPECT_EQ(3u, names.size());  // no temporary left
}

TEST_F(Versions, AFolderComesBackWholeBesideItself) {
  t.mkdir("src/Ordner");
  copy("2026_11_02", "Ordner/a.txt", "A");
  const std::string b = t.write("raw/b.txt", "B im Archiv");
  t.mkdir("dst/2026_11_02/Ordner/sub");
  writeArchive(t / "dst/2026_11_02/Ordner/sub/b.txt.zip", "Ordner/sub/b.txt", b);

  const VersionList list = FindVersions(jobs, t / "src/Ordner/");
  ASSERT_EQ(1u, list.versions.size());
  EXPECT_TRUE(list.versions[0].folder);
  std::string where, error;
  ASSERT_TRUE(RestoreVersionBeside(list, list.versions[0], &where, &error)) << error;
  EXPECT_EQ(t / "src/Ordner (Stand 2026-11-02)", where);
  EXPECT_EQ("A", readFile(where + "/a.txt"));
  EXPECT_EQ("B im Archiv", readFile(where + "/sub/b.txt"));
  EXPECT_FALSE(fs::exists(where + "/sub/b.txt.zip"));
}

TEST_F(Versions, NamesBesideTheFile) {
  const DayDate d{2026, 11, 2};
  EXPECT_EQ("/h/notiz (Stand 2026-11-02).txt", BesideName("/h/notiz.txt", d, false, 1));
  EXPECT_EQ("/h/README (Stand 2026-11-02) 3", BesideName("/h/README", d, false, 3));
  EXPECT_EQ("/h/.bashrc (Stand 2026-11-02)", BesideName("/h/.bashrc", d, false, 1));
  EXPECT_EQ("/h/Ordner.d (Stand 2026-11-02)", BesideName("/h/Ordner.d", d, true, 1));
}

TEST_F(Versions, AFileOutsideEveryPairOrWithoutCopyIsNamed) {
  copy("2026_11_02", "andere.txt", "x");
  std::string why;
  EXPECT_TRUE(FindVersions(jobs, t / "sonst/notiz.txt", &why).versions.empty());
  EXPECT_NE(std::string::npos, why.find("keiner Quelle eines aktiven Paares")) << why;
  EXPECT_TRUE(FindVersions(jobs, t / "src/notiz.txt", &why).versions.empty());
  EXPECT_NE(std::string::npos, why.find("durchsucht: 2026_11_02")) << why;
  jobs[0].active = 0;
  FindVersions(jobs, t / "src/andere.txt", &why);
  EXPECT_NE(std::string::npos, why.find("keiner Quelle")) << why;
}

}  // namespace
}  // namespace kalvero::test
