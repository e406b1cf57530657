#include "ui/FittingScrollArea.h"

#include <QScrollBar>

namespace kalvero {

FittingScrollArea::FittingScrollArea(QWidget* content, QWidget* parent) : QScrollArea(parent) {
  setObjectName(content->objectName() + QStringLiteral("Scroll"));
  setWidget(content);
  setWidgetResizable(true);
  setFrameShape(QFrame::NoFrame);
  setFocusPolicy(Qt::NoFocus);
}

QSize FittingScrollArea::sizeHint() const {
  const int frame = 2 * frameWidth();
  return widget()->sizeHint() + QSize(frame + verticalScrollBar()->sizeHint().width(), frame);
}

QSize FittingScrollArea::minimumSizeHint() const {
  // A few lines of the content: the rest scrolls, in both directions.
  const int line = fontMetrics().height();
  return {20 * line, 4 * line};
}

}  // namespace kalvero
