// kalvero-cli verify against checksum lists that sha256sum itself wrote:
// real files, real archives, real locks; the lists are made by the peer tool.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/RunLock.h"
#include "support/RunCli.h"
#include "support/TempDir.h"
#include "zip/ZipArchiveLayer.h"

namespace kalvero {
namespace {

using test::CliResult;
using test::RunCli;
using test::TempDir;

constexpr const char* kList = "Kalvero-Pruefsummen.sha256";

int Shell(const std::string& command) { return std::system(command.c_str()); }

// The list of every file of dir, as `sha256sum` writes it (escaped names included).
void MakeList(const std::string& dir) {
  ASSERT_EQ(Shell("cd '" + dir + "' && find . -type f ! -name " + kList + " -print0 | sort -z | xargs -0 -r sha256sum > " +
                  kList),
            0);
}

// Sets a file's modification time (the list's: what it is newer than).
void SetTime(const std::string& path, time_t seconds) {
  const timespec times[2] = {{seconds, 0}, {seconds, 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

// Flips one byte at offset, keeping the file's size and modification time.
void FlipByte(const std::string& path, long offset) {
  struct stat before {};
  ASSERT_EQ(stat(path.c_str(), &before), 0);
  FILE* f = std::fopen(path.c_str(), "r+b");
  ASSERT_NE(f, nullptr);
  std::fseek(f, offset, SEEK_SET);
  const int c = std::fgetc(f);
  std::fseek(f, offset, SEEK_SET);
  std::fputc(c ^ 0x20, f);
  std::fclose(f);
  const timespec times[2] = {before.st_atim, before.st_mtim};
  ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

// One of the backup's archives NAME.zip holding source.
void WriteOurArchive(const std::string& archive, const std::string& source) {
  ZipArchiveLayer zip;
  zip.Open(archive, ZipArchiveLayer::Create);
  zip.SetArchiveComment("Compressed by Kalvero");
  ZipEntryHeader h;
  h.name = source.substr(source.rfind('/') + 1);
  zip.OpenNewFile(h, -1, source);
  const std::string data = test::readFile(source);
  zip.WriteNewFile(data.data(), data.size());
  zip.CloseNewFile();
  zip.Close();
}

int Count(const std::string& text, const std::string& part) {
  int n = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

class VerifyCommand : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!std::getenv("KALVERO_CLI")) GTEST_SKIP() << "KALVERO_CLI not set";
  }
  // A backup folder with plain copies under names of every kind, and its list.
  std::string Backup() {
    t.write("ziel/brief an Anna.txt", "Liebe Anna,\n");
    t.write("ziel/Bücher/Übersicht.txt", std::string(100000, 'x'));
    t.write("ziel/zwei\nZeilen.txt", "line break in the name\n");
    t.write("ziel/leer", "");
    MakeList(t / "ziel");
    SetTime(t / "ziel" + "/" + kList, time(nullptr) + 60);  // written after every copy
    return t / "ziel";
  }
  CliResult Verify(const std::string& args = {}, const std::string& environment = {}) {
    return RunCli(t, "verify '" + t / "ziel" + "' " + args, environment);
  }
  TempDir t;
};

TEST_F(VerifyCommand, AnIntactBackupIsAllWellAndSha256sumAgrees) {
  Backup();
  const CliResult r = Verify();
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_NE(r.out.find("Alle 4 Dateien der Sicherung sind unverändert.\n"), std::string::npos) << r.out;
  EXPECT_EQ(Shell("cd '" + t / "ziel" + "' && sha256sum -c --quiet " + kList + " >/dev/null"), 0);
}

TEST_F(VerifyCommand, AFlippedByteWithSizeAndTimeKeptIsNamedOnce) {
  const std::string dir = Backup();
  FlipByte(dir + "/Bücher/Übersicht.txt", 5000);
  SetTime(dir + "/" + kList, time(nullptr) + 60);  // rot on the disk leaves the status change time alone
  const CliResult r = Verify();
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(Count(r.out, "Übersicht.txt"), 1) << r.out;
  EXPECT_NE(r.out.find("Verändert (Inhalt weicht von der Prüfsumme ab): '" + dir + "/Bücher/Übersicht.txt'\n"),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("Veränderte Dateien = 1, beschädigte Archive = 0\n"), std::string::npos) << r.out;
}

TEST_F(VerifyCommand, ADeletedCopyAndAnUnlistedFile) {
  const std::string dir = Backup();
  ASSERT_EQ(std::remove((dir + "/zwei\nZeilen.txt").c_str()), 0);
  t.write("ziel/Bücher/neu.txt", "not in the list\n");
  SetTime(dir + "/" + kList, time(nullptr) + 60);
  const CliResult r = Verify();
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("Fehlt: '" + dir + "/zwei\nZeilen.txt'\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("Nicht in der Prüfsummenliste: '" + dir + "/Bücher/neu.txt'\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("Fehlende Dateien = 1, nicht in der Liste = 1\n"), std::string::npos) << r.out;
}

TEST_F(VerifyCommand, ADamagedArchiveIsNamedOnceAsDamaged) {
  std::string data(50000, ' ');
  unsigned state = 1;
  for (char& c : data) c = static_cast<char>((state = state * 1103515245 + 12345) >> 16);  // hardly compressible
  t.write("quelle/tabelle.csv", data);
  t.mkdir("ziel");
  WriteOurArchive(t / "ziel/tabelle.csv.zip", t / "quelle/tabelle.csv");
  WriteOurArchive(t / "ziel/heil.csv.zip", t / "quelle/tabelle.csv");
  MakeList(t / "ziel");
  FlipByte(t / "ziel/tabelle.csv.zip", 25000);  // inside the deflate data
  SetTime(t / "ziel" + "/" + kList, time(nullptr) + 60);
  const CliResult r = Verify();
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(Count(r.out, "tabelle.csv.zip"), 1) << r.out;
  EXPECT_NE(r.out.find("Archiv beschädigt ("), std::string::npos) << r.out;
  EXPECT_EQ(Count(r.out, "heil.csv.zip"), 0) << r.out;
}

TEST_F(VerifyCommand, ACopyReplacedAfterTheListIsNotYetCheckedNotDamaged) {
  const std::string dir = Backup();
  SetTime(dir + "/" + kList, time(nullptr) - 60);  // the list of an earlier run
  t.write("ziel/brief an Anna.txt", "Liebe Anna, neu\n");  // a killed run's new copy
  t.write("ziel/Kalvero-Pruefsummen.journal", "its journal, the program's own\n");
  const CliResult r = Verify();
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(r.out.find("journal"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("Noch nicht geprüft (nach der Prüfsummenliste ersetzt, etwa von einer abgebrochenen "
                       "Sicherung): '" + dir + "/brief an Anna.txt'\n"),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("Noch nicht geprüft = 1\n"), std::string::npos) << r.out;
}

// Neither a folder without its list nor a drive that is not plugged in passes for intact.
TEST_F(VerifyCommand, AFolderWithoutListOrADestinationNotThereIsNotAllWell) {
  t.write("ziel/a.txt", "a");
  t.write("k.INI", "[SichQZ]\nVersion=2\nAnzahl=2\nVerz0=1|1|" + t / "q" + "|" + t / "ziel" + "\nVerz1=1|1|" + t / "q2" +
                       "|" + t / "usb/ziel" + "\n");
  const CliResult r = RunCli(t, "--ini k.INI verify");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("Keine Prüfsummenliste in '" + t / "ziel" + "'"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("Das Ziel '" + t / "usb/ziel" + "' ist nicht vorhanden"), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find("unverändert"), std::string::npos) << r.out;
}

TEST_F(VerifyCommand, EveryPairAndEachDatedFolderWithItsList) {
  t.write("quelle/a.txt", "a");
  t.write("ziel/2026_12_08/a.txt", "alt");
  t.write("ziel/2026_12_09/a.txt", "neu");
  MakeList(t / "ziel/2026_12_08");
  MakeList(t / "ziel/2026_12_09");
  FlipByte(t / "ziel/2026_12_09/a.txt", 0);
  SetTime(t / "ziel/2026_12_09/" + kList, time(nullptr) + 60);
  t.write("k.INI", "[Allg]\nSubVerzDatum=1\n[SichQZ]\nVersion=2\nAnzahl=1\nVerz0=1|1|" + t / "quelle" + "|" +
                       t / "ziel" + "\n");
  const CliResult r = RunCli(t, "--ini k.INI verify");
  EXPECT_EQ(r.status, 1) << r.err;
  EXPECT_NE(r.out.find("**** Sicherung '" + t / "ziel/2026_12_08" + "'\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("Verändert (Inhalt weicht von der Prüfsumme ab): '" + t / "ziel/2026_12_09/a.txt'"),
            std::string::npos)
      << r.out;
  EXPECT_EQ(r.out.find("Keine Prüfsummenliste"), std::string::npos) << r.out;  // the dated folders hold them
}

TEST_F(VerifyCommand, ADestinationAnotherRunHoldsIsBusy) {
  Backup();
  t.mkdir("laufzeit");
  ASSERT_EQ(chmod((t / "laufzeit").c_str(), 0700), 0);
  setenv("XDG_RUNTIME_DIR", (t / "laufzeit").c_str(), 1);
  platform::RunLock backup;
  const bool held = backup.add(t / "ziel") == platform::RunLock::Result::Held;
  const CliResult r = Verify("--quiet", "XDG_RUNTIME_DIR='" + t / "laufzeit" + "'");
  backup.release();
  unsetenv("XDG_RUNTIME_DIR");
  ASSERT_TRUE(held);
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("wird gerade von einem anderen Lauf"), std::string::npos) << r.err;
  EXPECT_EQ(r.out, "");
}

// A source file changed without its time (a failing disk, a tool that keeps
// times): the next backup would skip it, so --source names it.
TEST_F(VerifyCommand, SourceRotInPlainCopiesAndArchives) {
  t.write("quelle/plain.txt", "the original text");
  t.write("quelle/gepackt.txt", "the original data");
  t.write("quelle/gut.txt", "unchanged");
  t.mkdir("ziel");
  ASSERT_EQ(Shell("cp -p '" + t / "quelle/plain.txt" + "' '" + t / "quelle/gut.txt" + "' '" + t / "ziel/" + "'"), 0);
  WriteOurArchive(t / "ziel/gepackt.txt.zip", t / "quelle/gepackt.txt");
  MakeList(t / "ziel");
  SetTime(t / "ziel/" + kList, time(nullptr) + 60);
  FlipByte(t / "quelle/plain.txt", 4);
  FlipByte(t / "quelle/gepackt.txt", 4);
  t.write("k.INI", "[SichQZ]\nVersion=2\nAnzahl=1\nVerz0=1|1|" + t / "quelle" + "|" + t / "ziel" + "\n");
  const CliResult r = RunCli(t, "--ini k.INI verify --source");
  EXPECT_EQ(r.status, 1) << r.err;
  const std::string rot = "Quelldatei weicht von ihrer Sicherung ab, obwohl Größe und Zeit gleich sind (die nächste "
                          "Sicherung würde sie überspringen): '";
  EXPECT_NE(r.out.find(rot + t / "quelle/plain.txt'\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find(rot + t / "quelle/gepackt.txt'\n"), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find("gut.txt"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("Quelldateien gelesen = 3, davon abweichend = 2\n"), std::string::npos) << r.out;
  // Without --source the backup itself is intact.
  EXPECT_EQ(RunCli(t, "--ini k.INI verify").status, 0);
}

// The lines of out that name something below dir, in their order.
std::vector<std::string> LinesNaming(const std::string& out, const std::string& dir) {
  std::vector<std::string> lines;
  std::size_t from = 0;
  for (std::size_t nl; (nl = out.find('\n', from)) != std::string::npos; from = nl + 1)
    if (const std::string line = out.substr(from, nl - from); line.find(dir + "/") != std::string::npos)
      lines.push_back(line);
  return lines;
}

// More files than one batch, names whose order differs between the walk of a
// directory and the bytes of their paths ("a/x" after "a.txt" and "a-b"): the
// list in byte order (as the program writes it) and in reverse order with a
// name listed twice (the first line counts) find the same, in the same order.
TEST_F(VerifyCommand, AListLargerThanABatchInAnyOrderGivesTheSameFindings) {
  for (int i = 0; i < 300; ++i)
    t.write("ziel/d" + std::to_string(i % 7) + "/f" + std::to_string(i) + ".txt", std::to_string(i));
  for (const char* name : {"a0", "a.txt", "a-b/x", "a/b/c", "a/b.c", "ab", "\xc3\xa4/x", "Z"})
    t.write(std::string("ziel/") + name, name);
  const std::string dir = t / "ziel";
  ASSERT_EQ(Shell("cd '" + dir + "' && find . -type f -print0 | LC_ALL=C sort -z | xargs -0 sha256sum > ../sorted"), 0);
  // Reversed, and "a.txt" once more at the end with another digest.
  ASSERT_EQ(Shell("cd '" + dir + "' && tac ../sorted > ../reversed && grep ' ./a.txt$' ../sorted | "
                  "sed 's/^0/1/;t;s/^./0/' >> ../reversed"),
            0);
  ASSERT_EQ(std::remove((dir + "/d3/f10.txt").c_str()), 0);
  t.write("ziel/a/b/neu", "not listed");
  t.write("ziel/d5/f5.txt", "changed");
  std::vector<std::string> found[2];
  for (int i = 0; i < 2; ++i) {
    ASSERT_EQ(Shell("cp '" + t / (i == 0 ? "sorted" : "reversed") + "' '" + dir + "/" + kList + "'"), 0);
    SetTime(dir + "/" + kList, time(nullptr) + 60);
    const CliResult r = Verify();
    EXPECT_EQ(r.status, 1) << r.out;
    found[i] = LinesNaming(r.out, dir);
  }
  EXPECT_EQ(found[0], (std::vector<std::string>{
                          "Nicht in der Prüfsummenliste: '" + dir + "/a/b/neu'",
                          "Verändert (Inhalt weicht von der Prüfsumme ab): '" + dir + "/d5/f5.txt'",
                          "Fehlt: '" + dir + "/d3/f10.txt'"}));
  EXPECT_EQ(found[1], found[0]);
}

}  // namespace
}  // namespace kalvero
