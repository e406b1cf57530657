#include <gtest/gtest.h>

#include "backup/BackupTexts.h"
#include "backup/DateLabel.h"
#include "backup/RunLog.h"
#include "backup/Shutdown.h"
#include "support/TempDir.h"

namespace kalvero {
namespace {

TEST(RunLog, SizesInKiloAndMegaByte) {
  EXPECT_EQ(KbyteText(0, texts::LOG_KBYTE_COPIED, texts::LOG_MBYTE_COPIED), "0 KiloByte kopiert");
  EXPECT_EQ(KbyteText(1023, texts::LOG_KBYTE_COPIED, texts::LOG_MBYTE_COPIED), "1023 KiloByte kopiert");
  EXPECT_EQ(KbyteText(1024, texts::LOG_KBYTE_COPIED, texts::LOG_MBYTE_COPIED), "1,000 MegaByte kopiert");
  EXPECT_EQ(KbyteText(1536, texts::LOG_KBYTE_COPIED, texts::LOG_MBYTE_COPIED), "1,500 MegaByte kopiert");
  // Beyond 4 TByte the sum does not wrap.
  EXPECT_EQ(KbyteText(5ULL << 32, texts::LOG_KBYTE_COMPRESSED, texts::LOG_MBYTE_COMPRESSED),
            "Auf 20971520,000 MegaByte komprimiert");
}

TEST(RunLog, SummaryShowsDurationWithoutDaysAndCancelLine) {
  test::TempDir dir;
  RunLog log;
  ASSERT_TRUE(log.open(dir / "log.txt"));
  PairSummary s;
  s.filesDone = 3;
  s.pairSkipped = 1;
  s.pairErrors = 2;
  s.kbyte = 5;
  s.cancelled = true;
  s.startSeconds = std::time(nullptr) - (25 * 3600 + 3 * 60);
  WritePairSummary(log, s);
  log.write("a\nb\r\n");  // a lone line feed becomes CR LF
  log.close();
  const std::string text = dir.read("log.txt");
  EXPECT_EQ(text.find("2 Dateien kopiert\r\n1 Dateien übersprungen\r\n5 KiloByte kopiert\r\nSicherung beendet: "), 0u);
  EXPECT_NE(text.find("Benötigte Zeit = 01:03:0"), std::string::npos);
  EXPECT_NE(text.find("\r\n\r\n2 Fehler beim Sichern\r\n***   Das Sichern wurde abgebrochen!   ***\r\n" +
                      std::string(80, '-') + "\r\na\r\nb\r\n"),
            std::string::npos);
  EXPECT_EQ(text.find("Kleinste"), std::string::npos);
  EXPECT_FALSE(RunLog().open(""));
  EXPECT_FALSE(RunLog().open(dir / "no/such/dir/log.txt"));
}

TEST(DateLabel, EveryForm) {
  DateFilter f;
  EXPECT_EQ(BuildDateLabel(f).text, "Nur Dateien mit Änderungsdatum sichern.\nZur Zeit kein Änderungsdatum angegeben.");
  EXPECT_FALSE(BuildDateLabel(f).enabled);
  f.from = DateTime::fromCalendar({2005, 10, 23, 10, 22, 0});
  EXPECT_EQ(BuildDateLabel(f).text, "Nur Dateien mit Änderungsdatum >= '23.10.2005 10:22:00' sichern");
  f.to = DateTime::fromCalendar({2006, 1, 2, 3, 4, 5});
  EXPECT_EQ(BuildDateLabel(f).text,
            "Nur Dateien mit Änderungsdatum zwischen\n'23.10.2005 10:22:00' und '02.01.2006 03:04:05' sichern");
  f.from = DateTime();
  EXPECT_EQ(BuildDateLabel(f).text, "Nur Dateien mit Änderungsdatum <= '02.01.2006 03:04:05' sichern");
  f.Typ = 1;
  f.Stunden = 48;
  f.from = DateTime::fromCalendar({2005, 10, 23, 10, 22, 0});
  EXPECT_EQ(BuildDateLabel(f).text,
            "Nur Dateien mit Änderungsdatum >= '23.10.2005 10:22:00' sichern\nRelatives Datum (Aktuelles Datum - 48 "
            "Stunden)");
}

// Stands in for logind: records what the shutdown step asks for.
class FakePower : public platform::PowerControl {
 public:
  bool bus = true;
  std::string answer = "yes";
  bool requestOk = true;
  std::string wall;
  int requests = 0;
  bool lastReboot = false;
  bool connect(std::string* error) override {
    if (!bus && error) *error = "no bus";
    return bus;
  }
  std::string can(bool) override { return answer; }
  void setWallMessage(const std::string& text) override { wall = text; }
  bool request(bool reboot, std::string* error) override {
    ++requests;
    lastReboot = reboot;
    if (!requestOk && error) *error = "Interactive authentication required.";
    return requestOk;
  }
};

TEST(Shutdown, OnlyInBatchModeWithExitOnAndFailuresShown) {
  FakePower power;
  std::vector<std::string> boxes;
  auto show = [&](const std::string& t) { boxes.push_back(t); };
  BackupOptions o;
  o.Exit = 1;
  EXPECT_FALSE(ShutdownAfterBackup(o, 0, power, show));  // interactive start
  o.Exit = 0;
  EXPECT_FALSE(ShutdownAfterBackup(o, 1, power, show));
  EXPECT_EQ(power.requests, 0);
  o.Exit = 1;
  o.Reboot = 1;
  EXPECT_TRUE(ShutdownAfterBackup(o, 1, power, show));
  EXPECT_TRUE(power.lastReboot);
  EXPECT_EQ(power.wall, "*** Kalvero hat den Computer neu gestartet ***");
  o.Reboot = 0;
  EXPECT_TRUE(ShutdownAfterBackup(o, 1, power, show));
  EXPECT_EQ(power.wall, "*** Kalvero hat den Computer ausgeschaltet ***");
  EXPECT_TRUE(boxes.empty());
  power.requestOk = false;
  EXPECT_FALSE(ShutdownAfterBackup(o, 1, power, show));
  power.answer = "challenge";
  EXPECT_FALSE(ShutdownAfterBackup(o, 1, power, show));
  power.bus = false;
  EXPECT_FALSE(ShutdownAfterBackup(o, 1, power, show));
  EXPECT_EQ(boxes, (std::vector<std::string>{"Interactive authentication required.",
                                             "Der Computer darf von diesem Benutzer nicht ausgeschaltet oder neu gestartet werden.",
                                             "Der Computer kann nicht ausgeschaltet werden: keine Verbindung zu systemd-logind."}));
}

}  // namespace
}  // namespace kalvero
