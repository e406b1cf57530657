#pragma once
// Stand-ins and small helpers for the main-window tests: nothing is shut
// down, played or opened, and every message box is answered from a script.
#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/Application.h"
#include "support/AppFixture.h"
#include "support/MessageBoxFake.h"
#include "ui/BatchNotification.h"
#include "ui/EndOfRunSound.h"
#include "ui/PowerControlSeam.h"
#include "platform/Logind.h"
#include "ui/DesktopOpener.h"

namespace kalvero::test {

struct FakePower : platform::PowerControl {
  int* requests;
  explicit FakePower(int* r) : requests(r) {}
  bool connect(std::string*) override { return true; }
  std::string can(bool) override { return "yes"; }
  void setWallMessage(const std::string&) override {}
  bool request(bool, std::string*) override {
    ++*requests;
    return true;
  }
};

// Installs the stand-ins for one test and counts what reached them.
struct StandIns {
  int sounds = 0;
  int powerRequests = 0;
  QStringList opened;
  std::vector<RunNotification> notifications;
  StandIns() {
    setEndOfRunSoundForTests([this] { ++sounds; });
    setBatchNotifierForTests([this](const RunNotification& n) { notifications.push_back(n); });
    setPowerControlForTests([this] { return std::make_unique<FakePower>(&powerRequests); });
    setDesktopOpenerForTests([this](const QString& p) { opened << p; });
  }
  ~StandIns() {
    setEndOfRunSoundForTests({});
    setBatchNotifierForTests({});
    setPowerControlForTests({});
    setDesktopOpenerForTests({});
  }
};

// A source tree with a few files (one with an umlaut in its name) and a
// settings file backing it up into dir/Ziel with a run log in dir.
inline QString makeBackupSetup(const QTemporaryDir& dir, const QByteArray& extraAllg = {}) {
  const QString root = dir.path();
  writeText(root + "/Quelle/a.txt", "erste Datei\n");
  writeText(root + "/Quelle/Größe ä.txt", QByteArray(5000, 'x'));
  writeText(root + "/Quelle/unter/c.bin", QByteArray(3000, 'y'));
  const QString ini = root + "/test.INI";
  writeText(ini, "[SichQZ]\nVersion=2\nAnzahl=1\nVerz0=1|1|" + (root + "/Quelle").toUtf8() + "|" +
                     (root + "/Ziel").toUtf8() + "\n[Allg]\nProtokolldatei=" + (root + "/sichern.log").toUtf8() +
                     "\nArchivbit=0\nArchivbitReset=0\nCompare=1\n" + extraAllg + "\n[Info]\nDeleteSrc=1\n");
  return ini;
}

inline std::vector<std::string> argsFor(const QString& ini, bool batch = false) {
  std::vector<std::string> args;
  if (batch) args.push_back("/Batch");
  args.push_back("/Ini=" + ini.toStdString());
  return args;
}

}  // namespace kalvero::test
