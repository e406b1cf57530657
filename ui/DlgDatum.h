#pragma once
// "Datumswerte eingeben": edits section "Datum" of the settings file. OK
// stores the values in one save; "Abbrechen" stores nothing.
#include <QDialog>
#include <functional>
#include <memory>
#include <string>

#include "app/DateTime.h"

namespace Ui {
class DlgDatum;
}

namespace kalvero {

class MessageBoxHost;

class DlgDatum : public QDialog {
  Q_OBJECT
 public:
  using Clock = std::function<DateTime()>;
  // clock gives "now" (tests pass a fixed one).
  DlgDatum(std::string settingsPath, MessageBoxHost& box, QWidget* parent = nullptr, Clock clock = {});
  ~DlgDatum() override;

  void accept() override;

 private:
  void applyEnabling();
  void interpretFrom();
  void interpretTo();
  void interpretHours();
  void rebuildSummary();

  std::unique_ptr<Ui::DlgDatum> ui_;
  std::string settingsPath_;
  MessageBoxHost& box_;
  Clock clock_;
  DateTime from_, to_, relativeFrom_;
};

}  // namespace kalvero
