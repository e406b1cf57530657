#include <gtest/gtest.h>

#include "restore/RestoreLog.h"
#include "restore/TargetPath.h"
#include "support/LogText.h"

namespace kalvero {
namespace {

using test::joined;

TEST(RestoreLog, HeaderLinesInOrder) {
  RestoreHeaderData h;
  h.start = {2024, 6, 3, 9, 5, 7, 1};
  h.source = "/mnt/sicherung";
  h.destination = "/home/anna/zurück";
  h.subdirCaption = "Unterverzeichnisse mitkopieren";
  h.withSubdirs = 0;
  EXPECT_EQ(joined(RestoreHeaderLines(h)),
            "Rücksicherung gestartet: 03.06.2024  09:05:07\r\n"
            "Quellverzeichnis = /mnt/sicherung\r\n"
            "Zielverzeichnis = /home/anna/zurück\r\n"
            "Unterverzeichnisse mitkopieren = Nein\r\n");
  EXPECT_EQ(RestoreFileCountLine(0), "Anzahl der zu kopierenden Dateien = 0");
}

TEST(RestoreLog, SummaryOfAnEmptyTree) {
  RestoreSummaryData d;
  d.end = {2024, 6, 3, 10, 0, 0, 1};
  d.elapsedSeconds = 3 * 3600 + 4 * 60 + 5;
  EXPECT_EQ(joined(RestoreSummaryLines(d)),
            "0 Dateien kopiert\r\n"
            "0 KiloByte kopiert\r\n"
            "Rücksicherung beendet: 03.06.2024  10:00:00\r\n"
            "Benötigte Zeit = 03:04:05\r\n"
            "\r\n0 Fehler beim Rücksichern\r\n" +
                std::string(80, '-') + "\r\n");
}

TEST(RestoreLog, SummaryWithMegabytesSizesErrorsAndCancel) {
  RestoreSummaryData d;
  d.filesDone = 3;
  d.sourceBytes = 1536ull * 1024;
  d.unpackedBytes = 5ull * 1024 * 1024 * 1024;  // 64-bit total beyond 4 GiB
  d.haveSmallest = d.haveLargest = true;
  d.smallestSize = 300;
  d.smallestName = "/q/a";
  d.largestSize = 3'000'000'000ull;
  d.largestName = "/q/b";
  d.errors = 2;
  d.cancelled = true;
  const std::string all = joined(RestoreSummaryLines(d));
  EXPECT_NE(all.find("1,500 MegaByte kopiert\r\n"), std::string::npos);
  EXPECT_NE(all.find("Auf 5120,000 MegaByte dekomprimiert\r\n"), std::string::npos);
  EXPECT_NE(all.find("Kleinste Datei (300 Byte) = /q/a\r\n"), std::string::npos);
  EXPECT_NE(all.find("Größte Datei (3000000000 Byte) = /q/b\r\n"), std::string::npos);
  EXPECT_NE(all.find("\r\n\r\n2 Fehler beim Rücksichern\r\n***   Das Rücksichern wurde abgebrochen!   ***\r\n"),
            std::string::npos);
  EXPECT_EQ(FormatKiloOrMega(1023, "%d KiloByte", "%0.3f MegaByte"), "1023 KiloByte");
  EXPECT_EQ(FormatKiloOrMega(1024, "%d KiloByte", "%0.3f MegaByte"), "1,000 MegaByte");
}

TEST(TargetPath, NamesThatStayBelowTheRoot) {
  EXPECT_EQ(JoinBelowRoot("/d/", "a/b.txt"), "/d/a/b.txt");
  EXPECT_EQ(JoinBelowRoot("/d", "./a//b.txt"), "/d/a/b.txt");
  EXPECT_EQ(JoinBelowRoot("/d///", "Größe ä.txt"), "/d/Größe ä.txt");
  EXPECT_EQ(JoinBelowRoot("/", "x"), "/x");
  EXPECT_EQ(JoinBelowRoot("/d", "a..b/..c"), "/d/a..b/..c");
}

TEST(TargetPath, NamesThatAreRefused) {
  for (const std::string& name : std::vector<std::string>{"", "/tmp/x", "../x", "a/../../x", "a/..", "..", ".", "./", std::string("a\0b", 3)})
    EXPECT_EQ(JoinBelowRoot("/d", name), "") << name;
}

}  // namespace
}  // namespace kalvero
