#include "restore/RestoreRun.h"

#include <algorithm>
#include <chrono>
#include <memory>
#include <unordered_map>
#include <unordered_set>

#include <fmt/printf.h>

#include "app/SettingsFile.h"
#include "run/RunReport.h"
#include "platform/PathUtil.h"
#include "run/Walk.h"
#include "diag/ErrorText.h"
#include "platform/FileError.h"
#include "platform/Files.h"
#include "platform/TreeCopy.h"
#include "restore/RestoreJob.h"
#include "restore/RestoreLog.h"
#include "restore/RestorePlan.h"
#include "restore/RestoreTexts.h"
#include "restore/UnpackAhead.h"
#include "run/WorkerPool.h"
#include "zip/ZipArchiveLayer.h"

namespace kalvero {

namespace t = restore_text;

struct RestoreRun::State {
  RestoreRunSetup setup;
  ProgressInfo progress;
  RestoreTotals totals;
  std::atomic<int> errors{0};
  std::atomic<bool> cancelled{false};
  platform::TextFileWriter log;
  ZipArchiveLayer zip;  // this run's own archive object

  bool cancelRequested() const { return setup.cancel && setup.cancel->load() != 0; }
  void notify(int code) {
    if (setup.reporter) setup.reporter->progress(code, progress);
  }
  void countError() {
    ++progress.pairErrors;
    ++progress.runErrors;
    errors.store(progress.pairErrors);
  }
  // One line to the log page and the run log: a note, or an error that counts.
  void note(const std::string& line) {
    ReportToLogPage(setup.reporter, line + "\r\n");
    if (log.isOpen()) log.write(line + "\r\n");
  }
  void fail(const std::string& line) {
    note(line);
    countError();
  }
  // Lines to the run log; the first write failure closes the log for the rest.
  void writeLog(const std::vector<std::string>& lines) {
    if (!log.isOpen()) return;
    try {
      for (const auto& line : lines) log.write(line);
    } catch (const platform::FileError&) {
      log.close();
    }
  }
};

namespace {

std::string withoutTrailingSlash(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}
std::string withTrailingSlash(std::string path) {
  if (path.empty() || path.back() != '/') path += '/';
  return path;
}

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
  return t;
}
const ProgressInfo& RestoreRun::progress() const { return state_->progress; }

void RestoreRun::run() {
  State& s = *state_;
  RestoreOptions options = s.setup.options;
  if (!s.setup.settingsPath.empty()) options = SettingsFile(s.setup.settingsPath).loadRestoreOptions();
  s.progress = ProgressInfo{};
  s.totals = RestoreTotals{};
  s.errors = 0;
  s.cancelled = false;
  s.log.close();

  // Without a destination the files would land in the file-system root.
  if (options.PathDst.empty()) {
    s.totals.refusedBeforeStart = true;
    ReportToLogPage(s.setup.reporter, std::string(t::kNoDestination) + "\r\n");
    return;
  }
  const std::string workingDestination = options.PathDst;
  const auto clockStart = std::chrono::steady_clock::now();
  const platform::LocalTime start = platform::localNow();

  if (!options.Protokolldatei.empty() && s.log.open(options.Protokolldatei, platform::TextFileWriter::Mode::Append)) {
    s.notify(NOTIFY_LOG_OPENED);
    s.writeLog(RestoreHeaderLines(
        {start, options.PathSrc, workingDestination, s.setup.subdirCaption, options.SubVerz}));
  }

  s.notify(NOTIFY_SEARCHING);
  const std::string sourceDir = withoutTrailingSlash(NormaliseJobPath(options.PathSrc));
  std::vector<FoundFile> found;
  std::vector<std::string> unreadable;
  WalkOptions walk;
  walk.withSubdirs = options.SubVerz;
  walk.allKinds = true;
  walk.foundFiles = &found;
  walk.onDirectoryError = [&unreadable](const std::string& dir, int err) {
    unreadable.push_back(fmt::sprintf(t::kDirectoryUnreadable, dir, SystemErrorText(err)));
  };
  WalkDirectory(sourceDir, walk);

  int files = 0;
  for (const FoundFile& f : found) files += f.kind == EntryKind::File || f.kind == EntryKind::Symlink;
  s.progress.filesInPair = files;
  s.notify(NOTIFY_FILES_FOUND);
  s.writeLog({RestoreFileCountLine(s.progress.filesInPair)});

  const std::string sourceRoot = withTrailingSlash(sourceDir);
  const std::string destinationRoot = withTrailingSlash(withoutTrailingSlash(NormaliseJobPath(workingDestination)));
  RestoreSummaryData sum;
  std::unordered_set<std::string> runLinks;
  RestoreContext ctx{&s.zip, &s.progress, s.setup.reporter, nullptr, &runLinks};
  (void)platform::takeMetadataLosses();  // only what this run's copies lose is noted

  // The workers read the archives for the plan, then unpack them ahead while
  // this thread reports, puts in place and counts every file in the walk's order.
  std::unique_ptr<UnpackAhead> ahead;
  if (const int threads = RunThreadCount(); threads > 1)
    ahead = std::make_unique<UnpackAhead>(threads, s.setup.cancel, destinationRoot, options.OnlyByKalvero != 0);
  const std::vector<RestoreItem> plan =
      PlanRestore(found, sourceRoot, destinationRoot, options.OnlyByKalvero != 0,
                  ahead ? ahead->summarize(found) : SummarizeArchives(found, s.zip));
  std::vector<const RestoreItem*> links, directories;
  // Where a link of the backup goes, a link found there before the run is
  // not the user's own to follow: the restore replaces it.
  for (const RestoreItem& item : plan)
    if (item.found.kind == EntryKind::Symlink && item.leftOutFor.empty() && !item.target.empty())
      runLinks.insert(item.target);
  // Copies or unpacks one file of the plan; false when it was not restored.
  const auto restoreFile = [&](const RestoreItem& item) {
    const FoundFile& f = item.found;
    ctx.runLog = s.log.isOpen() ? &s.log : nullptr;
    RestoreJob job;
    job.sourceRoot = sourceRoot;
    job.source = f.path;
    job.destinationRoot = destinationRoot;
    job.isArchive = HasZipExtension(f.path);
    job.ownArchivesOnly = options.OnlyByKalvero != 0;
    job.fileSize = f.size;
    sum.sourceBytes += f.size;
    if (f.size > (sum.haveLargest ? sum.largestSize : 0)) {
      sum.haveLargest = true;
      sum.largestSize = f.size;
      sum.largestName = f.path;
    }
    if (!sum.haveSmallest || f.size < sum.smallestSize) {
      sum.haveSmallest = true;
      sum.smallestSize = f.size;
      sum.smallestName = f.path;
    }
    bool ok = RestoreOneFile(job, ctx);
    if (ok && job.isArchive) {
      if (!job.ownArchivesOnly) {  // refused or not ours to unpack: copied as it is
        job.isArchive = false;
        ok = RestoreOneFile(job, ctx);
      } else {
        sum.unpackedBytes += job.unpackedSize;
      }
    }
    return ok;
  };
  std::vector<const RestoreItem*> leftOut;
  std::unordered_set<std::string> failedTargets;
  std::size_t nextOffer = 0;
  const auto offerAhead = [&](std::size_t current) {
    if (!ahead) return;
    for (nextOffer = std::max(nextOffer, current); nextOffer < plan.size() && ahead->inFlight() < ahead->window();
         ++nextOffer) {
      const RestoreItem& item = plan[nextOffer];
      if (item.found.kind == EntryKind::File && item.leftOutFor.empty() && item.unpacked &&
          HasZipExtension(item.found.path))
        ahead->offer(nextOffer, item.found.path, item.relative);
    }
  };
  // Files first (directories created as the walk reports them, after their
  // content), then the links, so no file is written through a link of this
  // run; the directories' attributes come last, after everything inside.
  try {
    for (const std::string& line : unreadable) s.fail(line);
    for (const RestoreItem& item : plan) {
      if (s.cancelRequested()) break;
      const std::size_t index = static_cast<std::size_t>(&item - plan.data());
      offerAhead(index);
      const FoundFile& f = item.found;
      if (f.kind == EntryKind::Directory) {
        const std::string target = destinationRoot + item.relative;
        const std::string error = CreateRestoredDirectory(destinationRoot, target);
        if (error.empty())
          directories.push_back(&item);
        else
          s.fail(error);
        continue;
      }
      if (f.kind == EntryKind::Special) {
        s.note(fmt::sprintf(t::kSpecialFile, f.path));
        continue;
      }
      if (!item.leftOutFor.empty()) {
        s.note(fmt::sprintf(t::kNewerTaken, f.path, item.leftOutFor, item.target));
        leftOut.push_back(&item);
        ++s.progress.filesDone;
        continue;
      }
      if (f.kind == EntryKind::Symlink) {
        links.push_back(&item);
        continue;
      }
      const std::unique_ptr<PreparedUnpack> prepared = ahead ? ahead->take(index) : nullptr;
      ctx.prepared = prepared.get();
      const bool restored = restoreFile(item);
      ctx.prepared = nullptr;
      if (!restored) {
        s.countError();  // a file that could not be restored is an error
        if (!item.target.empty()) failedTargets.insert(item.target);
      }
      ++s.progress.filesDone;
    }
    ahead.reset();  // what the workers unpacked for files not reached is removed
    // A newer copy that could not be restored leaves the older one as the best there is.
    std::unordered_map<std::string, const RestoreItem*> fallback;
    for (const RestoreItem* item : leftOut) {
      if (item->found.kind != EntryKind::File || !failedTargets.count(item->target)) continue;
      const RestoreItem*& best = fallback[item->target];
      if (!best || item->time > best->time) best = item;
    }
    for (const RestoreItem* item : leftOut) {
      const auto chosen = fallback.find(item->target);
      if (s.cancelRequested() || chosen == fallback.end() || chosen->second != item) continue;
      s.note(fmt::sprintf(t::kOlderTaken, item->target, item->found.path));
      if (!restoreFile(*item)) s.countError();
    }
    for (const RestoreItem* link : links) {
      if (s.cancelRequested()) break;
      sum.sourceBytes += link->found.size;
      const std::string error = RestoreLink(link->found.path, destinationRoot, link->target, runLinks);
      if (!error.empty()) s.fail(error);
      ++s.progress.filesDone;
    }
    if (!s.cancelRequested()) {
      for (const RestoreItem* dir : directories) {
        const std::string error =
            FinishDirectory(dir->found.path, destinationRoot, destinationRoot + dir->relative, runLinks);
        if (!error.empty()) s.fail(error);
      }
    }
    const platform::MetadataLosses losses = platform::takeMetadataLosses();
    if (losses.extendedAttributes) s.note(fmt::sprintf(t::kXattrsNotKept, withoutTrailingSlash(destinationRoot)));
    if (losses.owner) s.note(fmt::sprintf(t::kOwnerNotKept, withoutTrailingSlash(destinationRoot)));
  } catch (const platform::FileError& e) {
    // The run log could not be written: the loop ends, the summary follows.
    const std::string text = std::string(e.what()).substr(0, 2047) + "\r\n";
    ReportToLogPage(s.setup.reporter, text);
    s.writeLog({text});
    s.countError();
  }

  s.cancelled = s.cancelRequested();
  s.notify(NOTIFY_FINISHED);
  sum.filesDone = s.progress.filesDone;
  sum.end = platform::localNow();
  sum.elapsedSeconds =
      std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - clockStart).count();
  sum.errors = s.progress.pairErrors;
  sum.cancelled = s.cancelled;
  s.writeLog(RestoreSummaryLines(sum));
  s.log.close();

  s.totals.filesDone = sum.filesDone;
  s.totals.sourceBytes = sum.sourceBytes;
  s.totals.unpackedBytes = sum.unpackedBytes;
}

RestoreValidation CheckRestoreStart(const RestoreOptions& options, bool forStart) {
  MakeDefaultLogDirectory(options.Protokolldatei);
  RestoreValidation check = ValidateRestoreOptions(options);
  if (!forStart && check.field == RestoreValidation::Destination) check = RestoreValidation{};
  return check;
}

RestoreValidation ValidateRestoreOptions(const RestoreOptions& options) {
  RestoreValidation v;
  if (GetPathKind(options.PathSrc) == 0) {
    v.field = RestoreValidation::Source;
    v.text = fmt::sprintf(t::kSourceMissing, options.PathSrc);
    return v;
  }
  const std::string logDir = ParentDirectory(options.Protokolldatei);
  if (logDir.empty() || GetPathKind(logDir) != -1) {
    v.field = RestoreValidation::LogFile;
    v.text = fmt::sprintf(t::kLogDirMissing, logDir);
    return v;
  }
  if (options.PathDst.empty()) {
    v.field = RestoreValidation::Destination;
    v.text = t::kNoDestination;
  }
  return v;
}

}  // namespace kalvero
