#pragma once
// Tool tips of the pages: rich text, so that Qt breaks a long tip into lines
// of at most 300 pixels. Qt would hand that markup to a screen reader as the
// control's description, so the plain text is set as the description here.
#include <QString>

class QWidget;

namespace kalvero {

QString richToolTip(const QString& plain);
// The description stays when the tips are switched off: it is no pop-up.
void setWrappedToolTip(QWidget* widget, const QString& plain, bool shown);

}  // namespace kalvero
