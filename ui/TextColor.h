#pragma once
// Colours a control's text the same way for labels, check boxes and fields.
#include <QColor>
#include <QPalette>
#include <QWidget>

namespace kalvero {

inline void setTextColor(QWidget* w, const QColor& c) {
  QPalette p = w->palette();
  p.setColor(QPalette::WindowText, c);
  p.setColor(QPalette::ButtonText, c);
  p.setColor(QPalette::Text, c);
  w->setPalette(p);
}

}  // namespace kalvero
