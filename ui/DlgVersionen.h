#pragma once
// "Versionen ...": the states of one file or folder in the dated folders of
// its pair, and "Daneben wiederherstellen", which puts the chosen one beside
// the original (never over anything) and says where in the dialog.
#include <QDialog>
#include <memory>

#include "restore/Versions.h"

namespace Ui {
class DlgVersionen;
}

namespace kalvero {

class DlgVersionen : public QDialog {
  Q_OBJECT
 public:
  explicit DlgVersionen(VersionList list, QWidget* parent = nullptr);
  ~DlgVersionen() override;

  // "Daneben wiederherstellen" on the chosen row.
  void restoreChosen();

  // Asks for a file or a folder (a folder: opened, then "Auswählen"),
  // starting in start; "" when cancelled.
  static QString askPath(QWidget* parent, const QString& start);

 private:
  void fillList();

  std::unique_ptr<Ui::DlgVersionen> ui_;
  VersionList list_;
};

}  // namespace kalvero
