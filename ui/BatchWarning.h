#pragma once
// "Warnung Batchmodus": counts ten seconds down, then ends as timed out (the
// backup starts); any other way of ending it cancels batch mode.
#include <QDialog>
#include <memory>

class QTimer;

namespace Ui {
class BatchWarning;
}

namespace kalvero {

class BatchWarning : public QDialog {
  Q_OBJECT
 public:
  explicit BatchWarning(QWidget* parent = nullptr);
  ~BatchWarning() override;
  bool timedOut() const { return timedOut_; }

  static constexpr int kCountdownMs = 10000;
  // Tests only: a shorter countdown (0 restores the ten seconds).
  static void setCountdownForTests(int ms);

 protected:
  void done(int result) override;

 private:
  std::unique_ptr<Ui::BatchWarning> ui_;
  QTimer* timer_ = nullptr;
  bool timedOut_ = false;
};

}  // namespace kalvero
