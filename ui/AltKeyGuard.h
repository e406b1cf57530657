#pragma once
// An Alt letter that no control takes must not type its letter into the
// focused field: Qt on X11 hands the unused Alt+S to a line edit as "s".
#include <QObject>

namespace kalvero {

class AltKeyGuard : public QObject {
  Q_OBJECT
 public:
  using QObject::QObject;
  // On the application: every window and dialog of the program.
  static void install(QObject* owner);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
};

}  // namespace kalvero
