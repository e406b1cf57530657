#include "ui/MainSheet.h"

#include <fmt/printf.h>

#include <QCloseEvent>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QShortcut>
#include <QStyle>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

#include "app/Application.h"
#include "ui/AltKeyGuard.h"
#include "ui/DialogTexts.h"
#include "ui/DlgZeitplan.h"
#include "ui/ImageList.h"
#include "ui/PageInfo.h"
#include "ui/PageProtokoll.h"
#include "ui/PageRuecksichern.h"
#include "ui/PageSichern.h"
#include "ui/DirReplacementFlow.h"
#include "ui/UiTexts.h"

namespace kalvero {

namespace t = ui_texts;

namespace {

// A page scrolls where the window is smaller than its content, so the window
// fits a laptop screen (1366 x 768) at 100 % and larger screens at 150 %.
QScrollArea* scrolling(QWidget* page) {
  auto* area = new QScrollArea;
  area->setObjectName(page->objectName() + QStringLiteral("Scroll"));
  area->setWidget(page);
  area->setWidgetResizable(true);
  area->setFrameShape(QFrame::NoFrame);
  area->setFocusPolicy(Qt::NoFocus);
  return area;
}

// Room the window frame and the desktop's panels take at most.
constexpr int kFrameWidth = 26;
constexpr int kFrameHeight = 68;

}  // namespace

MainSheet::MainSheet(Application& app, MessageBoxHost& box, QWidget* parent)
    : QWidget(parent), app_(app), box_(box) {
  initResources();
  AltKeyGuard::install(this);
  setObjectName(QStringLiteral("MainSheet"));
  setWindowTitle(QString::fromUtf8(t::kCaption));
  setWindowIcon(QIcon(QStringLiteral(":/kalvero/icons/kalvero.png")));
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(4, 4, 4, 4);
  tabs_ = new QTabWidget(this);
  tabs_->setObjectName(QStringLiteral("tabs"));
  tabs_->setAccessibleName(QString::fromUtf8(dlgtext::kPagesName));
  layout->addWidget(tabs_);

  // Every page exists from the start, so the log page takes lines before it was ever opened.
  sichern_ = new PageSichern(app_, box_, tabs_);
  ruecksichern_ = new PageRuecksichern(app_, box_, tabs_);
  info_ = new PageInfo(app_, box_, tabs_);
  protokoll_ = new PageProtokoll(app_, box_, tabs_);
  tabs_->addTab(sichern_, QString::fromUtf8(t::kTabSichern));  // its options scroll by themselves
  tabs_->addTab(scrolling(ruecksichern_), QString::fromUtf8(t::kTabRuecksichern));
  tabs_->addTab(scrolling(info_), QString::fromUtf8(t::kTabInformation));
  tabs_->addTab(protokoll_, QString::fromUtf8(t::kTabProtokoll));  // its list scrolls by itself

  // The "Parameter ..." entry of the system menu lives in the tab bar's corner, beside "Zeitplan ...".
  auto* corner = new QWidget(tabs_);
  auto* cornerLayout = new QHBoxLayout(corner);
  cornerLayout->setContentsMargins(0, 0, 0, 0);
  parameter_ = new QPushButton(QString::fromUtf8(t::kParameterButton), corner);
  parameter_->setObjectName(QStringLiteral("btnParameter"));
  schedule_ = new QPushButton(QString::fromUtf8(dlgtext::kScheduleButton), corner);
  schedule_->setObjectName(QStringLiteral("btnZeitplan"));
  cornerLayout->addWidget(parameter_);
  cornerLayout->addWidget(schedule_);
  tabs_->setCornerWidget(corner, Qt::TopRightCorner);
  connect(schedule_, &QPushButton::clicked, this, [this] { openScheduleDialog(this, app_, box_); });
  connect(parameter_, &QPushButton::clicked, this,
          [this] { openParameterSheet(this, sichern_, ruecksichern_, app_, box_); });

  connect(sichern_, &PageSichern::logLine, protokoll_, &PageProtokoll::appendLine);
  connect(sichern_, &PageSichern::logCleared, protokoll_, &PageProtokoll::clearLog);
  connect(ruecksichern_, &PageRuecksichern::logLine, protokoll_, &PageProtokoll::appendLine);
  connect(ruecksichern_, &PageRuecksichern::logCleared, protokoll_, &PageProtokoll::clearLog);
  connect(sichern_, &PageSichern::runStarted, this, &MainSheet::updateParameterButton);
  connect(ruecksichern_, &PageRuecksichern::runStarted, this, &MainSheet::updateParameterButton);
  connect(sichern_, &PageSichern::runFinished, this, &MainSheet::runEnded);
  connect(sichern_, &PageSichern::runFinished, protokoll_,
          [this] { protokoll_->showAlarm(!sichern_->lastRunClean()); });
  connect(ruecksichern_, &PageRuecksichern::runFinished, this, &MainSheet::runEnded);

  auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
  escape->setContext(Qt::WindowShortcut);
  connect(escape, &QShortcut::activated, this, &QWidget::close);
}

MainSheet::~MainSheet() = default;

void MainSheet::updateParameterButton() {
  // The replacement rewrites settings that a running backup re-reads before each pair.
  parameter_->setEnabled(sichern_->isIdle() && ruecksichern_->isIdle());
  schedule_->setEnabled(parameter_->isEnabled());
}

void MainSheet::runEnded() {
  updateParameterButton();
  if (closePending_ && sichern_->isIdle() && ruecksichern_->isIdle()) close();
}

void MainSheet::closeEvent(QCloseEvent* event) {
  if (sichern_->isIdle() && ruecksichern_->isIdle()) {
    // What the user changed is not dropped in silence.
    if (mayClose())
      event->accept();
    else
      event->ignore();
    return;
  }
  // A running backup is broken off only when the user says so (default "Nein").
  if (!closePending_ && !sichern_->isIdle() && box_.messageBox(MessageKind::YesNo, t::kQuitDuringRun) != MB_RESULT_YES) {
    event->ignore();
    return;
  }
  if (sichern_->isIdle() && ruecksichern_->isIdle()) {  // ended while the question was open
    event->accept();
    return;
  }
  // Cancel as "Abbrechen" does; the window closes once the workers have ended.
  closePending_ = true;
  if (!sichern_->isIdle()) sichern_->requestCancel();
  if (!ruecksichern_->isIdle()) ruecksichern_->closeOrCancel();
  event->ignore();
}

// One question for both pages' options; "Ja" saves each page that changed.
bool MainSheet::mayClose() {
  const bool backup = sichern_->hasUnsavedChanges();
  const bool restore = ruecksichern_->hasUnsavedChanges();
  if (!backup && !restore) return true;
  switch (box_.messageBox(MessageKind::YesNoCancel, t::kSaveBeforeClose)) {
    case MB_RESULT_YES: break;
    case MB_RESULT_NO: return true;
    default: return false;
  }
  // A refused save keeps the window open on the page that said why.
  if (backup && !sichern_->saveSettings()) {
    tabs_->setCurrentWidget(sichern_);
    return false;
  }
  if (restore && !ruecksichern_->saveSettings()) {
    tabs_->setCurrentIndex(1);  // "Rücksichern", inside its scroll area
    return false;
  }
  return true;
}

void MainSheet::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  if (event->type() == QEvent::WindowStateChange && !isMinimized())
    setWindowTitle(QString::fromUtf8(t::kCaption));
}

void MainSheet::keyPressEvent(QKeyEvent* event) {
  // Enter neither closes the window nor starts a run.
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    event->accept();
    return;
  }
  QWidget::keyPressEvent(event);
}

QSize MainSheet::firstSize() const {
  // A scroll area's own size hint is small: the pages' hints say what they need.
  QSize content;
  for (QWidget* page : {static_cast<QWidget*>(sichern_), static_cast<QWidget*>(ruecksichern_),
                        static_cast<QWidget*>(info_), static_cast<QWidget*>(protokoll_)})
    content = content.expandedTo(page->sizeHint());
  const QMargins m = layout()->contentsMargins();
  const int frame = 2 * tabs_->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, tabs_) + 2;
  return QSize(content.width() + m.left() + m.right() + frame,
               content.height() + m.top() + m.bottom() + frame + tabs_->tabBar()->sizeHint().height());
}

void MainSheet::fitToScreen() {
  const QScreen* s = screen();
  if (!s) return;
  const QRect room = s->availableGeometry();
  const QSize wanted = firstSize();
  resize(std::min(wanted.width(), room.width() - kFrameWidth), std::min(wanted.height(), room.height() - kFrameHeight));
}

void MainSheet::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (shownOnce_) return;
  shownOnce_ = true;
  if (!testAttribute(Qt::WA_Resized)) fitToScreen();
  QTimer::singleShot(0, this, [this] {
    showLoadWarnings();
    sichern_->startBatchCountdown();
  });
}

void MainSheet::showLoadWarnings() {
  const QStringList& warnings = sichern_->loadWarnings();
  if (warnings.isEmpty()) return;
  // Not waiting for an answer: an unattended batch start must go on.
  auto* box = new QMessageBox(QMessageBox::Warning, QString::fromUtf8(t::kCaption),
                              QString::fromStdString(fmt::sprintf(t::kIncompleteEntries,
                                                                  warnings.join(QLatin1Char('\n')).toStdString())),
                              QMessageBox::Ok, this);
  box->setObjectName(QStringLiteral("loadWarnings"));
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->setModal(false);
  box->show();
}

}  // namespace kalvero
