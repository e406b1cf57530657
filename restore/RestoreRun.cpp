#include "restore/RestoreRun.h"
#include "platform/PathUtil.h"

#include <fmt/printf.h>

#include "diag/ErrorText.h"
#include "platform/TreeCopy.h"
#include "restore/RestoreRunState.h"
#include "restore/RestoreStart.h"
#include "restore/RestoreTexts.h"
#include "run/ChecksumList.h"
#include "run/Walk.h"
#include "run/WorkerPool.h"

namespace kalvero {

namespace t = restore_text;

namespace {

}  // namespace

RestoreRun::RestoreRun(RestoreRunSetup setup) : state_(std::make_unique<State>()) {
  state_->setup = std::move(setup);
}
RestoreRun::~RestoreRun() = default;

int RestoreRun::errors() const { return state_->errors.load(); }
bool RestoreRun::cancelled() const { return state_->cancelled.load(); }
RestoreTotals RestoreRun::totals() const {
  RestoreTotals t = state_->totals;
  t.errors = errors();
  t.cancelled = cancelled();
  t.sleep = t.cancelled && state_->setup.cancel && state_->setup.cancel->load() == platform::kCancelForSleep;
  return t;
}
const ProgressInfo& RestoreRun::progress() const { return state_->progress; }

void RestoreRun::run() {
  State& s = *state_;
  // Sleep may come once the run has ended, whichever way it ends.
  struct ReleaseSleepLock {
    std::shared_ptr<platform::SleepLock>& lock;
    ~ReleaseSleepLock() { lock.reset(); }
  } releaseSleepLock{s.setup.sleepLock};
  RestoreOptions options = s.setup.options;
  if (!s.setup.settingsPath.empty()) options = LoadRestoreInput(s.setup.settingsPath);
  s.progress = ProgressInfo{};
  s.totals = RestoreTotals{};
  s.errors = 0;
  s.cancelled = false;
  s.log.close();

  // Without a destination the files would land in the file-system root.
  if (options.PathDst.empty()) {
    s.totals.refusedBeforeStart = true;
    ReportToLogPage(s.setup.reporter, std::string(t::kNoDestination));
    return;
  }
  Pass pass(s, std::move(options));
  if (!pass.holdDestination()) return;
  pass.openLog();
  pass.plan();
  pass.restoreAll();
  pass.finish();
  s.lock.release();  // the page may keep this run: the next one must find the destination free
}

RestoreRun::Pass::Pass(State& state, RestoreOptions options)
    : s_(state),
      options_(std::move(options)),
      clockStart_(std::chrono::steady_clock::now()),
      start_(platform::localNow()) {}

// One run per destination tree: with a backup or another restore writing
// there now, nothing starts. Held, the run first removes what a killed run
// left in the target's root (the staging folder), later in each directory.
bool RestoreRun::Pass::holdDestination() {
  s_.lock.release();
  const platform::RunLock::Result held = s_.lock.add(options_.PathDst);
  if (held == platform::RunLock::Result::Busy) {
    s_.totals.refusedBeforeStart = true;
    s_.totals.busyLine = fmt::sprintf(t::kTargetBusy, options_.PathDst);
    ReportToLogPage(s_.setup.reporter, s_.totals.busyLine);
    return false;
  }
  s_.leftovers = platform::LeftoverSweep();
  s_.leftovers.enable(held == platform::RunLock::Result::Held);
  s_.leftovers.visit(options_.PathDst);
  return true;
}

void RestoreRun::Pass::openLog() {
  if (options_.Protokolldatei.empty() ||
      !s_.log.open(options_.Protokolldatei, platform::TextFileWriter::Mode::Append))
    return;  // the run goes on without a log
  s_.notify(NOTIFY_LOG_OPENED);
  s_.writeLog(RestoreHeaderLines({start_, options_.PathSrc, options_.PathDst, t::kSubdirCaption, options_.SubVerz}));
}

// Every entry below the source, and the count of files and links in the log.
std::vector<FoundFile> RestoreRun::Pass::findFiles(const std::string& sourceDir) {
  s_.notify(NOTIFY_SEARCHING);
  std::vector<FoundFile> found;
  WalkOptions walk;
  walk.withSubdirs = options_.SubVerz;
  walk.allKinds = true;
  walk.foundFiles = &found;
  walk.onDirectoryError = [this](const std::string& dir, int err) {
    unreadable_.push_back(fmt::sprintf(t::kDirectoryUnreadable, dir, SystemErrorText(err)));
  };
  WalkDirectory(sourceDir, walk);
  // A backup folder's checksum list and its journal are the program's, never a user's file.
  std::erase_if(found, [](const FoundFile& f) {
    return f.kind == EntryKind::File && IsProgramFileName(f.path.substr(f.path.rfind('/') + 1));
  });

  int files = 0;
  for (const FoundFile& f : found) files += f.kind == EntryKind::File || f.kind == EntryKind::Symlink;
  s_.progress.filesInPair = files;
  s_.notify(NOTIFY_FILES_FOUND);
  s_.writeLog({RestoreFileCountLine(s_.progress.filesInPair)});
  return found;
}

void RestoreRun::Pass::plan() {
  const std::string sourceDir = WithoutTrailingSlash(NormaliseJobPath(options_.PathSrc));
  const std::vector<FoundFile> found = findFiles(sourceDir);
  sourceRoot_ = WithTrailingSlash(sourceDir);
  destinationRoot_ = WithTrailingSlash(WithoutTrailingSlash(NormaliseJobPath(options_.PathDst)));
  ctx_.zip = &s_.zip;
  ctx_.progress = &s_.progress;
  ctx_.reporter = s_.setup.reporter;
  ctx_.runLinks = &runLinks_;
  ctx_.day = start_;
  ctx_.keptVersions = &sum_.keptVersions;
  ctx_.unchangedTargets = &sum_.unchangedTargets;
  (void)platform::takeMetadataLosses();  // only what this run's copies lose is noted

  // The workers read the archives for the plan, then unpack them ahead while
  // this thread reports, puts in place and counts every file in the walk's order.
  if (const int threads = RunThreadCount(); threads > 1)
    ahead_ = std::make_unique<UnpackAhead>(threads, s_.setup.cancel, destinationRoot_, options_.OnlyByKalvero != 0);
  plan_ = PlanRestore(found, sourceRoot_, destinationRoot_, options_.OnlyByKalvero != 0,
                      ahead_ ? ahead_->summarize(found) : SummarizeArchives(found, s_.zip));
  // Where a link of the backup goes, a link found there before the run is
  // not the user's own to follow: the restore replaces it.
  for (const RestoreItem& item : plan_)
    if (item.found.kind == EntryKind::Symlink && item.leftOutFor.empty() && !item.target.empty())
      runLinks_.insert(item.target);
}

void RestoreRun::Pass::finish() {
  s_.cancelled = s_.cancelRequested();
  s_.notify(NOTIFY_FINISHED);
  sum_.filesDone = s_.progress.filesDone;
  sum_.end = platform::localNow();
  sum_.elapsedSeconds =
      std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - clockStart_).count();
  sum_.errors = s_.progress.pairErrors;
  sum_.cancelled = s_.cancelled;
  s_.writeLog(RestoreSummaryLines(sum_));
  if (s_.cancelled && s_.setup.cancel->load() == platform::kCancelForSleep)
    s_.writeLog({t::kStoppedForSleep});
  s_.log.close();

  s_.totals.filesDone = sum_.filesDone;
  s_.totals.sourceBytes = sum_.sourceBytes;
  s_.totals.unpackedBytes = sum_.unpackedBytes;
  s_.totals.keptVersions = sum_.keptVersions;
  s_.totals.unchangedTargets = sum_.unchangedTargets;
}

}  // namespace kalvero
