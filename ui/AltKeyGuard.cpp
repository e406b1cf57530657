#include "ui/AltKeyGuard.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextEdit>

namespace kalvero {

namespace {

// Alt (with or without Shift) and a letter: a mnemonic that found no control.
// AltGr characters such as "@" or "€" are no letters and pass.
bool unusedAltLetter(const QKeyEvent* key) {
  const Qt::KeyboardModifiers mods = key->modifiers() & ~Qt::ShiftModifier & ~Qt::KeypadModifier;
  if (mods != Qt::AltModifier) return false;
  const QString text = key->text();
  return text.size() == 1 && text.at(0).isLetter();
}

bool takesText(QObject* watched) {
  return qobject_cast<QLineEdit*>(watched) || qobject_cast<QTextEdit*>(watched) ||
         qobject_cast<QPlainTextEdit*>(watched) || qobject_cast<QAbstractSpinBox*>(watched);
}

}  // namespace

void AltKeyGuard::install(QObject* owner) {
  if (QCoreApplication* app = QCoreApplication::instance()) app->installEventFilter(new AltKeyGuard(owner));
}

bool AltKeyGuard::eventFilter(QObject* watched, QEvent* event) {
  // Shortcuts were offered before the key press arrives: what reaches a field here is unused.
  if (event->type() == QEvent::KeyPress && takesText(watched) && unusedAltLetter(static_cast<QKeyEvent*>(event)))
    return true;
  return QObject::eventFilter(watched, event);
}

}  // namespace kalvero
