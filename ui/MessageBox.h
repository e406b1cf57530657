#pragma once
// The program's message box: kinds 1 to 6, titled "Kalvero", owned by the
// active window. Also a helper that formats printf-style texts for it.
#include <QString>
#include <string>

#include "app/Application.h"

class QWidget;

namespace kalvero {

class QtMessageBoxHost : public MessageBoxHost {
 public:
  // Questions (kinds 5 and 6) default to "Nein" / "Abbrechen": every question
  // of the program asks before changing something.
  int messageBox(int kind, const std::string& text) override;
};

inline std::string toStd(const QString& s) { return s.toStdString(); }
inline QString toQt(const std::string& s) { return QString::fromStdString(s); }

}  // namespace kalvero
