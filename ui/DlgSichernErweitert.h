#pragma once
// "Sichern - Erweitert": a resizable, sortable view of the whole job list on
// its own deep copy. Pairs can be deleted and checked here; the page's list
// changes only when the dialog is closed with OK after a change. Below the
// list, the thinning of the dated folders after each backup.
#include <QDialog>
#include <array>
#include <memory>

#include "app/Records.h"

namespace Ui {
class DlgSichernErweitert;
}

namespace kalvero {

class MessageBoxHost;

class DlgSichernErweitert : public QDialog {
  Q_OBJECT
 public:
  enum Column { ColKz, ColAktiv, ColUnterverzeichnis, ColNegativliste, ColQuelle, ColZiel, ColumnCount };

  DlgSichernErweitert(const JobList& jobs, MessageBoxHost& box, QWidget* parent = nullptr);
  ~DlgSichernErweitert() override;

  // The dialog's own list in its current order, and whether it was sorted or shortened.
  const JobList& jobs() const { return jobs_; }
  bool changed() const { return changed_; }

  void sortByColumn(int column);  // what a click on the column header does
  void deleteSelected();          // "Löschen ..."
  void checkDirectories();        // "Prüfen ..."

  // The thinning of the dated folders ("AusduennenTage", "...Wochen",
  // "...Monate" of "Allg"): shown in the group, taken back after OK.
  void showThinning(const BackupOptions& options);
  void takeThinning(BackupOptions& options) const;

 private:
  void fillList();

  std::unique_ptr<Ui::DlgSichernErweitert> ui_;
  MessageBoxHost& box_;
  JobList jobs_;
  bool changed_ = false;
  std::array<bool, ColumnCount> ascending_{};
};

}  // namespace kalvero
