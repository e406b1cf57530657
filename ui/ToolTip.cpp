#include "ui/ToolTip.h"

#include <QWidget>

namespace kalvero {

QString richToolTip(const QString& plain) {
  return QStringLiteral("<p style='white-space:pre-wrap; max-width:300px'>") + plain.toHtmlEscaped() +
         QStringLiteral("</p>");
}

void setWrappedToolTip(QWidget* widget, const QString& plain, bool shown) {
  widget->setAccessibleDescription(plain);
  widget->setToolTip(shown ? richToolTip(plain) : QString());
}

}  // namespace kalvero
