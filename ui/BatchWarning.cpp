#include "ui/BatchWarning.h"

#include <QTimer>

#include "ui/UiTexts.h"
#include "ui/ui_BatchWarning.h"

namespace kalvero {

namespace {
int& countdownForTests() {
  static int ms = 0;
  return ms;
}
}  // namespace

void BatchWarning::setCountdownForTests(int ms) { countdownForTests() = ms; }

BatchWarning::BatchWarning(QWidget* parent) : QDialog(parent), ui_(std::make_unique<Ui::BatchWarning>()) {
  ui_->setupUi(this);
  setWindowTitle(QString::fromUtf8(ui_texts::kBatchTitle));
  ui_->lblWarning->setText(QString::fromUtf8(ui_texts::kBatchText));
  ui_->btnCancelBatch->setText(QString::fromUtf8(ui_texts::kBatchCancel));
  QPalette p = ui_->lblWarning->palette();
  p.setColor(QPalette::WindowText, QColor(255, 0, 0));
  ui_->lblWarning->setPalette(p);
  connect(ui_->btnCancelBatch, &QPushButton::clicked, this, &QDialog::reject);
  timer_ = new QTimer(this);
  timer_->setSingleShot(true);
  connect(timer_, &QTimer::timeout, this, [this] {
    timedOut_ = true;
    accept();
  });
  timer_->start(countdownForTests() > 0 ? countdownForTests() : kCountdownMs);
}

BatchWarning::~BatchWarning() = default;

void BatchWarning::done(int result) {
  timer_->stop();
  QDialog::done(result);
}

}  // namespace kalvero
