#include "ui/VerifyPanel.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <fmt/printf.h>

#include "app/Application.h"
#include "run/RunProgress.h"
#include "ui/QtRunReporter.h"
#include "ui/RunWorker.h"
#include "ui/TextColor.h"
#include "ui/VerifyPanelTexts.h"
#include "verify/VerifySummary.h"
#include "verify/VerifyTargets.h"

namespace kalvero {

namespace t = verify_panel_text;

namespace {
QString q(const std::string& s) { return QString::fromStdString(s); }
}  // namespace

VerifyPanel::VerifyPanel(Application& app, QWidget* parent)
    : QGroupBox(QString::fromUtf8(t::kGroupTitle), parent), app_(app) {
  setObjectName(QStringLiteral("groupVerify"));
  auto* layout = new QVBoxLayout(this);
  auto* intro = new QLabel(QString::fromUtf8(t::kIntro), this);
  intro->setWordWrap(true);
  layout->addWidget(intro);
  auto* row = new QHBoxLayout;
  start_ = new QPushButton(QString::fromUtf8(t::kStartButton), this);
  start_->setObjectName(QStringLiteral("btnVerify"));
  cancel_ = new QPushButton(QString::fromUtf8(t::kCancelButton), this);
  cancel_->setObjectName(QStringLiteral("btnVerifyCancel"));
  bar_ = new QProgressBar(this);
  bar_->setObjectName(QStringLiteral("barVerify"));
  bar_->setRange(0, 100);
  bar_->setAccessibleName(QString::fromUtf8(t::kProgressName));
  // The buttons keep their size; the bar takes the rest while a check runs.
  start_->setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Fixed);
  cancel_->setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Fixed);
  row->addWidget(start_);
  row->addWidget(cancel_);
  row->addWidget(bar_, 1);
  row->addStretch();
  layout->addLayout(row);
  status_ = new QLabel(this);
  status_->setObjectName(QStringLiteral("textVerifyStatus"));
  verdict_ = new QLabel(this);
  verdict_->setObjectName(QStringLiteral("textVerifyVerdict"));
  verdict_->setWordWrap(true);
  QFont bold = verdict_->font();
  bold.setBold(true);
  verdict_->setFont(bold);
  findings_ = new QPlainTextEdit(this);
  findings_->setObjectName(QStringLiteral("listVerifyFindings"));
  findings_->setReadOnly(true);
  findings_->setAccessibleName(QString::fromUtf8(t::kResultName));
  findings_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  findings_->setMinimumHeight(fontMetrics().height() * 6);
  layout->addWidget(status_);
  layout->addWidget(verdict_);
  layout->addWidget(findings_);
  findings_->hide();

  worker_ = std::make_unique<RunWorker>(QStringLiteral("VerifyRun"));
  connect(worker_.get(), &RunWorker::finished, this, &VerifyPanel::showResult);
  connect(worker_.get(), &RunWorker::failed, this, [this](const QString& line) { status_->setText(line.trimmed()); });
  connect(start_, &QPushButton::clicked, this, &VerifyPanel::startCheck);
  connect(cancel_, &QPushButton::clicked, this, [this] { cancelFlag_.store(1); });
  setRunning(false);
}

// A check still going is cancelled and waited for before the totals it writes go.
VerifyPanel::~VerifyPanel() {
  cancelFlag_.store(1);
  worker_.reset();
}

bool VerifyPanel::running() const { return worker_->running(); }

void VerifyPanel::setRunning(bool running) {
  start_->setEnabled(!running);
  cancel_->setEnabled(running);
  bar_->setVisible(running);
}

void VerifyPanel::startCheck() {
  if (running()) return;
  input_ = VerifyInput{};
  input_.targets = TargetsOfSettings(app_.settingsPath());
  findings_->clear();
  findings_->hide();
  setTextColor(verdict_, palette().color(QPalette::WindowText));
  if (input_.targets.empty()) {
    verdict_->setText(QString::fromUtf8(t::kNoActivePair));
    return;
  }
  RunSink sink;
  sink.progress = [this](int code, const ProgressInfo& info) { showProgress(code, info); };
  sink.clearLog = [] {};
  sink.logLine = [](const QString&) {};  // the findings are shown together at the end
  reporter_ = std::make_unique<QtRunReporter>(worker_->channel(), std::move(sink));
  input_.cancel = &cancelFlag_;
  input_.reporter = reporter_.get();
  cancelFlag_.store(0);
  totals_ = VerifyTotals{};
  verdict_->clear();
  status_->clear();
  bar_->setValue(0);
  setRunning(true);
  worker_->start([this] { totals_ = RunVerify(input_); }, &cancelFlag_);
}

void VerifyPanel::showProgress(int code, const ProgressInfo& info) {
  const std::string folder = info.currentSource;
  if (code == NOTIFY_SEARCHING) {
    status_->setText(q(fmt::sprintf(t::kSearching, folder)));
    return;
  }
  status_->setText(q(fmt::sprintf(t::kProgress, folder, info.filesDone, info.filesInPair)));
  const int percent = info.pairBytes ? static_cast<int>(info.pairBytesDone * 100 / info.pairBytes) : 100;
  bar_->setValue(std::min(percent, 100));
}

void VerifyPanel::showResult() {
  reporter_.reset();
  setRunning(false);
  status_->clear();
  verdict_->setText(q(VerdictText(totals_)));
  const bool bad = totals_.anythingFound() || !totals_.busyLine.empty();
  setTextColor(verdict_, bad ? QColor(139, 0, 0) : QColor(0, 110, 0));
  // The bad files first, then the counts and what to do about them.
  QStringList lines;
  for (const Finding& f : totals_.findings) lines << q(f.line);
  lines << QString();
  for (const std::string& s : SummaryLines(totals_)) lines << q(s);
  const std::vector<std::string> advice = AdviceLines(totals_);
  if (!advice.empty()) lines << QString() << QString::fromUtf8(t::kWhatToDo);
  for (const std::string& a : advice) lines << q(a);
  findings_->setPlainText(lines.join(QLatin1Char('\n')));
  findings_->setVisible(!totals_.findings.empty());
  emit finished();
}

}  // namespace kalvero
