#include "ui/PathInput.h"

#include <QDir>

#include "ui/DialogTexts.h"

namespace kalvero {

QString withoutTrailingSlash(const QString& path) {
  QString out = path;
  while (out.size() > 1 && out.endsWith(QLatin1Char('/'))) out.chop(1);
  return out;
}

bool hasLineBreak(const QString& path) {
  return path.contains(QLatin1Char('\n')) || path.contains(QLatin1Char('\r'));
}

TypedPath typedPath(const QString& text) {
  TypedPath typed;
  if (text.isEmpty() || text.startsWith(QLatin1Char('/'))) {
    typed.path = text;
  } else if (text == QLatin1String("~") || text.startsWith(QLatin1String("~/"))) {
    typed.path = QDir::homePath() + text.mid(1);
  } else {
    typed.refusal = QString::fromUtf8(dlgtext::kRelativePath).arg(text);
  }
  return typed;
}

}  // namespace kalvero
