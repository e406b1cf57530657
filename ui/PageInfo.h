#pragma once
// The information page: the four list files of the run, whether they are
// deleted at the end, the threshold of the single-file progress, and the
// check of the backups against their checksum lists.
#include <QWidget>
#include <memory>

namespace Ui {
class PageInfo;
}

namespace kalvero {

class Application;
class MessageBoxHost;
class VerifyPanel;

class PageInfo : public QWidget {
  Q_OBJECT
 public:
  PageInfo(Application& app, MessageBoxHost& box, QWidget* parent = nullptr);
  ~PageInfo() override;

  Ui::PageInfo* form() const { return ui_.get(); }
  VerifyPanel* verifyPanel() const { return verify_; }

 private:
  void showListFile(int index);
  void showDirectory();
  void deleteSrcClicked(bool checked);
  void minSizeEdited(const QString& text);

  Application& app_;
  MessageBoxHost& box_;
  std::unique_ptr<Ui::PageInfo> ui_;
  VerifyPanel* verify_ = nullptr;  // owned by the page
  bool minSizeWriteFailed_ = false;  // one message per failing streak, not one per key press
};

}  // namespace kalvero
