#pragma once
// The program's message box of each MessageKind, titled "Kalvero", owned by
// the active window.
#include <QString>
#include <string>

#include "app/Application.h"

class QWidget;

namespace kalvero {

class QtMessageBoxHost : public MessageBoxHost {
 public:
  using MessageBoxHost::messageBox;
  // Questions (kinds 5 and 6) default to "Nein" / "Abbrechen": every question
  // of the program asks before changing something.
  int messageBox(int kind, const std::string& text) override;
};

}  // namespace kalvero
