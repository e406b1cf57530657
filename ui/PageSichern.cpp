#include "ui/PageSichern.h"

#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/Application.h"
#include "app/SettingsFile.h"
#include "backup/BackupRun.h"
#include "backup/BackupStart.h"
#include "backup/DirectoryCheck.h"
#include "backup/Shutdown.h"
#include "ui/BackupOptionsForm.h"
#include "ui/BatchNotification.h"
#include "ui/BatchWarning.h"
#include "ui/EndOfRunSound.h"
#include "ui/FittingScrollArea.h"
#include "ui/ImageList.h"
#include "ui/JobListDialogs.h"
#include "ui/JobListTable.h"
#include "ui/LastBackup.h"
#include "ui/PowerControlSeam.h"
#include "ui/QtRunReporter.h"
#include "ui/RunOutcome.h"
#include "ui/RunProgressPanel.h"
#include "ui/RunWorker.h"
#include "ui/UiTexts.h"
#include "ui/ui_PageSichern.h"

namespace kalvero {

namespace t = ui_texts;

namespace {

QString text(const char* plain) { return QString::fromUtf8(plain); }

}  // namespace

PageSichern::PageSichern(Application& app, MessageBoxHost& box, QWidget* parent)
    : QWidget(parent), app_(app), box_(box), ui_(std::make_unique<Ui::PageSichern>()) {
  initResources();
  ui_->setupUi(this);
  scrollTheMiddle();
  worker_ = std::make_unique<RunWorker>(QStringLiteral("BackupRun"));
  connect(worker_.get(), &RunWorker::failed, this, &PageSichern::logLine);
  connect(worker_.get(), &RunWorker::finished, this, &PageSichern::runEnded);
  // The lines that tell of a pair left out are said again on this page at the end.
  connect(this, &PageSichern::logLine, this, [this](const QString& line) { leftOut_->take(line); });
  table_ = new JobListTable(ui_->listJobs, box_, this);
  form_ = new BackupOptionsForm(*ui_, app_, box_, this);
  progress_ = std::make_unique<RunProgressPanel>(*ui_, this);
  ui_->btnInfo->setIcon(QIcon(QStringLiteral(":/kalvero/icons/kalvero.png")));
  // Its own text says nothing to a screen reader.
  ui_->btnInfo->setAccessibleName(text(t::kAccInfoIcon));
  leftOut_ = std::make_unique<LeftOutLines>();
  connectControls();
  loadSettings();
  ui_->btnClose->setText(text(t::kWindowCloseKey));
  pageBatchMode_ = app_.batchMode();
}

// On a small screen or with large text the job list with its buttons and the
// run buttons stay in view; the options and the progress scroll between them.
void PageSichern::scrollTheMiddle() {
  auto* middle = new QWidget;
  middle->setObjectName(QStringLiteral("middleSichern"));
  auto* layout = new QVBoxLayout(middle);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);  // the group box's frame already sets the progress apart
  QVBoxLayout* page = ui_->layoutPage;
  const int at = page->indexOf(ui_->layoutOptions);
  page->removeItem(ui_->layoutOptions);
  page->removeWidget(ui_->groupProgress);
  layout->addLayout(ui_->layoutOptions);
  layout->addWidget(ui_->groupProgress);
  auto* area = new FittingScrollArea(middle, this);
  // Room to spare goes to the job list; the options take what they need.
  area->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
  page->insertWidget(at, area);
  middle_ = area;
}

void PageSichern::bringOutcomeIntoView() {
  // The lines below the counters were just shown: laid out first, then scrolled to.
  ui_->groupProgress->layout()->activate();
  middle_->widget()->layout()->activate();
  QTimer::singleShot(0, this, [this] {
    middle_->ensureWidgetVisible(ui_->lblAction, 0, 0);
    if (ui_->lblNotBackedUp->isVisible()) middle_->ensureWidgetVisible(ui_->lblNotBackedUp, 0, 0);
  });
}

// The worker goes first (it is the last member): it stops a run still going.
PageSichern::~PageSichern() = default;

// ---- job list -------------------------------------------------------------

const JobList& PageSichern::jobList() const { return table_->jobs(); }
int PageSichern::currentRow() const { return table_->currentRow(); }
void PageSichern::addPair(const DirPair& pair) { table_->addPair(pair); }
void PageSichern::replacePair(int row, const DirPair& pair) { table_->replacePair(row, pair); }
void PageSichern::setJobList(const JobList& jobs) { table_->setJobList(jobs); }
void PageSichern::setThinning(const BackupOptions& options) {
  BackupOptions o = form_->take();
  o.AusduennenTage = options.AusduennenTage;
  o.AusduennenWochen = options.AusduennenWochen;
  o.AusduennenMonate = options.AusduennenMonate;
  form_->show(o);
}
// During a run the focus stays where the user put it (on "Abbrechen", say).
void PageSichern::selectPair(int row) { table_->selectPair(row, isIdle()); }

// ---- options and controls -----------------------------------------------

const BackupOptions& PageSichern::options() const { return form_->options(); }
const DateFilter& PageSichern::dateFilter() const { return form_->dateFilter(); }
void PageSichern::rebuildDateLabel() { form_->rebuildDateLabel(); }

void PageSichern::connectControls() {
  Ui::PageSichern& u = *ui_;
  connect(table_, &JobListTable::selectionChanged, this, &PageSichern::selectionChanged);
  connect(table_, &JobListTable::jobListReplaced, this, &PageSichern::jobListReplaced);
  connect(table_, &JobListTable::pairsChanged, this, [this](bool selected) { notifyPairEditor(this, selected); });
  connect(u.listJobs, &QTableWidget::cellDoubleClicked, this, [this] {
    if (isIdle()) openPairEditor(this);
  });
  connect(u.listJobs, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
    if (isIdle()) table_->popupMenu(pos);  // the running backup keeps its rows
  });
  connect(u.btnLoeschen, &QPushButton::clicked, this, [this] { table_->deleteSelected(true); });
  connect(u.btnNeuAendern, &QPushButton::clicked, this, [this] { openPairEditor(this); });
  connect(u.btnPruefen, &QPushButton::clicked, this, [this] {
    const DirectoryCheckResult r = CheckDirectories(table_->jobs());
    box_.messageBox(r.anythingMissing ? MessageKind::Error : MessageKind::Information, r.text);
  });
  connect(u.btnErweitert, &QPushButton::clicked, this, [this] { openExtendedView(this); });
  connect(u.btnInfo, &QToolButton::clicked, this, [this] { openInfoDialog(this, app_); });
  connect(u.btnStart, &QPushButton::clicked, this, &PageSichern::startBackup);
  connect(u.btnSave, &QPushButton::clicked, this, &PageSichern::saveSettings);
  connect(u.btnClose, &QPushButton::clicked, this, [this] {
    if (isIdle())
      window()->close();
    else
      requestCancel();
  });
}

void PageSichern::loadSettings() {
  SettingsFile settings(app_.settingsPath());
  const BackupOptions options = settings.loadBackupOptions();
  std::vector<std::string> warnings;
  const JobList jobs = settings.loadJobList(&warnings);
  loadWarnings_.clear();
  for (const auto& w : warnings) loadWarnings_ << QString::fromStdString(w);
  table_->setJobList(jobs);
  form_->show(options);
  rememberSavedState();
  showLastBackup();
}

void PageSichern::showLastBackup() {
  ui_->lblLastBackup->setText(LastBackupText(form_->options().Protokolldatei));
}

QString PageSichern::currentState() const {
  QString state = form_->controlState();
  const BackupOptions& o = form_->options();
  state += QStringLiteral("thin=%1,%2,%3\n").arg(o.AusduennenTage).arg(o.AusduennenWochen).arg(o.AusduennenMonate);
  for (const DirPair& p : table_->jobs()) {
    state += QString::fromStdString(p.source + '|' + p.destination);
    state += QStringLiteral("|%1|%2").arg(p.active).arg(p.withSubdirs);
    for (const ExcludedDir& e : p.excluded)
      state += QStringLiteral("|%1:").arg(e.withSubdirs) + QString::fromStdString(e.directory);
    state += '\n';
  }
  return state;
}

bool PageSichern::hasUnsavedChanges() const { return currentState() != savedState_; }

bool PageSichern::mayClose() {
  if (!hasUnsavedChanges()) return true;
  switch (box_.messageBox(MessageKind::YesNoCancel, t::kSaveBeforeClose)) {
    case MB_RESULT_YES: return saveSettings();  // a refused save keeps the window and says why
    case MB_RESULT_NO: return true;
    default: return false;
  }
}

void PageSichern::reloadFromSettings() { loadSettings(); }

bool PageSichern::checkLogDirectory() {
  const std::string refusal = LogDirectoryRefusal(form_->options().Protokolldatei);
  if (refusal.empty()) return true;
  box_.messageBox(MessageKind::Warning, refusal);
  ui_->editProtokolldatei->setFocus();
  return false;
}

bool PageSichern::saveSettings() {
  if (!isIdle()) return false;
  if (!form_->takeChecked()) return false;
  if (!checkLogDirectory()) return false;
  std::string error;
  if (!SettingsFile(app_.settingsPath()).saveBackupSettings(form_->options(), table_->jobs(), &error)) {
    box_.messageBox(MessageKind::Error, error);
    return false;
  }
  rememberSavedState();
  showLastBackup();  // the log file may be another one now
  return true;
}

// ---- the run --------------------------------------------------------------

void PageSichern::setRunningControls(bool running) {
  Ui::PageSichern& u = *ui_;
  u.btnSave->setEnabled(!running);
  u.btnStart->setEnabled(!running);
  // The list keeps its rows while a backup runs through them.
  u.btnLoeschen->setEnabled(!running);
  u.btnNeuAendern->setEnabled(!running);
  u.btnErweitert->setEnabled(!running);
  u.btnClose->setText(text(running ? t::kCancelKey : t::kWindowCloseKey));
}

void PageSichern::startBackup() {
  if (!isIdle()) return;
  if (!form_->takeChecked()) return;
  RunSink sink;
  sink.progress = [this](int code, const ProgressInfo& info) { showProgress(code, info); };
  sink.clearLog = [this] { emit logCleared(); };
  sink.logLine = [this](const QString& line) { emit logLine(line); };
  sink.selectPair = [this](int row) { selectPair(row); };
  sink.playEndSound = [this](std::function<void()> done) { playEndOfRunSound(this, std::move(done)); };
  reporter_ = std::make_unique<QtRunReporter>(worker_->channel(), std::move(sink));

  BackupStartInput input;
  input.settingsPath = app_.settingsPath();
  input.options = form_->options();
  input.jobs = table_->jobs();
  input.dateFilter = form_->dateFilter();
  input.dateLabel = ui_->chkDatum->text().toStdString();
  input.listFiles = app_.listFileNames();
  input.cancel = &cancel_;
  input.reporter = reporter_.get();
  BackupStart start = StartBackup(std::move(input));
  if (!start.ok()) {
    reporter_.reset();
    if (start.field == BackupStart::Field::Settings) {
      cancel_ = 0;
      form_->updateShowButtons();
    }
    box_.messageBox(start.kind, start.text);
    if (start.field == BackupStart::Field::LogFile) ui_->editProtokolldatei->setFocus();
    return;
  }
  rememberSavedState();  // the start has saved them
  setRunningControls(true);
  leftOut_->clear();
  progress_->clearOutcome();
  idle_ = 0;
  cancel_ = 0;
  form_->updateShowButtons();
  closeAfterRun_ = false;
  batchNotified_ = false;
  run_ = std::move(start.run);

  BackupRun* run = run_.get();
  const bool exitOn = form_->options().Exit != 0, closeOn = form_->options().Close != 0;
  const bool started = worker_->start(
      [this, run, exitOn, closeOn] {
        // The batch flag reads 0 while the run goes (no countdown starts meanwhile).
        const int batch = pageBatchMode_.exchange(0);
        try {
          run->run();
        } catch (...) {
          pageBatchMode_.store(batch);  // a run that threw leaves the page in its mode
          throw;
        }
        finishRun(batch, exitOn, closeOn);
      },
      &cancel_);
  emit runStarted();
  if (started && form_->options().Symbol) window()->showMinimized();
}

void PageSichern::finishRun(int batch, bool exitOn, bool closeOn) {
  // On the worker, after the end-of-run sound, in this order: the batch flag
  // back, the page idle, the shutdown step (only with "Exit" in batch mode),
  // closing with "Close" unless a shutdown was requested.
  pageBatchMode_.store(batch);
  worker_->channel().call([this] { returnToIdle(); });
  const bool shutdownRequested = exitOn && batch && runShutdownStep();
  if (!shutdownRequested && closeOn) closeAfterRun_ = true;
}

void PageSichern::returnToIdle() {
  setRunningControls(false);
  idle_ = 1;
  cancel_ = 0;
}

bool PageSichern::runShutdownStep() {
  // Runs on the worker; the boxes of its failures are shown on this page's thread.
  const BackupOptions options = SettingsFile(app_.settingsPath()).loadBackupOptions();
  // Told before the session goes: nobody watched this run.
  if (!batchNotified_.exchange(true)) sendBatchNotification(run_->totals(), options.Protokolldatei);
  auto power = makePowerControl();
  return ShutdownAfterBackup(options, pageBatchMode_, *power, [this](const std::string& message) {
    worker_->channel().call([this, &message] { box_.messageBox(MessageKind::Error, message); });
  });
}

void PageSichern::runEnded() {
  const bool ran = run_ != nullptr;
  const RunTotals totals = ran ? run_->totals() : RunTotals{};
  run_.reset();
  reporter_.reset();
  if (!isIdle()) returnToIdle();
  if (ran) {
    const RunOutcome outcome = OutcomeOf(totals, leftOut_->lines());
    lastRunClean_ = outcome.clean;
    progress_->showOutcome(outcome);
    bringOutcomeIntoView();
    showLastBackup();
  }
  emit runFinished();
  if (closeAfterRun_.exchange(false)) {
    // An unattended run that ends the program tells how it went.
    if (pageBatchMode_ && !batchNotified_.exchange(true)) sendBatchNotification(totals, form_->options().Protokolldatei);
    window()->close();
  }
}

// ---- progress display ---------------------------------------------------

int PageSichern::percentOf(std::uint64_t done, std::uint64_t total) { return RunProgressPanel::percentOf(done, total); }

void PageSichern::showProgress(int code, const ProgressInfo& info) {
  if (code == NOTIFY_LOG_OPENED) {
    form_->updateShowButtons();  // the log file exists now
    return;
  }
  progress_->show(code, info, cancel_ != 0);
}

// ---- batch mode -----------------------------------------------------------

void PageSichern::startBatchCountdown() {
  if (!pageBatchMode_) return;
  auto* warning = new BatchWarning(this);
  warning->setAttribute(Qt::WA_DeleteOnClose);
  connect(warning, &QDialog::finished, this, [this, warning] {
    if (warning->timedOut())
      QMetaObject::invokeMethod(this, &PageSichern::startBackup, Qt::QueuedConnection);
    else
      pageBatchMode_ = 0;
  });
  warning->open();
}

}  // namespace kalvero
