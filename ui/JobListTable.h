#pragma once
// The backup page's job list: the pairs in a table of six columns (image,
// "Aktiv", "Unterverzeichnis", "Negativliste", source, destination), the
// selected row, deleting, and the popup menu that changes rows.
#include <QObject>

#include "app/Records.h"

class QPoint;
class QTableWidget;
class QWidget;

namespace kalvero {

class MessageBoxHost;

class JobListTable : public QObject {
  Q_OBJECT
 public:
  // page holds the table and owns this object (and the popup menu).
  JobListTable(QTableWidget* table, MessageBoxHost& box, QWidget* page);

  // The job list as the table shows it, row by row.
  const JobList& jobs() const { return jobs_; }
  // The selected row, -1 when none is selected.
  int currentRow() const;
  void addPair(const DirPair& pair);
  void replacePair(int row, const DirPair& pair);
  void setJobList(const JobList& jobs);
  // Selects and scrolls to a row; focus moves the keyboard focus there too.
  void selectPair(int row, bool focus);
  // "Löschen": asks first when ask is set.
  void deleteSelected(bool ask);
  // The popup menu of the rows, horizontally centred on pos.
  void popupMenu(const QPoint& pos);

 signals:
  // The selection changed (-1: no row selected).
  void selectionChanged(int row);
  void jobListReplaced();
  // The rows were changed by the table itself; pairSelected: a row is still selected.
  void pairsChanged(bool pairSelected);

 private:
  void setUp();
  void setUpEmptyHint();
  void fillRow(int row, const DirPair& pair);
  void widenColumns(int row);
  void selectRow(int row);
  void setActiveAll(int active);
  void changeSelected(int active, int withSubdirs);

  QTableWidget* table_;
  QWidget* page_;
  MessageBoxHost& box_;
  JobList jobs_;
};

}  // namespace kalvero
