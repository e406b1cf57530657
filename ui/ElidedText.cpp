#include "ui/ElidedText.h"

#include <QEvent>
#include <QFontMetrics>
#include <QLabel>
#include <QVariant>

namespace kalvero {

namespace {

constexpr const char* kFullText = "kalveroFullText";
constexpr const char* kWatched = "kalveroElides";

void elide(QLabel* label) {
  const QString full = label->property(kFullText).toString();
  const int width = label->contentsRect().width();
  const QString shown = width > 0 ? label->fontMetrics().elidedText(full, Qt::ElideMiddle, width) : full;
  label->setText(shown);
  label->setToolTip(shown == full ? QString() : full);
}

// Re-elides its label after every change of the label's size.
class ElideOnResize : public QObject {
 public:
  explicit ElideOnResize(QLabel* label) : QObject(label) { label->installEventFilter(this); }
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Resize) elide(static_cast<QLabel*>(watched));
    return false;
  }
};

}  // namespace

void setElidedText(QLabel* label, const QString& text) {
  if (!label->property(kWatched).toBool()) {
    label->setProperty(kWatched, true);
    new ElideOnResize(label);
    label->setTextFormat(Qt::PlainText);  // a name with "<" is no markup
    // The label's own text would otherwise set its minimum width.
    QSizePolicy policy = label->sizePolicy();
    policy.setHorizontalPolicy(QSizePolicy::Ignored);
    label->setSizePolicy(policy);
  }
  label->setProperty(kFullText, text);
  elide(label);
}

QString fullText(const QLabel* label) { return label->property(kFullText).toString(); }

}  // namespace kalvero
