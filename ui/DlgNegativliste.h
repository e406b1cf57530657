#pragma once
// "Neu oder Ändern (Negativliste)": adds or changes one excluded directory in
// the pair editor's negative list. The pair itself changes only through the
// pair editor's "Hinzufügen" or "Ändern".
#include <QDialog>
#include <memory>

namespace Ui {
class DlgNegativliste;
}

namespace kalvero {

class DlgPaar;
class MessageBoxHost;

class DlgNegativliste : public QDialog {
  Q_OBJECT
 public:
  DlgNegativliste(DlgPaar& pairEditor, MessageBoxHost& box);
  ~DlgNegativliste() override;

  // selected: load the first selected row of the negative list; false: no row is loaded.
  void load(bool selected);
  int loadedRow() const { return loadedRow_; }

  void add();     // "Hinzufügen"
  void change();  // "Ändern"

 private:
  bool takeDirectory(QString& directory);

  std::unique_ptr<Ui::DlgNegativliste> ui_;
  DlgPaar& pairEditor_;
  MessageBoxHost& box_;
  int loadedRow_ = -1;
};

}  // namespace kalvero
