#pragma once
// Pieces of the dialog tests: a message box host that records every box and
// answers questions with a preset button (no test waits for a click), and
// whole-file reads and writes inside the test's temporary directory.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <memory>
#include <string>
#include <vector>

#include "app/Application.h"

namespace kalvero::test {

class RecordingBoxes : public MessageBoxHost {
 public:
  struct Box {
    int kind;
    std::string text;
  };
  int messageBox(int kind, const std::string& text) override {
    boxes.push_back({kind, text});
    return kind == 5 || kind == 6 ? answer : MB_RESULT_OK;
  }
  std::string lastText() const { return boxes.empty() ? std::string() : boxes.back().text; }

  std::vector<Box> boxes;
  int answer = MB_RESULT_YES;
};

struct DialogTempDir {
  QTemporaryDir dir;
  std::string operator/(const char* rel) const { return dir.filePath(QString::fromUtf8(rel)).toStdString(); }
  void mkdir(const char* rel) const { QDir(dir.path()).mkpath(QString::fromUtf8(rel)); }
};

inline std::string readWhole(const std::string& path) {
  QFile f(QString::fromStdString(path));
  if (!f.open(QIODevice::ReadOnly)) return {};
  return f.readAll().toStdString();
}

inline void writeWhole(const std::string& path, const std::string& content) {
  QFile f(QString::fromStdString(path));
  if (f.open(QIODevice::WriteOnly | QIODevice::Truncate)) f.write(content.data(), qint64(content.size()));
}

// A temporary directory that is also the process's TMPDIR, with an
// Application on a settings file inside it (for the backup page).
struct DialogAppFixture {
  DialogAppFixture() {
    qputenv("TMPDIR", dir.path().toUtf8());
    app = std::make_unique<Application>(std::vector<std::string>{"kalvero", "/Ini=" + settingsPath()});
    app->setKeepListFiles(false);
  }
  std::string settingsPath() const { return dir.filePath(QStringLiteral("kalvero.INI")).toStdString(); }
  QTemporaryDir dir;
  std::unique_ptr<Application> app;
};

}  // namespace kalvero::test
