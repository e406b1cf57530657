#pragma once
// A scroll area that asks for all the room its content wants (Qt's own caps
// its size hint at a few hundred pixels) and scrolls only when the window
// cannot give it: the window's first size still shows everything on a
// laptop screen, and a smaller screen or larger text scrolls.
#include <QScrollArea>

namespace kalvero {

class FittingScrollArea : public QScrollArea {
  Q_OBJECT
 public:
  explicit FittingScrollArea(QWidget* content, QWidget* parent = nullptr);
  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;
};

}  // namespace kalvero
