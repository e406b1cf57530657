#pragma once
// The window tests' application: a temporary directory that is also the
// process's TMPDIR, with an Application on a settings file inside it.
#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <QtGlobal>
#include <memory>
#include <string>
#include <vector>

#include "app/Application.h"

namespace kalvero::test {

struct AppFixture {
  AppFixture() {
    qputenv("TMPDIR", dir.path().toUtf8());
    app = std::make_unique<Application>(std::vector<std::string>{"kalvero", "/Ini=" + settingsPath()});
  }
  std::string path(const QString& rel) const { return dir.filePath(rel).toStdString(); }
  std::string settingsPath() const { return path(QStringLiteral("kalvero.INI")); }
  QByteArray settingsBytes() const { return readBytes(settingsPath()); }
  void writeSettings(const QByteArray& bytes) const { writeBytes(settingsPath(), bytes); }
  static void writeBytes(const std::string& p, const QByteArray& bytes) {
    QFile f(QString::fromStdString(p));
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate)) f.write(bytes);
  }
  static QByteArray readBytes(const std::string& p) {
    QFile f(QString::fromStdString(p));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
  }

  QTemporaryDir dir;
  std::unique_ptr<Application> app;
};

}  // namespace kalvero::test
