#pragma once
// "Neu oder Ändern": adds a DirPair to the backup page's job list or changes
// the loaded one, together with a working copy of its negative list. The
// window is modeless; it follows the page's selection only when loaded.
#include <QDialog>
#include <memory>

#include "app/Records.h"

namespace Ui {
class DlgPaar;
}

namespace kalvero {

class DlgNegativliste;
class MessageBoxHost;
class PageSichern;

class DlgPaar : public QDialog {
  Q_OBJECT
 public:
  // Lives as long as the page; closing only hides it, so the fields keep their texts.
  DlgPaar(PageSichern& page, MessageBoxHost& box);
  ~DlgPaar() override;

  // selected: load the page's selected pair; false: no pair is loaded and "Ändern" is disabled.
  void load(bool selected);
  int loadedRow() const { return loadedRow_; }

  void add();             // "Hinzufügen"
  void change();          // "Ändern"
  void deleteNegative();  // "Löschen ..." of the negative list
  void openNegativeEditor();

  // The negative list, for the negative-list editor.
  const std::vector<ExcludedDir>& negativeList() const { return negatives_; }
  int firstSelectedNegativeRow() const;
  int selectedNegativeCount() const;
  void appendNegative(const ExcludedDir& dir);
  void replaceNegative(int row, const ExcludedDir& dir);
  DlgNegativliste* negativeEditor() const { return negativeEditor_; }

  void done(int result) override;

 private:
  // No pair loaded, an empty negative list, "Aktiv" and "Unterverzeichnisse mitkopieren" ticked.
  void startNewPair();
  bool takeFields(DirPair& pair);
  void fillNegativeList();
  void updateDeleteButton();

  std::unique_ptr<Ui::DlgPaar> ui_;
  PageSichern& page_;
  MessageBoxHost& box_;
  std::vector<ExcludedDir> negatives_;
  int loadedRow_ = -1;
  DirPair loadedPair_;  // the loaded row as it was loaded or last changed here
  DlgNegativliste* negativeEditor_ = nullptr;  // child window, created at its first opening
};

}  // namespace kalvero
