#pragma once
// Directory and file names as the window takes them from its fields.
#include <QString>

namespace kalvero {

// Trailing "/" removed; "/" itself stays "/".
QString withoutTrailingSlash(const QString& path);
bool hasLineBreak(const QString& path);

// What a path typed into a field means: "~" and "~/..." are the home
// directory; any other path not starting with "/" is refused, since the
// window has no current directory a user could know. Empty stays empty.
struct TypedPath {
  QString path;     // the absolute path, when not refused
  QString refusal;  // the message for the user, "" when the path is taken
  bool ok() const { return refusal.isEmpty(); }
};
TypedPath typedPath(const QString& text);

}  // namespace kalvero
