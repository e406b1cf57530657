#include "ui/RunProgressPanel.h"

#include <fmt/printf.h>

#include <algorithm>

#include "run/Estimator.h"
#include "ui/ElidedText.h"
#include "ui/RunOutcome.h"
#include "ui/TextColor.h"
#include "ui/UiTexts.h"
#include "ui/ui_PageSichern.h"

namespace kalvero {

namespace t = ui_texts;

namespace {

template <typename... Args>
QString text(const char* format, const Args&... args) {
  return QString::fromStdString(fmt::sprintf(format, args...));
}
QString text(const char* plain) { return QString::fromUtf8(plain); }

const QColor kNavy(0, 0, 128);
const QColor kDarkRed(128, 0, 0);
const QColor kDarkGreen(0, 128, 0);

// Range and position from the same bytes as the percent beside the bar, so
// the two always agree (a pair of a few small files fills its bar).
void setBar(QProgressBar* bar, std::uint64_t done, std::uint64_t total) {
  const BarValues v = ByteBarOf(done, total);
  bar->setRange(0, v.range);
  bar->setValue(v.position);
}

}  // namespace

RunProgressPanel::RunProgressPanel(Ui::PageSichern& form, QWidget* page) : ui_(form), page_(page) {
  for (QLabel* l : {ui_.lblAction, ui_.lblFileCount, ui_.lblRemaining}) setTextColor(l, kNavy);
  for (QLabel* l : {ui_.lblPairErrors, ui_.lblRunErrors}) setTextColor(l, Qt::black);
  ui_.barPair->setAccessibleName(text(t::kAccPairBar));
  ui_.barFile->setAccessibleName(text(t::kAccFileBar));
  clear();
  ui_.lblPairErrors->clear();
  ui_.lblRunErrors->clear();
  ui_.lblSkipped->clear();
  setTextColor(ui_.lblNotBackedUp, kDarkRed);
  clearOutcome();
}

void RunProgressPanel::clearOutcome() {
  setTextColor(ui_.lblAction, kNavy);
  ui_.lblNotBackedUp->clear();
  ui_.lblNotBackedUp->hide();
}

void RunProgressPanel::showOutcome(const RunOutcome& outcome) {
  setTextColor(ui_.lblAction, outcome.clean ? kNavy : kDarkRed);
  ui_.lblAction->setText(outcome.action);
  ui_.lblNotBackedUp->setText(outcome.notBackedUp.join(QLatin1Char('\n')));
  ui_.lblNotBackedUp->setVisible(!outcome.notBackedUp.isEmpty());
  // A pair left out counts no error, but the counters must not look like success beside the closing line.
  if (!outcome.notBackedUp.isEmpty())
    for (QLabel* l : {ui_.lblPairErrors, ui_.lblRunErrors}) setTextColor(l, kDarkRed);
  if (!outcome.nothingToCopy) return;
  // Not "0 von 0 Dateien" beside an empty bar: the closing line says it all.
  ui_.lblFileCount->clear();
  ui_.lblPairPercent->clear();
  setElidedText(ui_.lblSource, QString());
  setBar(ui_.barPair, 0, 0);
}

std::uint64_t RunProgressPanel::pairDone(const ProgressInfo& info) {
  // A file compressed again, or a cancel, may take bytes back; the pair's bar never goes back.
  if (info.pairBytes != pairTotal_) {
    pairTotal_ = info.pairBytes;
    pairDone_ = 0;
  }
  pairDone_ = std::max(pairDone_, std::min(info.pairBytesDone, info.pairBytes));
  return pairDone_;
}

void RunProgressPanel::clear() {
  pairTotal_ = pairDone_ = 0;
  ui_.lblAction->clear();
  setElidedText(ui_.lblSource, QString());
  setElidedText(ui_.lblDestination, QString());
  ui_.lblFileCount->clear();
  ui_.lblRemaining->clear();
  setBar(ui_.barPair, 0, 0);
  ui_.lblPairPercent->clear();
  setBar(ui_.barFile, 0, 0);
  ui_.lblFilePercent->clear();
}

int RunProgressPanel::percentOf(std::uint64_t done, std::uint64_t total) { return PercentOf(done, total); }

void RunProgressPanel::setPairPercent(const ProgressInfo& info) {
  const QString percent = text(t::kPercent, percentOf(pairDone(info), info.pairBytes));
  ui_.lblPairPercent->setText(percent);
  QWidget* window = page_->window();
  if (window->isMinimized()) window->setWindowTitle(percent);
}

void RunProgressPanel::showFileProgress(const ProgressInfo& info) {
  setElidedText(ui_.lblSource, QString::fromStdString(info.currentSource));
  setElidedText(ui_.lblDestination, QString::fromStdString(info.currentDestination));
  ui_.lblFileCount->setText(text(t::kFileCount, info.filesDone, info.filesInPair));
  setBar(ui_.barPair, pairDone(info), info.pairBytes);
  setPairPercent(info);
}

void RunProgressPanel::refreshCounters(const ProgressInfo& info) {
  setTextColor(ui_.lblPairErrors, info.pairErrors ? kDarkRed : kDarkGreen);
  ui_.lblPairErrors->setText(text(t::kErrors, info.pairErrors));
  setTextColor(ui_.lblRunErrors, info.runErrors ? kDarkRed : kDarkGreen);
  ui_.lblRunErrors->setText(text(t::kErrors, info.runErrors));
  ui_.lblSkipped->setText(text(t::kSkippedCount, info.runSkipped));
}

void RunProgressPanel::show(int code, const ProgressInfo& info, bool cancelled) {
  Ui::PageSichern& u = ui_;
  auto names = [&] {
    setElidedText(u.lblSource, QString::fromStdString(info.currentSource));
    setElidedText(u.lblDestination, QString::fromStdString(info.currentDestination));
  };
  // Whenever the run may have moved the pair on, bar and percent follow together.
  auto pair = [&] {
    setBar(u.barPair, pairDone(info), info.pairBytes);
    setPairPercent(info);
  };
  switch (code) {
    case NOTIFY_RESET: clear(); break;
    case NOTIFY_SEARCHING: u.lblAction->setText(text(t::kSearching)); break;
    case NOTIFY_FILES_FOUND:
      setElidedText(u.lblSource, text(t::kFilesToCopy, info.filesInPair));
      setElidedText(u.lblDestination, QString());
      u.lblFileCount->setText(text(t::kFileCount, info.filesDone, info.filesInPair));
      setBar(u.barPair, pairDone(info), info.pairBytes);
      break;
    case NOTIFY_COPYING:
      u.lblAction->setText(text(t::kCopying));
      showFileProgress(info);
      break;
    case NOTIFY_COMPRESSING:
      u.lblAction->setText(text(t::kCompressing));
      showFileProgress(info);
      break;
    case NOTIFY_SKIPPING:
      u.lblAction->setText(text(t::kSkipping));
      showFileProgress(info);
      break;
    case NOTIFY_COMPARING:
      u.lblAction->setText(text(t::kComparing));
      names();
      pair();
      break;
    case NOTIFY_ARCHIVE_RESET:
      u.lblAction->setText(text(t::kArchiveReset));
      names();
      pair();
      break;
    case NOTIFY_CHECKFILE_READ:
      u.lblAction->setText(text(t::kCheckFileRead));
      names();
      break;
    case NOTIFY_CHECKFILE_WRITE:
      u.lblAction->setText(text(t::kCheckFileWrite));
      names();
      break;
    case NOTIFY_FINISHED:
      // A cancelled run must not look finished.
      u.lblAction->setText(text(cancelled ? t::kCancelled : t::kFinished));
      setElidedText(u.lblSource, QString());
      setElidedText(u.lblDestination, QString());
      u.lblFileCount->setText(text(t::kFileCount, info.filesDone, info.filesInPair));
      setBar(u.barPair, pairDone(info), info.pairBytes);
      setPairPercent(info);
      break;
    case NOTIFY_FILE_START:
      setBar(u.barFile, info.fileDone, info.fileSize);
      u.lblFilePercent->setText(text(t::kPercent, 0));
      break;
    case NOTIFY_FILE_STEP:
      pair();  // the pair moves with the copy of a large file too
      setBar(u.barFile, info.fileDone, info.fileSize);
      u.lblFilePercent->setText(text(t::kPercent, percentOf(info.fileDone, info.fileSize)));
      break;
    case NOTIFY_REMAINING_TIME:
      u.lblRemaining->setText(QString::fromStdString(info.remainingTimeText));
      pair();
      break;
    default: break;
  }
  refreshCounters(info);
}

}  // namespace kalvero
