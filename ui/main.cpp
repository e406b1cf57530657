// kalvero: the window program.
#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <string>
#include <vector>

#include "app/Application.h"
#include "diag/Trace.h"
#include "ui/MainSheet.h"
#include "ui/MessageBox.h"

int main(int argc, char** argv) {
  QApplication qt(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Kalvero"));
  QApplication::setDesktopFileName(QStringLiteral("kalvero"));
  // Qt's own texts (Ja, Nein, Abbrechen, the file dialogs) in German, whatever the locale.
  QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
  QTranslator qtTexts;
  if (qtTexts.load(QLocale(QLocale::German), QStringLiteral("qtbase"), QStringLiteral("_"),
                   QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
    QApplication::installTranslator(&qtTexts);

  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
  kalvero::Application app(args);
  kalvero::TraceInit(app.debugLevel(), "", "");  // "Debug" of the settings file
  kalvero::QtMessageBoxHost box;
  int status = 0;
  {
    kalvero::MainSheet window(app, box);
    window.show();
    status = QApplication::exec();
  }
  return status;
}
