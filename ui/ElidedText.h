#pragma once
// A label that shows a long path elided in the middle
// ("/home/anna/…/Brief_an_Müller.txt"), so that the file name stays visible,
// with the whole path as tool tip; it is elided again whenever the label's
// width changes.
#include <QString>

class QLabel;

namespace kalvero {

void setElidedText(QLabel* label, const QString& text);
// The whole text last given to setElidedText.
QString fullText(const QLabel* label);

}  // namespace kalvero
