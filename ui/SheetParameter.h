#pragma once
// The modal sheet "Parameter" with its one page "Verzeichnisse".
#include <QDialog>
#include <memory>

namespace Ui {
class SheetParameter;
}

namespace kalvero {

class Application;
class MessageBoxHost;
class PageDirReplacement;

class SheetParameter : public QDialog {
  Q_OBJECT
 public:
  SheetParameter(Application& app, MessageBoxHost& box, QWidget* parent = nullptr);
  ~SheetParameter() override;

  PageDirReplacement* page() const { return page_; }
  Ui::SheetParameter* form() const { return ui_.get(); }

 public slots:
  // OK: with a side switched on, asks first whether to rewrite the directory
  // names ("Nein" writes nothing and keeps the sheet open); then the page saves
  // its changes; the sheet stays open when that fails.
  void accept() override;
  // The user said "Ja" to the rewrite here.
  bool replacementConfirmed() const { return confirmed_; }

 private:
  std::unique_ptr<Ui::SheetParameter> ui_;
  MessageBoxHost& box_;
  PageDirReplacement* page_ = nullptr;
  bool confirmed_ = false;
};

}  // namespace kalvero
