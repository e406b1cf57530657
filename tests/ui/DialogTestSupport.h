#pragma once
// Pieces of the dialog tests: whole-file reads and writes inside the test's
// temporary directory and a stand-in systemctl.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtGlobal>
#include <memory>
#include <string>
#include <vector>

#include "support/AppFixture.h"
#include "support/Files.h"
#include "support/MessageBoxFake.h"

namespace kalvero::test {

struct DialogTempDir {
  QTemporaryDir dir;
  std::string operator/(const char* rel) const { return dir.filePath(QString::fromUtf8(rel)).toStdString(); }
  void mkdir(const char* rel) const { QDir(dir.path()).mkpath(QString::fromUtf8(rel)); }
};

// A stand-in systemctl first on PATH that records each call as one line
// (answering with the given exit status, and list-timers with kListTimers),
// and XDG_CONFIG_HOME in the same temporary directory: the real user manager
// is never asked.
struct SystemctlStandIn {
  explicit SystemctlStandIn(int status = 0) : oldPath(qgetenv("PATH")), oldConfig(qgetenv("XDG_CONFIG_HOME")) {
    QDir(dir.path()).mkpath(QStringLiteral("bin"));
    const QString script = dir.filePath(QStringLiteral("bin/systemctl"));
    writeFile(script.toStdString(),
               "#!/bin/sh\necho \"$*\" >> \"" + dir.filePath(QStringLiteral("calls")).toStdString() +
                   "\"\ncase \"$*\" in *list-timers*) printf '%s' '" + kListTimers + "';; esac\nexit " +
                   std::to_string(status) + "\n");
    QFile::setPermissions(script, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    qputenv("PATH", dir.filePath(QStringLiteral("bin")).toUtf8() + ":" + oldPath);
    qputenv("XDG_CONFIG_HOME", dir.filePath(QStringLiteral("config")).toUtf8());
  }
  ~SystemctlStandIn() {
    qputenv("PATH", oldPath);
    if (oldConfig.isNull()) qunsetenv("XDG_CONFIG_HOME"); else qputenv("XDG_CONFIG_HOME", oldConfig);
  }
  QStringList calls() const {
    return QString::fromStdString(readFile(dir.filePath(QStringLiteral("calls")).toStdString()))
        .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
  }
  std::string unit(const char* name) const {
    return readFile(dir.filePath(QStringLiteral("config/systemd/user/") + QLatin1String(name)).toStdString());
  }
  static constexpr const char* kListTimers =
      "NEXT                        LEFT        LAST PASSED UNIT                 ACTIVATES\n"
      "Wed 2026-12-09 20:15:00 UTC 2 days left -    -      kalvero-backup.timer kalvero-backup.service\n\n"
      "1 timers listed.\n";
  QTemporaryDir dir;
  QByteArray oldPath, oldConfig;
};

}  // namespace kalvero::test
