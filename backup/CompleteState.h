#pragma once
// Complete dated states: with "DatumVollstaendig" and "SubVerzDatum" each
// day's folder holds every selected file of the pair. A file unchanged since
// the newest complete state of an earlier day becomes a hard link to its copy
// there instead of a new copy, so a day costs only what changed. Older states
// share those files: nothing reached through such a name is ever changed in
// place, a newer copy always replaces the name.
#include <string>

#include "app/Records.h"
#include "platform/FileSystem.h"

namespace kalvero {

// Whether copy (at copyPath) holds source (at sourcePath) as it is now. A
// plain copy: same kind, size, modification time, mode, owner and xattrs
// (these read only when the source's status changed after the copy's). An
// archive NAME.zip records mode and owner and gets its own time: it holds
// the source when the source's status, content included, has not changed
// since the archive was made and its time is not newer than the archive's.
// attributesKept false: the copy's file system fakes modes and owners.
bool CopyHoldsSource(const platform::FileStatus& source, const std::string& sourcePath,
                     const platform::FileStatus& copy, const std::string& copyPath, bool archive,
                     bool attributesKept);

// The newest complete state of an earlier day than today's folder (both
// with "/"), when today's folder is missing or empty and so this run's own:
// its files can be linked on the walk's look alone. Empty otherwise.
std::string FreshStateBase(const BackupOptions& options, const std::string& destination, const std::string& today);

class CompleteState {
 public:
  // The pair's start. today: the dated folder this run fills (with "/").
  void begin(const BackupOptions& options, const std::string& destination, const std::string& today);
  bool active() const { return active_; }
  // Linking is possible: there is a base state and the file system has not refused a link.
  bool linking() const { return active_ && !base_.empty() && !refused_; }
  // The newest complete state of an earlier day (with "/"), empty when there is none.
  const std::string& base() const { return base_; }

  // Today's folder was missing or empty at the pair's start: every name in
  // it is this run's, nothing needs clearing before a link.
  bool fresh() const { return fresh_; }

  // The base state's copy of relative (its path below the pair's folder, in
  // the form stored: NAME or NAME.zip) when it holds source unchanged, with
  // its status in copy; empty otherwise.
  std::string unchangedCopy(const std::string& relative, const platform::FileStatus& source,
                            const std::string& sourcePath, bool archive,
                            platform::FileStatus* copy = nullptr) const;

  enum class Link { Done, Unsupported, Failed };
  // target becomes a second name of baseCopy: made directly where the name
  // is free, else (with replace) beside it and renamed over it. Unsupported:
  // the file system has no hard links (no more attempts this pair).
  Link link(const std::string& baseCopy, const std::string& target, bool replace, int* err);
  // A link failed with err: true (and no more attempts this pair) when the
  // file system keeps no second names.
  bool refusedBy(int err);
  // The note on a file system without hard links is given once a pair.
  bool takeRefusalNote() {
    const bool first = refused_ && !noted_;
    noted_ = noted_ || refused_;
    return first;
  }

 private:
  bool active_ = false;
  bool refused_ = false;
  bool noted_ = false;
  bool fresh_ = false;
  bool attributesKept_ = true;
  std::string base_;
};

}  // namespace kalvero
