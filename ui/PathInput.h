#pragma once
// Directory names as the editors take them from their fields.
#include <QString>

namespace kalvero {

// Trailing "/" removed; "/" itself stays "/".
QString withoutTrailingSlash(const QString& path);
bool hasLineBreak(const QString& path);

}  // namespace kalvero
