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
class PageParamVerz;

class SheetParameter : public QDialog {
  Q_OBJECT
 public:
  SheetParameter(Application& app, MessageBoxHost& box, QWidget* parent = nullptr);
  ~SheetParameter() override;

  PageParamVerz* page() const { return page_; }
  Ui::SheetParameter* form() const { return ui_.get(); }

 public slots:
  // OK: the page saves its changes; the sheet stays open when that fails.
  void accept() override;

 private:
  std::unique_ptr<Ui::SheetParameter> ui_;
  PageParamVerz* page_ = nullptr;
};

}  // namespace kalvero
