#pragma once
// The window tests' application: a temporary directory that is also the
// process's TMPDIR, with an Application on a settings file inside it.
#include <QByteArray>
#include <QDir>
#include <QFileInfo>
#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <QtGlobal>
#include <memory>
#include <string>
#include <vector>

#include "app/Application.h"

namespace kalvero::test {

// Run by hand rather than by ctest, a window test keeps the list files of its
// Application below the temporary directory, never in the user's own cache.
inline const bool kListFilesBelowTemp = [] {
  if (!qEnvironmentVariableIsSet("XDG_CACHE_HOME"))
    qputenv("XDG_CACHE_HOME", (QDir::tempPath() + QStringLiteral("/cache")).toUtf8());
  return true;
}();

// Whole files for the window tests, with Qt's paths and bytes; the parent
// directory is made. A file that cannot be written ends the test program.
inline void writeText(const QString& path, const QByteArray& bytes) {
  QDir().mkpath(QFileInfo(path).absolutePath());
  QFile f(path);
  if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) qFatal("cannot write %s", qPrintable(path));
  f.write(bytes);
}

inline QByteArray readText(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

struct AppFixture {
  AppFixture() {
    qputenv("TMPDIR", dir.path().toUtf8());
    app = std::make_unique<Application>(std::vector<std::string>{"kalvero", "/Ini=" + settingsPath()});
  }
  // The next fixture's directory goes where the test's own temporaries go,
  // not below one that is gone.
  ~AppFixture() {
    app.reset();
    if (hadTmpDir) qputenv("TMPDIR", previousTmpDir);
    else qunsetenv("TMPDIR");
  }
  AppFixture(const AppFixture&) = delete;
  AppFixture& operator=(const AppFixture&) = delete;
  std::string path(const QString& rel) const { return dir.filePath(rel).toStdString(); }
  std::string settingsPath() const { return path(QStringLiteral("kalvero.INI")); }
  QByteArray settingsBytes() const { return readText(QString::fromStdString(settingsPath())); }
  void writeSettings(const QByteArray& bytes) const { writeText(QString::fromStdString(settingsPath()), bytes); }

  const bool hadTmpDir = qEnvironmentVariableIsSet("TMPDIR");
  const QByteArray previousTmpDir = qgetenv("TMPDIR");
  QTemporaryDir dir;
  std::unique_ptr<Application> app;
};

}  // namespace kalvero::test
