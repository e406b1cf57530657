#include "ui/DlgDatum.h"

#include <fmt/printf.h>

#include <QLineEdit>
#include <QPalette>

#include "app/Application.h"
#include "app/DateText.h"
#include "app/SettingsFile.h"
#include "ui/DialogTexts.h"
#include "ui_DlgDatum.h"

namespace kalvero {

namespace {

// Beyond this many hours "now minus hours" leaves the calendar anyway.
constexpr long long kMaxHours = 9999LL * 366 * 24;

void SetTextColour(QWidget* w, const QColor& colour) {
  QPalette p = w->palette();
  p.setColor(QPalette::WindowText, colour);
  w->setPalette(p);
}

QString Shown(const DateTextResult& r) {
  if (r.empty) return {};
  if (!r.value.valid()) return QString::fromUtf8(dlgtext::kInvalidDate);
  return QString::fromStdString(r.value.format(dlgtext::kDateFormat));
}

}  // namespace

DlgDatum::DlgDatum(std::string settingsPath, MessageBoxHost& box, QWidget* parent, Clock clock)
    : QDialog(parent), ui_(std::make_unique<Ui::DlgDatum>()), settingsPath_(std::move(settingsPath)), box_(box),
      clock_(clock ? std::move(clock) : Clock(&DateTime::now)) {
  ui_->setupUi(this);
  ui_->labelExplanation->setText(QString::fromUtf8(dlgtext::kExplanation));
  for (QWidget* w : {static_cast<QWidget*>(ui_->labelCheckAbsolute), static_cast<QWidget*>(ui_->labelFromShown),
                     static_cast<QWidget*>(ui_->labelToShown), static_cast<QWidget*>(ui_->labelSummary),
                     static_cast<QWidget*>(ui_->labelCheckRelative), static_cast<QWidget*>(ui_->labelHoursShown)})
    SetTextColour(w, Qt::darkBlue);
  SetTextColour(ui_->labelExplanation, Qt::darkCyan);
  // The date fields show a whole date and time at any font size.
  const int dateWidth = ui_->editFrom->fontMetrics().horizontalAdvance(QStringLiteral("00.00.0000 00:00:00  ")) + 16;
  for (QLineEdit* e : {ui_->editFrom, ui_->editTo, ui_->editToday}) e->setMinimumWidth(dateWidth);
  // Room for the two lines of the summary, whichever text it shows.
  ui_->labelSummary->setMinimumHeight(ui_->labelSummary->fontMetrics().lineSpacing() * 2 +
                                      2 * ui_->labelSummary->frameWidth() + 4);

  const StoredDateValues stored = ReadStoredDateValues(settingsPath_);
  ui_->editFrom->setText(QString::fromStdString(stored.from.format(dlgtext::kDateFormat)));
  ui_->editTo->setText(QString::fromStdString(stored.to.format(dlgtext::kDateFormat)));
  ui_->editHours->setText(QString::fromStdString(stored.hoursText));
  (stored.typ == 1 ? ui_->radioRelative : ui_->radioAbsolute)->setChecked(true);
  ui_->editToday->setText(QString::fromStdString(clock_().format(dlgtext::kDateFormat)));

  connect(ui_->radioAbsolute, &QRadioButton::clicked, this, [this] { applyEnabling(); rebuildSummary(); });
  connect(ui_->radioRelative, &QRadioButton::clicked, this, [this] { applyEnabling(); rebuildSummary(); });
  connect(ui_->editFrom, &QLineEdit::textChanged, this, [this] { interpretFrom(); });
  connect(ui_->editTo, &QLineEdit::textChanged, this, [this] { interpretTo(); });
  connect(ui_->editHours, &QLineEdit::textChanged, this, [this] { interpretHours(); });
  connect(ui_->btnOk, &QPushButton::clicked, this, &DlgDatum::accept);
  connect(ui_->btnCancel, &QPushButton::clicked, this, &DlgDatum::reject);

  applyEnabling();
  interpretFrom();
  interpretTo();
  interpretHours();
}

DlgDatum::~DlgDatum() = default;

void DlgDatum::applyEnabling() {
  const bool relative = ui_->radioRelative->isChecked();
  ui_->editFrom->setEnabled(!relative);
  ui_->editTo->setEnabled(!relative);
  ui_->editHours->setEnabled(relative);
}

void DlgDatum::interpretFrom() {
  const DateTextResult r = InterpretDateText(ui_->editFrom->text().toStdString());
  from_ = r.value;
  ui_->labelFromShown->setText(Shown(r));
  rebuildSummary();
}

void DlgDatum::interpretTo() {
  const DateTextResult r = InterpretDateText(ui_->editTo->text().toStdString());
  to_ = r.value;
  ui_->labelToShown->setText(Shown(r));
  rebuildSummary();
}

void DlgDatum::interpretHours() {
  const long long hours = InterpretHoursText(TrimBlanks(ui_->editHours->text().toStdString()));
  relativeFrom_ = (hours > kMaxHours || hours < -kMaxHours) ? DateTime() : clock_().addHours(-hours);
  ui_->labelHoursShown->setText(relativeFrom_.valid()
                                    ? QString::fromStdString(relativeFrom_.format(dlgtext::kDateFormat))
                                    : QString::fromUtf8(dlgtext::kInvalidDate));
  rebuildSummary();
}

void DlgDatum::rebuildSummary() {
  const bool relative = ui_->radioRelative->isChecked();
  const DateTime& from = relative ? relativeFrom_ : from_;
  const DateTime to = relative ? DateTime() : to_;
  const std::string a = from.format(dlgtext::kDateFormat), b = to.format(dlgtext::kDateFormat);
  std::string text;
  switch (SummaryKindOf(from, to)) {
    case DateSummaryKind::Between: text = fmt::sprintf(dlgtext::kBetween, a, b); break;
    case DateSummaryKind::FromOnly: text = fmt::sprintf(dlgtext::kFromOnly, a); break;
    case DateSummaryKind::ToOnly: text = fmt::sprintf(dlgtext::kToOnly, b); break;
    case DateSummaryKind::Neither: text = dlgtext::kNoDate; break;
  }
  ui_->labelSummary->setText(QString::fromStdString(text));
}

void DlgDatum::accept() {
  const int typ = ui_->radioRelative->isChecked() ? 1 : 0;
  if (typ == 0 && from_.valid() && to_.valid() && from_.serial() > to_.serial()) {
    box_.messageBox(MessageKind::Warning, dlgtext::kFromAfterTo);
    return;
  }
  SettingsFile settings(settingsPath_);
  std::string error;
  if (!settings.saveDateFilter(typ, from_, to_, TrimBlanks(ui_->editHours->text().toStdString()), &error)) {
    box_.messageBox(MessageKind::Error, error.empty() ? SettingsWriteFailedText(settingsPath_, 0) : error);
    return;  // nothing was changed; the user may correct or cancel
  }
  QDialog::accept();
}

}  // namespace kalvero
