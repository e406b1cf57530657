#pragma once
// The backup page's options form: the check boxes and fields of section
// "Allg", their enabling rules, the "Datum" caption built from the date
// filter, the file choosers and "anzeigen" buttons, the hint windows, and the
// tool tips of the page, which the form's "Tooltips" box switches.
#include <QObject>
#include <QString>
#include <utility>
#include <vector>

#include "app/Records.h"

class QWidget;

namespace Ui {
class PageSichern;
}

namespace kalvero {

class Application;
class MessageBoxHost;

class BackupOptionsForm : public QObject {
  Q_OBJECT
 public:
  // page holds the form's controls and owns this object (and the dialogs it opens).
  BackupOptionsForm(Ui::PageSichern& form, Application& app, MessageBoxHost& box, QWidget* page);

  // Shows options in the controls, with the "Datum" caption of the stored date filter.
  void show(const BackupOptions& options);
  // Takes the controls into the options and returns them.
  const BackupOptions& take();
  // take(), after the typed paths ("~" is the home directory) and the name
  // patterns are checked: false after a message, with the focus on the field.
  bool takeChecked();
  const BackupOptions& options() const { return options_; }
  const DateFilter& dateFilter() const { return dateFilter_; }
  // Rebuilds the caption of the "Datum" check box from section "Datum".
  void rebuildDateLabel();
  // "anzeigen" is enabled for a log or check file that exists.
  void updateShowButtons();
  // Every check box and field of the form as one text, to tell whether the user changed any.
  QString controlState() const;

 private:
  void setUpTooltips();
  void applyTooltips(bool on);
  void connectControls();
  void optionsToControls();
  void controlsToOptions();
  void applyEnablingRules();
  void chooseFile(bool logFile);
  bool takeTypedPaths();
  bool refuse(QWidget* field, const QString& message);

  Ui::PageSichern& ui_;
  Application& app_;
  MessageBoxHost& box_;
  QWidget* page_;
  BackupOptions options_;
  DateFilter dateFilter_;
  std::vector<std::pair<QWidget*, QString>> tips_;
};

}  // namespace kalvero
