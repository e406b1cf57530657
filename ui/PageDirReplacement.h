#pragma once
// The page "Verzeichnisse" of the parameter sheet: the list of
// directory-name replacements and the two switches saying where it applies.
// Its changes reach the settings file only through apply() (OK of the sheet).
#include <QWidget>
#include <functional>
#include <memory>
#include <vector>

#include "app/Records.h"

namespace Ui {
class PageDirReplacement;
}

namespace kalvero {

class Application;
class MessageBoxHost;

class PageDirReplacement : public QWidget {
  Q_OBJECT
 public:
  PageDirReplacement(Application& app, MessageBoxHost& box, QWidget* parent = nullptr);
  ~PageDirReplacement() override;

  // Saves the list and the switches when anything was changed; false (after
  // the message) when the settings file could not be written.
  bool apply();
  bool isModified() const { return modified_; }
  // A side is switched on: OK rewrites stored directory names.
  bool replacementChosen() const;

  int rowCount() const;
  DirReplacement entryAt(int row) const;
  std::vector<int> selectedRows() const;  // ascending

  // The buttons and double clicks, callable as if pressed.
  void newEntry();
  void changeEntry();
  void deleteEntries();

  Ui::PageDirReplacement* form() const { return ui_.get(); }

  // Tests put a stand-in for the modal editor here; it edits the entry and
  // answers whether the user pressed OK. An empty function restores the editor.
  using Editor = std::function<bool(QWidget* parent, DirReplacement& entry)>;
  static void setEditorForTests(Editor editor);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void addRow(const DirReplacement& entry);
  void writeRow(int row, const DirReplacement& entry);
  void widenColumns(int row);
  void refreshButtons();
  bool edit(DirReplacement& entry);

  Application& app_;
  MessageBoxHost& box_;
  std::unique_ptr<Ui::PageDirReplacement> ui_;
  bool modified_ = false;
};

}  // namespace kalvero
