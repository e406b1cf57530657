#include "ui/DesktopOpener.h"

#include <fmt/printf.h>

#include <QCoreApplication>
#include <QPointer>
#include <QProcess>

#include "ui/MessageBox.h"
#include "ui/UiTexts.h"

namespace kalvero {

namespace {
std::function<void(const QString&)>& standIn() {
  static std::function<void(const QString&)> f;
  return f;
}
QString& program() {
  static QString p;
  return p;
}
}  // namespace

void openWithDesktop(const QString& path, QObject* context, MessageBoxHost* box) {
  if (standIn()) {
    standIn()(path);
    return;
  }
  // xdg-open, unlike QDesktopServices, tells by its exit status whether a
  // program took the file; it returns as soon as that program runs.
  auto* process = new QProcess(QCoreApplication::instance());
  QPointer<QObject> guard(context);
  const bool hadContext = context != nullptr;
  auto failed = [process, guard, hadContext, box, path](bool reallyFailed) {
    process->deleteLater();
    if (!reallyFailed || (hadContext && !guard)) return;
    const std::string text = fmt::sprintf(ui_texts::kOpenFailed, path.toStdString());
    if (box) {
      box->messageBox(MessageKind::Warning, text);
    } else {
      QtMessageBoxHost own;
      own.messageBox(MessageKind::Warning, text);
    }
  };
  QObject::connect(process, &QProcess::finished, process,
                   [failed](int code, QProcess::ExitStatus status) { failed(status != QProcess::NormalExit || code != 0); });
  QObject::connect(process, &QProcess::errorOccurred, process, [failed](QProcess::ProcessError error) {
    if (error == QProcess::FailedToStart) failed(true);
  });
  process->setProcessChannelMode(QProcess::ForwardedChannels);
  process->start(program().isEmpty() ? QStringLiteral("xdg-open") : program(), {path});
}

void setDesktopOpenerForTests(std::function<void(const QString&)> opener) { standIn() = std::move(opener); }
void setDesktopProgramForTests(const QString& p) { program() = p; }

}  // namespace kalvero
