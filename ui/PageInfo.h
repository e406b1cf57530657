#pragma once
// The information page: the four list files of the run, whether they are
// deleted at the end, and the threshold of the single-file progress.
#include <QWidget>

namespace kalvero {

class Application;
class MessageBoxHost;

class PageInfo : public QWidget {
  Q_OBJECT
 public:
  PageInfo(Application& app, MessageBoxHost& box, QWidget* parent = nullptr);
  ~PageInfo() override;

 private:
  Application& app_;
  MessageBoxHost& box_;
};

}  // namespace kalvero
