// kalvero-cli list on a real tree and settings file: exactly the files the
// filters allow, with their destinations, and nothing written anywhere.

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <set>

#include <fmt/format.h>
#include <gtest/gtest.h>

#include "app/DateTime.h"
#include "platform/FileSystem.h"
#include "platform/FileTime.h"
#include "run/ChecksumList.h"
#include "support/RunCli.h"
#include "support/TempDir.h"

namespace kalvero {
namespace {

using test::TempDir;

using test::CliResult;

// kalvero-cli in the test's directory, with a temporary directory of its own
// that the test can check for leftovers.
CliResult runCli(const TempDir& t, const std::string& args) {
  t.mkdir("tmp");
  return test::RunCli(t, args, "TMPDIR='" + t / "tmp" + "'");
}

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> out;
  std::size_t start = 0;
  while (start < text.size()) {
    auto end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    out.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return out;
}

std::string serial(int y, int mo, int d, int h, int mi, int s) {
  return fmt::format("{:.10f}", DateTime::fromCalendar({y, mo, d, h, mi, s}).serial());
}

void setTime(const std::string& path, std::int64_t unixSeconds) {
  const auto ft = platform::fileTimeFromUnix(unixSeconds, 0);
  ASSERT_TRUE(platform::setFileTimes(path, ft, ft)) << path;
}

class ListCommand : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!std::getenv("KALVERO_CLI")) GTEST_SKIP() << "KALVERO_CLI not set";
    src = t.path() + "/quelle";
    dst = t.path() + "/ziel";
    ini = t.path() + "/k.INI";
  }
  void writeIni(const std::string& allg, const std::string& jobs, const std::string& datum = "") {
    // The archive bit is off unless the case sets it (the first key of a name wins).
    const std::string archive = allg.find("Archivbit=") == std::string::npos ? "Archivbit=0\n" : "";
    test::writeFile(ini, "[Allg]\n" + archive + allg + "[SichQZ]\nVersion=2\n" + jobs + datum);
  }
  std::set<std::string> listed(const std::string& extra = "") {
    const auto r = runCli(t, "--ini '" + ini + "' list" + extra);
    EXPECT_EQ(r.status, 0);
    const auto l = lines(r.out);
    return {l.begin(), l.end()};
  }
  std::string pairLine(const std::string& rel, const std::string& destRoot = "") {
    return src + "/" + rel + "\t" + (destRoot.empty() ? dst : destRoot) + "/" + rel;
  }
  TempDir t;
  std::string src, dst, ini;
};

TEST_F(ListCommand, ExclusionsPatternsAndInactivePairs) {
  for (const char* f : {"a.doc", "b.txt", "Alt/c.doc", "Alt/Sub/d.doc", "Nur/e.doc", "Nur/Sub/f.doc", "g.tmp.doc",
                        "h.xls", "~$lock.doc"})
    t.write(std::string("quelle/") + f, "x");
  t.write("anders/z.doc", "x");
  writeIni("MusterFlagErlaubt=1\nMusterErlaubt= *.doc , *.XLS\nMusterFlagNichtErlaubt=1\nMusterNichtErlaubt=~$*, *.tmp\n",
           fmt::format("Anzahl=2\nVerz0=1|1|{}|{}\nVerz1=0|1|{}/anders|{}/x\n[Verz0]\nNeg0=1|{}/Alt\nNeg1=0|{}/Nur\n", src,
                       dst, t.path(), t.path(), src, src));
  // "g.tmp.doc" has the extension "doc": "*.tmp" does not drop it.
  EXPECT_EQ(listed(), (std::set<std::string>{pairLine("a.doc"), pairLine("Nur/Sub/f.doc"), pairLine("g.tmp.doc"),
                                             pairLine("h.xls")}));
  EXPECT_FALSE(t.exists("ziel"));
}

TEST_F(ListCommand, ArchiveBitsAndDateIntervals) {
  const std::int64_t day = 86400, base = 1700000000;  // 14.11.2023
  for (const char* f : {"alt.txt", "mitte.txt", "neu.txt", "gesichert.txt"}) t.write(std::string("quelle/") + f, "x");
  setTime(src + "/alt.txt", base - 10 * day);
  setTime(src + "/mitte.txt", base);
  setTime(src + "/neu.txt", base + 10 * day);
  setTime(src + "/gesichert.txt", base);
  bool unsupported = false;
  ASSERT_TRUE(platform::setFileAttributes(src + "/gesichert.txt", platform::ATTR_NORMAL, nullptr, &unsupported));
  const std::string job = fmt::format("Anzahl=1\nVerz0=1|0|{}|{}\n", src, dst);

  // Archive bit: the file reset after its last backup is left out while
  // its copy is there, and taken again when the copy is gone.
  writeIni("Archivbit=1\n", job);
  if (!unsupported) {
    EXPECT_EQ(listed().size(), 4u);
    t.write("ziel/gesichert.txt", "x");
    EXPECT_EQ(listed(), (std::set<std::string>{pairLine("alt.txt"), pairLine("mitte.txt"), pairLine("neu.txt")}));
  }

  // Absolute interval from a day before base to an hour after it (local dates).
  platform::LocalTime lo, hi;
  ASSERT_TRUE(platform::localFromUnix(base - day, lo));
  ASSERT_TRUE(platform::localFromUnix(base + 3600, hi));
  writeIni("Datum=1\n", job,
           fmt::format("[Datum]\nTyp=0\nDatumVon={}\nDatumBis={}\n", serial(lo.year, lo.month, lo.day, lo.hour, lo.minute, lo.second),
                       serial(hi.year, hi.month, hi.day, hi.hour, hi.minute, hi.second)));
  EXPECT_EQ(listed(), (std::set<std::string>{pairLine("mitte.txt"), pairLine("gesichert.txt")}));

  // Relative: the last 48 hours; only a file touched now is in it.
  t.write("quelle/jetzt.txt", "x");
  writeIni("Datum=1\n", job, "[Datum]\nTyp=1\nStunden=48\n");
  EXPECT_EQ(listed(), (std::set<std::string>{pairLine("jetzt.txt")}));

  // "Datum" off: every file.
  writeIni("Datum=0\n", job, "[Datum]\nTyp=1\nStunden=48\n");
  EXPECT_EQ(listed().size(), 5u);
}

TEST_F(ListCommand, DateSubdirectoryEscapesAndNullSeparators) {
  t.write("quelle/mit\tTab\\und\nZeile.txt", "x");
  writeIni("SubVerzDatum=1\n", fmt::format("Anzahl=1\nVerz0=1|1|{}/|{}/\n", src, dst));
  const auto before = platform::localNow();
  const auto r = runCli(t, "--ini '" + ini + "' list");
  const auto after = platform::localNow();
  ASSERT_EQ(r.status, 0);
  auto dated = [&](const platform::LocalTime& n) {
    return fmt::format("{}/{:04d}_{:02d}_{:02d}", dst, n.year, n.month, n.day);
  };
  const std::string escaped = "mit\\tTab\\\\und\\nZeile.txt";
  const std::string a = src + "/" + escaped + "\t" + dated(before) + "/" + escaped + "\n";
  const std::string b = src + "/" + escaped + "\t" + dated(after) + "/" + escaped + "\n";
  EXPECT_TRUE(r.out == a || r.out == b) << r.out;

  const auto z = runCli(t, "--ini '" + ini + "' list --null");
  ASSERT_EQ(z.status, 0);
  const std::string raw = "mit\tTab\\und\nZeile.txt";
  EXPECT_TRUE(z.out == src + "/" + raw + '\0' + dated(before) + "/" + raw + '\0' ||
              z.out == src + "/" + raw + '\0' + dated(after) + "/" + raw + '\0');
  EXPECT_NE(runCli(t, "--ini '" + ini + "' list --unbekannt").status, 0);
}

TEST_F(ListCommand, CheckFileLeavesOutUnchangedFiles) {
  t.write("quelle/gleich.txt", "12345");
  t.write("quelle/anders.txt", "12345");
  t.write("quelle/neu.txt", "1");
  const auto same = platform::statPath(src + "/gleich.txt");
  const auto other = platform::statPath(src + "/anders.txt");
  ASSERT_TRUE(same && other);
  const std::string check = t.path() + "/pruef.chk";
  const std::string content =
      fmt::format(";Gebildet: 01.01.2024 00:00:00\r\n{}/gleich.txt|0|5|{}|{}\r\n{}/anders.txt|0|6|{}|{}\r\n", dst,
                  static_cast<std::int32_t>(same->lastWrite >> 32), static_cast<std::int32_t>(same->lastWrite & 0xFFFFFFFF),
                  dst, static_cast<std::int32_t>(other->lastWrite >> 32),
                  static_cast<std::int32_t>(other->lastWrite & 0xFFFFFFFF));
  test::writeFile(check, content);
  writeIni(fmt::format("MitPrueffile=1\nPrueffile={}\n", check), fmt::format("Anzahl=1\nVerz0=1|1|{}|{}\n", src, dst));
  // No copy in the destination: what the check file names is taken all the same.
  EXPECT_EQ(listed().size(), 3u);
  t.write("ziel/gleich.txt", "12345");
  EXPECT_EQ(listed(), (std::set<std::string>{pairLine("anders.txt"), pairLine("neu.txt")}));
  EXPECT_EQ(test::readFile(check), content);
  EXPECT_FALSE(t.exists("pruef.chk.bak"));
  EXPECT_EQ(test::TreeContents(dst).size(), 1u);
  // Nothing in the temporary directory either: a dry run makes no list files.
  EXPECT_TRUE(std::filesystem::is_empty(t.path() + "/tmp"));
}

// The dry run and the run select by one piece: what list shows is what the
// backup copies, also for a pair onto an unplugged drive (left out by both),
// a name the check file cannot hold and files the check file skips.
TEST_F(ListCommand, ListsWhatTheBackupThenCopies) {
  t.write("quelle/a.txt", "a");
  t.write("quelle/b.log", "b");
  t.write("quelle/unter/c.txt", "c");
  t.write("quelle/mit\nZeile.txt", "z");
  t.mkdir("media/anna");
  const std::string stick = t.path() + "/media/anna/STICK";
  const std::string check = t.path() + "/pruef.chk";
  writeIni(fmt::format("MusterFlagNichtErlaubt=1\nMusterNichtErlaubt=*.log\nMitPrueffile=1\nPrueffile={}\n"
                       "Protokolldatei={}/sichern.log\n",
                       check, t.path()),
           fmt::format("Anzahl=2\nVerz0=1|1|{}|{}\nVerz1=1|1|{}|{}\n", src, stick, src, dst));
  ASSERT_EQ(setenv("KALVERO_MOUNT_ROOTS", (t.path() + "/media/*").c_str(), 1), 0);
  const std::set<std::string> before = listed();
  const auto run = runCli(t, "--ini '" + ini + "' backup --quiet");
  const std::set<std::string> after = listed();
  unsetenv("KALVERO_MOUNT_ROOTS");
  EXPECT_EQ(run.status, 1) << test::readFile(t.path() + "/stderr");  // the unplugged pair is an error
  EXPECT_EQ(before, (std::set<std::string>{pairLine("a.txt"), pairLine("unter/c.txt"), pairLine("mit\\nZeile.txt")}));
  std::set<std::string> copied;
  for (const auto& e : std::filesystem::recursive_directory_iterator(dst))
    if (e.is_regular_file() && e.path().filename() != kChecksumListName)  // the backup's own list
      copied.insert(pairLine(e.path().string().substr(dst.size() + 1)));
  std::set<std::string> escapedCopies;
  for (std::string line : copied) {
    for (std::size_t i = 0; (i = line.find('\n', i)) != std::string::npos; i += 2) line.replace(i, 1, "\\n");
    escapedCopies.insert(line);
  }
  EXPECT_EQ(escapedCopies, before);
  EXPECT_FALSE(t.exists("media/anna/STICK"));
  // Now in the check file: skipped by both, except the name it cannot hold.
  EXPECT_EQ(after, (std::set<std::string>{pairLine("mit\\nZeile.txt")}));
}

TEST_F(ListCommand, MissingSourcesAndSettingsGiveAnEmptyList) {
  writeIni("", fmt::format("Anzahl=2\nVerz0=1|1|{}/fehlt|{}\nVerz1=1|1|{}/k.INI|{}\n", t.path(), dst, t.path(), dst));
  const auto r = runCli(t, "--ini '" + ini + "' list");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "");
  // No settings file: a first start, which says so and lists nothing.
  const auto none = runCli(t, "--ini '" + t.path() + "/gibtsnicht.INI' list");
  EXPECT_EQ(none.status, 2);
  EXPECT_EQ(none.out, "");
}

}  // namespace
}  // namespace kalvero
