#pragma once
// Shared pieces of the restore, information, log and parameter page tests:
// a message box that records instead of showing, and an application whose
// settings file and list files live in a temporary directory.
#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <memory>
#include <string>
#include <vector>

#include "app/Application.h"

namespace kalvero::test {

class RecordingBox : public MessageBoxHost {
 public:
  int messageBox(int kind, const std::string& text) override {
    kinds.push_back(kind);
    texts.push_back(text);
    return answer;
  }
  void clear() {
    kinds.clear();
    texts.clear();
  }
  int answer = MB_RESULT_YES;
  std::vector<int> kinds;
  std::vector<std::string> texts;
};

// A temporary directory that is also the process's TMPDIR, with an
// Application on a settings file inside it.
struct AppFixture {
  AppFixture() {
    qputenv("TMPDIR", dir.path().toUtf8());
    app = std::make_unique<Application>(std::vector<std::string>{"kalvero", "/Ini=" + settingsPath()});
  }
  std::string path(const QString& rel) const { return dir.filePath(rel).toStdString(); }
  std::string settingsPath() const { return path(QStringLiteral("kalvero.INI")); }
  QByteArray settingsBytes() const {
    QFile f(QString::fromStdString(settingsPath()));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
  }
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
