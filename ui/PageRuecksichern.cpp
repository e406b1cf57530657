#include "ui/PageRuecksichern.h"

#include <QApplication>
#include <QCheckBox>
#include <QFileDialog>
#include <QStyle>
#include <fmt/printf.h>

#include "app/Application.h"
#include "app/SettingsFile.h"
#include "platform/PathUtil.h"
#include "restore/RestoreRun.h"
#include "restore/RestoreStart.h"
#include "restore/RestoreTexts.h"
#include "ui/DesktopOpener.h"
#include "ui/DialogTexts.h"
#include "ui/DlgVersionen.h"
#include "ui/ElidedText.h"
#include "ui/JobListDialogs.h"
#include "ui/PathInput.h"
#include "ui/PageTexts.h"
#include "ui/QtRunReporter.h"
#include "ui/RunWorker.h"
#include "ui/ToolTip.h"
#include "ui/UiTexts.h"
#include "ui/VersionenTexts.h"
#include "ui_PageRuecksichern.h"

namespace kalvero {

namespace {

QString q(const std::string& s) { return QString::fromStdString(s); }
std::string s(const QString& q) { return q.toStdString(); }

int percentOf(const ProgressInfo& info) {
  if (info.filesInPair < 1) return 0;
  return static_cast<int>(static_cast<long long>(info.filesDone) * 100 / info.filesInPair);
}

QString percentText(int percent) { return q(fmt::sprintf(ui_texts::kPercentText, percent)); }

}  // namespace

PageRuecksichern::PageRuecksichern(Application& app, MessageBoxHost& box, QWidget* parent)
    : QWidget(parent), app_(app), box_(box), ui_(std::make_unique<Ui::PageRuecksichern>()) {
  ui_->setupUi(this);
  worker_ = std::make_unique<RunWorker>(QStringLiteral("RestoreRun"));
  connect(worker_.get(), &RunWorker::failed, this, &PageRuecksichern::logLine);
  connect(worker_.get(), &RunWorker::finished, this, &PageRuecksichern::returnToIdle);
  ui_->labelSrc->setBuddy(ui_->editPathSrc);
  ui_->labelDst->setBuddy(ui_->editPathDst);
  ui_->labelLogName->setBuddy(ui_->editProtokolldatei);
  ui_->btnBrowseSrc->setAccessibleName(ui_texts::kTipBrowseSrc);
  ui_->btnBrowseDst->setAccessibleName(ui_texts::kTipBrowseDst);
  ui_->btnBrowseLog->setAccessibleName(ui_texts::kTipBrowseLog);
  // Named like the backup page's icon; its tool tip is the description.
  ui_->iconInfo->setAccessibleName(QString::fromUtf8(dlgtext::kInfoIconName));
  setWindowTitle(ui_texts::kRestoreTitle);
  ui_->iconInfo->setIcon(style()->standardIcon(QStyle::SP_MessageBoxInformation));
  ui_->progressOverall->setRange(0, 1);
  ui_->progressEntry->setRange(0, 1);
  ui_->btnStart->setDefault(false);
  ui_->btnStart->setAutoDefault(false);

  connect(ui_->btnBrowseSrc, &QPushButton::clicked, this, &PageRuecksichern::browseSource);
  connect(ui_->btnBrowseDst, &QPushButton::clicked, this, &PageRuecksichern::browseDestination);
  connect(ui_->btnBrowseLog, &QPushButton::clicked, this, &PageRuecksichern::browseLogFile);
  connect(ui_->btnShowLog, &QPushButton::clicked, this, &PageRuecksichern::showLogFile);
  connect(ui_->btnStart, &QPushButton::clicked, this, &PageRuecksichern::startRestore);
  connect(ui_->btnVersions, &QPushButton::clicked, this, &PageRuecksichern::openVersions);
  connect(ui_->btnSave, &QPushButton::clicked, this, [this] { saveSettings(); });
  connect(ui_->btnClose, &QPushButton::clicked, this, &PageRuecksichern::closeOrCancel);
  connect(ui_->iconInfo, &QToolButton::clicked, this, [this] { openInfoDialog(window(), app_); });
  connect(ui_->chkTooltip, &QCheckBox::toggled, this, [this](bool on) {
    options_.Tooltip = on ? 1 : 0;
    applyTooltips();
  });
  // Leaving the log file field re-evaluates "Protokolldatei anzeigen".
  connect(ui_->editProtokolldatei, &QLineEdit::editingFinished, this, [this] {
    takeInput();
    refreshShowLogButton();
  });

  options_ = LoadRestoreInput(app_.settingsPath());
  setErrorColour(0);
  for (QLabel* l : {ui_->textAction, ui_->textHint, ui_->textOverallPercent, ui_->textEntryPercent, ui_->textErrors,
                    ui_->textCount})
    l->clear();
  ui_->textAction->setStyleSheet(QStringLiteral("color: rgb(0, 0, 128); background: transparent;"));
  ui_->textCount->setStyleSheet(QStringLiteral("color: rgb(0, 0, 128); background: transparent;"));
  ui_->btnClose->setText(QString::fromUtf8(ui_texts::kWindowCloseKey));
  ui_->btnVersions->setText(QString::fromUtf8(versionen_text::kButton));
  showOptions();
}

// The worker goes first (it is the last member): it stops a run still going.
PageRuecksichern::~PageRuecksichern() = default;

void PageRuecksichern::showOptions() {
  ui_->editPathSrc->setText(q(options_.PathSrc));
  ui_->editPathDst->setText(q(options_.PathDst));
  ui_->editProtokolldatei->setText(q(options_.Protokolldatei));
  ui_->chkSubVerz->setChecked(options_.SubVerz != 0);
  ui_->chkSymbol->setChecked(options_.Symbol != 0);
  ui_->chkOnlyByKalvero->setChecked(options_.OnlyByKalvero != 0);
  {
    const QSignalBlocker block(ui_->chkTooltip);
    ui_->chkTooltip->setChecked(options_.Tooltip != 0);
  }
  refreshShowLogButton();
  applyTooltips();
  savedState_ = fieldState();
}

QString PageRuecksichern::fieldState() const {
  QString state;
  for (const QLineEdit* edit : {ui_->editPathSrc, ui_->editPathDst, ui_->editProtokolldatei})
    state += edit->text() + QLatin1Char('\n');
  for (const QCheckBox* box : {ui_->chkSubVerz, ui_->chkSymbol, ui_->chkOnlyByKalvero, ui_->chkTooltip})
    state += box->isChecked() ? QLatin1Char('1') : QLatin1Char('0');
  return state;
}

bool PageRuecksichern::hasUnsavedChanges() const { return fieldState() != savedState_; }

bool PageRuecksichern::takeInput() {
  // "~/..." is the home directory; a relative path means nothing the user could know here.
  for (QLineEdit* edit : {ui_->editPathSrc, ui_->editPathDst, ui_->editProtokolldatei}) {
    const TypedPath typed = typedPath(edit->text());
    if (!typed.ok()) {
      box_.messageBox(MessageKind::Warning, typed.refusal.toStdString());
      edit->setFocus(Qt::OtherFocusReason);
      return false;
    }
    if (typed.path != edit->text()) edit->setText(typed.path);
  }
  options_.PathSrc = s(ui_->editPathSrc->text());
  options_.PathDst = s(ui_->editPathDst->text());
  options_.Protokolldatei = s(ui_->editProtokolldatei->text());
  options_.SubVerz = ui_->chkSubVerz->isChecked() ? 1 : 0;
  options_.Symbol = ui_->chkSymbol->isChecked() ? 1 : 0;
  options_.Tooltip = ui_->chkTooltip->isChecked() ? 1 : 0;
  options_.OnlyByKalvero = ui_->chkOnlyByKalvero->isChecked() ? 1 : 0;
  return true;
}

void PageRuecksichern::reloadFromSettings() {
  options_ = LoadRestoreInput(app_.settingsPath());
  showOptions();
}

void PageRuecksichern::applyTooltips() {
  const bool on = options_.Tooltip != 0;
  auto tip = [on](QWidget* w, const QString& text) { setWrappedToolTip(w, text, on); };
  tip(ui_->editPathSrc, ui_texts::kTipPathSrc);
  tip(ui_->editPathDst, ui_texts::kTipPathDst);
  tip(ui_->chkSubVerz, ui_texts::kTipSubVerz);
  tip(ui_->btnBrowseSrc, ui_texts::kTipBrowseSrc);
  tip(ui_->btnBrowseDst, ui_texts::kTipBrowseDst);
  tip(ui_->chkOnlyByKalvero, ui_texts::kTipOnlyByKalvero);
  tip(ui_->editProtokolldatei, ui_texts::kTipLogFile);
  tip(ui_->btnSave, ui_texts::kTipSave);
  tip(ui_->btnBrowseLog, ui_texts::kTipBrowseLog);
  tip(ui_->btnStart, ui_texts::kTipStart);
  tip(ui_->btnVersions, QString::fromUtf8(versionen_text::kButtonTip));
  tip(ui_->btnShowLog, ui_texts::kTipShowLog);
  tip(ui_->chkSymbol, ui_texts::kTipSymbol);
  tip(ui_->iconInfo, ui_texts::kTipInfo);
  tip(ui_->chkTooltip, ui_texts::kTipTooltip);
}

void PageRuecksichern::refreshShowLogButton() {
  ui_->btnShowLog->setEnabled(!options_.Protokolldatei.empty() && GetPathKind(options_.Protokolldatei) == PathKind::File);
}

void PageRuecksichern::setErrorColour(int state) {
  static const char* colours[] = {"rgb(0, 0, 0)", "rgb(128, 0, 0)", "rgb(0, 128, 0)"};
  ui_->textErrors->setStyleSheet(QStringLiteral("color: %1; background: transparent;").arg(colours[state]));
}

void PageRuecksichern::refuse(const RestoreStart& start) {
  box_.messageBox(start.kind, start.text);
  QLineEdit* field = start.field == RestoreStart::Field::Source        ? ui_->editPathSrc
                     : start.field == RestoreStart::Field::Destination ? ui_->editPathDst
                     : start.field == RestoreStart::Field::LogFile     ? ui_->editProtokolldatei
                                                                       : nullptr;
  if (!field) return;
  field->setFocus(Qt::OtherFocusReason);
  field->selectAll();
}

bool PageRuecksichern::saveSettings() {
  if (!takeInput()) return false;
  options_ = WithDefaultRestoreLog(options_);
  ui_->editProtokolldatei->setText(q(options_.Protokolldatei));
  const RestoreValidation check = CheckRestoreStart(options_, false);
  if (!check.ok()) {
    RestoreStart refusal;
    refusal.field = check.field == RestoreValidation::Source ? RestoreStart::Field::Source : RestoreStart::Field::LogFile;
    refusal.text = check.text;
    refuse(refusal);
    return false;
  }
  std::string error;
  if (!SettingsFile(app_.settingsPath()).saveRestoreOptions(options_, &error)) {
    box_.messageBox(MessageKind::Error, error);
    return false;
  }
  savedState_ = fieldState();
  return true;
}

void PageRuecksichern::startRestore() {
  if (!isIdle()) return;  // one restore at a time
  if (!takeInput()) return;
  RunSink sink;
  sink.progress = [this](int code, const ProgressInfo& info) { handleProgress(code, info); };
  sink.clearLog = [this] { emit logCleared(); };
  sink.logLine = [this](const QString& line) { emit logLine(line); };
  auto reporter = std::make_unique<QtRunReporter>(worker_->channel(), std::move(sink));
  RestoreStartInput input;
  input.options = options_;
  input.settingsPath = app_.settingsPath();
  input.cancel = &cancel_;
  input.reporter = reporter.get();
  RestoreStart start = StartRestore(std::move(input));
  if (!start.ok()) {
    refuse(start);
    return;
  }
  // An empty log file field stood for the default log: it shows the one written.
  options_ = start.options;
  ui_->editProtokolldatei->setText(q(options_.Protokolldatei));
  savedState_ = fieldState();  // the start saved them
  ui_->btnSave->setEnabled(false);
  ui_->btnStart->setEnabled(false);
  ui_->btnVersions->setEnabled(false);
  ui_->btnClose->setText(QString::fromUtf8(ui_texts::kCancelKey));
  idle_.store(0);
  cancel_.store(0);
  refreshShowLogButton();

  reporter_ = std::move(reporter);
  run_ = std::move(start.run);
  RestoreRun* run = run_.get();
  const bool started = worker_->start([run] { run->run(); }, &cancel_);
  emit runStarted();
  if (started && options_.Symbol != 0) window()->showMinimized();
}

void PageRuecksichern::returnToIdle() {
  if (isIdle()) return;
  // The end of the run says how many files of the target were kept beside their restored copy.
  const int kept = run_ ? run_->totals().keptVersions : 0;
  if (kept > 0) setElidedText(ui_->textHint, q(fmt::sprintf(restore_text::kKeptCount, kept)));
  run_.reset();
  reporter_.reset();
  ui_->btnSave->setEnabled(true);
  ui_->btnStart->setEnabled(true);
  ui_->btnVersions->setEnabled(true);
  ui_->btnClose->setText(QString::fromUtf8(ui_texts::kWindowCloseKey));
  idle_.store(1);
  cancel_.store(0);
  refreshShowLogButton();
  emit runFinished();
}

void PageRuecksichern::closeOrCancel() {
  if (isIdle())
    window()->close();
  else
    cancel_.store(1);
}

void PageRuecksichern::handleProgress(int code, const ProgressInfo& info) {
  const int percent = percentOf(info);
  const QString count = q(fmt::sprintf(ui_texts::kCountText, info.filesDone, info.filesInPair));
  auto overall = [&] {
    ui_->textCount->setText(count);
    ui_->progressOverall->setValue(std::min(info.filesDone, ui_->progressOverall->maximum()));
    ui_->textOverallPercent->setText(percentText(percent));
    if (window()->isMinimized()) window()->setWindowTitle(percentText(percent));
  };
  switch (code) {
    case NOTIFY_FILES_FOUND:
      setElidedText(ui_->textHint, q(fmt::sprintf(ui_texts::kFilesToCopy, info.filesInPair)));
      ui_->textCount->setText(count);
      ui_->progressOverall->setRange(0, std::max(info.filesInPair, 1));
      ui_->progressOverall->setValue(std::min(info.filesDone, std::max(info.filesInPair, 1)));
      break;
    case NOTIFY_SEARCHING:
      ui_->textAction->setText(ui_texts::kSearching);
      break;
    case NOTIFY_FINISHED:
      ui_->textAction->setText(ui_texts::kRestoreFinished);
      setElidedText(ui_->textHint, QString());
      overall();
      break;
    case NOTIFY_LOG_OPENED:
      refreshShowLogButton();
      return;
    case NOTIFY_UNPACKING:
      ui_->textAction->setText(ui_texts::kUnpacking);
      setElidedText(ui_->textHint, q(info.currentSource));
      overall();
      break;
    case NOTIFY_FILE_START: {
      // KByte keeps the range inside an int for entries up to 2 TB.
      const auto kb = static_cast<int>(std::min<std::uint64_t>(info.fileSize / 1024, INT32_MAX));
      ui_->progressEntry->setRange(0, std::max(kb, 1));
      ui_->progressEntry->setValue(static_cast<int>(std::min<std::uint64_t>(info.fileDone / 1024, INT32_MAX)));
      ui_->textEntryPercent->setText(percentText(0));
      break;
    }
    case NOTIFY_FILE_STEP: {
      const auto done = static_cast<int>(std::min<std::uint64_t>(info.fileDone / 1024, INT32_MAX));
      ui_->progressEntry->setValue(std::min(done, ui_->progressEntry->maximum()));
      const int entryPercent = info.fileSize > 0 ? static_cast<int>(info.fileDone * 100 / info.fileSize) : 0;
      ui_->textEntryPercent->setText(percentText(entryPercent));
      break;
    }
    default:
      break;
  }
  setErrorColour(info.pairErrors != 0 ? 1 : 2);
  ui_->textErrors->setText(q(fmt::sprintf(ui_texts::kErrorsText, info.pairErrors)));
}

void PageRuecksichern::browseSource() {
  const QString chosen = browseForFolder(window(), ui_texts::kBrowseSourceTitle, ui_->editPathSrc->text());
  ui_->editPathSrc->setText(chosen);
}

void PageRuecksichern::browseDestination() {
  const QString chosen = browseForFolder(window(), ui_texts::kBrowseDestinationTitle, ui_->editPathDst->text());
  ui_->editPathDst->setText(chosen);
}

void PageRuecksichern::browseLogFile() {
  takeInput();
  // An open dialog that also takes a name that does not exist yet.
  QFileDialog dialog(window(), QString(), q(options_.Protokolldatei));
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::AnyFile);
  if (!options_.Protokolldatei.empty()) dialog.selectFile(q(options_.Protokolldatei));
  if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) {
    options_.Protokolldatei = s(dialog.selectedFiles().first());
  }
  ui_->editProtokolldatei->setText(q(options_.Protokolldatei));
  refreshShowLogButton();
}

void PageRuecksichern::showLogFile() {
  takeInput();
  openWithDesktop(q(options_.Protokolldatei));
}

void PageRuecksichern::openVersions() {
  const JobList jobs = SettingsFile(app_.settingsPath()).loadJobList();
  QString start;
  for (const DirPair& pair : jobs)
    if (pair.active && start.isEmpty()) start = q(pair.source);
  const QString chosen = DlgVersionen::askPath(window(), start);
  if (chosen.isEmpty()) return;
  std::string why;
  VersionList list = FindVersions(jobs, s(chosen), &why);
  if (list.versions.empty()) {
    box_.messageBox(MessageKind::Information, why);
    return;
  }
  DlgVersionen dialog(std::move(list), window());
  dialog.exec();
}

}  // namespace kalvero
