#pragma once
// "Info über Kalvero": version, call parameters, the settings file and the
// temporary directory. A double click on either path opens it with the
// user's editor or file manager.
#include <QDialog>
#include <memory>
#include <string>

namespace Ui {
class DlgInfo;
}

namespace kalvero {

class DlgInfo : public QDialog {
  Q_OBJECT
 public:
  DlgInfo(const std::string& settingsPath, const std::string& tempPath, const std::string& versionText,
          QWidget* parent = nullptr);
  ~DlgInfo() override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  std::unique_ptr<Ui::DlgInfo> ui_;
};

}  // namespace kalvero
