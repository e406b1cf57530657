#pragma once
// "Verzeichnis - Ersetzung": edits one directory-name replacement.
#include <QDialog>
#include <memory>

#include "app/Records.h"

namespace Ui {
class DlgVerzErsetzung;
}

namespace kalvero {

class MessageBoxHost;

class DlgVerzErsetzung : public QDialog {
  Q_OBJECT
 public:
  DlgVerzErsetzung(MessageBoxHost& box, const DirReplacement& entry, QWidget* parent = nullptr);
  ~DlgVerzErsetzung() override;

  DirReplacement entry() const;
  Ui::DlgVerzErsetzung* form() const { return ui_.get(); }

  // The names the stored list can read back; the message text when not.
  static QString refusalOf(const QString& oldName, const QString& newName, int* field = nullptr);

 public slots:
  void accept() override;

 private:
  void browse(int field);

  MessageBoxHost& box_;
  std::unique_ptr<Ui::DlgVerzErsetzung> ui_;
};

}  // namespace kalvero
