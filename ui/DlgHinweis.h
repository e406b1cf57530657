#pragma once
// The hint window for file patterns and extension lists: modeless, one at
// a time per owner; a second "?" replaces its title and text.
#include <QDialog>
#include <memory>

namespace Ui {
class DlgHinweis;
}

namespace kalvero {

class DlgHinweis : public QDialog {
  Q_OBJECT
 public:
  enum Which { Patterns = 1, Extensions = 2 };
  explicit DlgHinweis(QWidget* parent = nullptr);
  ~DlgHinweis() override;

  void showHint(int which);
  // The window owned by owner, created when none exists, then shown with the hint.
  static DlgHinweis* open(QWidget* owner, int which);

 private:
  std::unique_ptr<Ui::DlgHinweis> ui_;
};

}  // namespace kalvero
