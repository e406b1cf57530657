#include "ui/PathInput.h"

namespace kalvero {

QString withoutTrailingSlash(const QString& path) {
  QString out = path;
  while (out.size() > 1 && out.endsWith(QLatin1Char('/'))) out.chop(1);
  return out;
}

bool hasLineBreak(const QString& path) {
  return path.contains(QLatin1Char('\n')) || path.contains(QLatin1Char('\r'));
}

}  // namespace kalvero
