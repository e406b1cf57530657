#pragma once
// The hint window for file patterns and extension lists: modeless, one at
// a time per owner; a second "?" replaces its title and text.
#include <QDialog>
#include <memory>

namespace Ui {
class DlgHinweis;
}

namespace kalvero {

// What the hint window explains.
enum class HintKind { Patterns, Extensions };

class DlgHinweis : public QDialog {
  Q_OBJECT
 public:
  explicit DlgHinweis(QWidget* parent = nullptr);
  ~DlgHinweis() override;

  void showHint(HintKind kind);
  // The window owned by owner, created when none exists, then shown with the hint.
  static DlgHinweis* open(QWidget* owner, HintKind kind);

 private:
  std::unique_ptr<Ui::DlgHinweis> ui_;
};

}  // namespace kalvero
