#include "restore/RestoreRun.h"

#include <chrono>

#include <fmt/printf.h>

#include "app/SettingsFile.h"
#include "backup/CopyVerify.h"
#include "backup/PathUtil.h"
#include "backup/Walk.h"
#include "platform/FileError.h"
#include "platform/FileSystem.h"
#include "platform/Files.h"
#include "restore/RestoreJob.h"
#include "restore/RestoreLog.h"
#include "restore/RestoreTexts.h"
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
  std::vector<std::string> paths;
  WalkOptions walk;
  walk.withSubdirs = options.SubVerz;
  walk.pathList = &paths;
  WalkDirectory(sourceDir, walk);

  s.progress.filesInPair = static_cast<int>(paths.size());
  s.notify(NOTIFY_FILES_FOUND);
  s.writeLog({RestoreFileCountLine(s.progress.filesInPair)});

  const std::string sourceRoot = withTrailingSlash(sourceDir);
  const std::string destinationRoot = withTrailingSlash(withoutTrailingSlash(NormaliseJobPath(workingDestination)));
  RestoreSummaryData sum;
  RestoreContext ctx{&s.zip, &s.progress, s.setup.reporter, nullptr};

  for (const std::string& path : paths) {
    if (s.cancelRequested()) break;
    ctx.runLog = s.log.isOpen() ? &s.log : nullptr;
    try {
      RestoreJob job;
      job.sourceRoot = sourceRoot;
      job.source = path;
      job.destinationRoot = destinationRoot;
      job.isArchive = HasZipExtension(path);
      job.ownArchivesOnly = options.OnlyByKalvero != 0;
      if (const auto st = platform::statPath(path)) {
        job.fileSize = st->size;
        sum.sourceBytes += st->size;
        if (st->size > (sum.haveLargest ? sum.largestSize : 0)) {
          sum.haveLargest = true;
          sum.largestSize = st->size;
          sum.largestName = path;
        }
        if (!sum.haveSmallest || st->size < sum.smallestSize) {
          sum.haveSmallest = true;
          sum.smallestSize = st->size;
          sum.smallestName = path;
        }
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
      if (!ok) s.countError();  // a file that could not be restored is an error
      ++s.progress.filesDone;
    } catch (const platform::FileError& e) {
      // The run log could not be written: the loop ends, the summary follows.
      const std::string text = std::string(e.what()).substr(0, 2047) + "\r\n";
      ReportToLogPage(s.setup.reporter, text);
      s.writeLog({text});
      s.countError();
      break;
    }
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

RestoreValidation ValidateRestoreOptions(const RestoreOptions& options) {
  RestoreValidation v;
  if (GetPathKind(options.PathSrc) == 0) {
    v.field = RestoreValidation::Source;
    v.text = fmt::sprintf(t::kSourceMissing, options.PathSrc);
    return v;
  }
  const SplitPath parts(options.Protokolldatei);
  const std::string logDir = parts.drive + parts.dir;
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
