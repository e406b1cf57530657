#pragma once
// "Verzeichnis - Ersetzung": edits one directory-name replacement.
#include <QDialog>
#include <memory>

#include "app/Records.h"

namespace Ui {
class DlgDirReplacement;
}

namespace kalvero {

class MessageBoxHost;

class DlgDirReplacement : public QDialog {
  Q_OBJECT
 public:
  DlgDirReplacement(MessageBoxHost& box, const DirReplacement& entry, QWidget* parent = nullptr);
  ~DlgDirReplacement() override;

  DirReplacement entry() const;
  Ui::DlgDirReplacement* form() const { return ui_.get(); }

  // The names the stored list can read back; the message text when not.
  static QString refusalOf(const QString& oldName, const QString& newName, int* field = nullptr);

 public slots:
  void accept() override;

 private:
  void browse(int field);

  MessageBoxHost& box_;
  std::unique_ptr<Ui::DlgDirReplacement> ui_;
};

}  // namespace kalvero
