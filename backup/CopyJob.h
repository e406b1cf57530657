#pragma once
// The per-file record of the copy step (also filled by the compression) and
// the context that the copy progress and the comparison work with.
#include <atomic>
#include <cstdint>
#include <string>

#include "platform/LevelOpen.h"
#include "platform/Sha256.h"
#include "run/RunProgress.h"

namespace kalvero {

namespace platform {
class TextFileWriter;
}

// How comparing a source with its copy (or archive) ended.
enum class CompareKind {
  Equal = 0,
  SourceUnopened = 1,
  CopyUnopened = 2,
  SourceUnreadable = 3,
  CopyUnreadable = 4,
  Different = 5,
};

struct CopyJob {
  std::string sourceRoot;        // source directory of the pair, with trailing "/"
  std::string source;            // full path of the file to copy
  std::string destination;       // full path of the copy
  std::string temporaryArchive;  // set only when compressing with "Compare" on
  std::string finalName;         // name under which the copy really exists
  std::string timeSource;        // file whose times the copy receives
  bool compress = false;
  std::uint64_t size = 0;
  std::uint64_t compressedSize = 0;  // set by the compression
  bool wasCompressed = false;
  int displayThreshold = 1000;       // KByte ("Info" "MinSize")
  // With deferCommit the finished copy (or archive) is left under the hidden
  // name pending beside its final name, so it can be compared before it
  // replaces the previous copy (CommitCopy / DiscardCopy).
  bool deferCommit = false;
  std::string pending;
  bool cancelled = false;  // the copy was broken off by "Abbrechen" (not an error)
  // In: a status of the source just taken saw a regular file (the open then needs none).
  bool sourceSeenRegular = false;
  // In: nothing had the copy's name when the file's steps began (offered to
  // a worker: when the walk read the copy's directory).
  bool destinationSeenAbsent = false;
  // In: that was the walk's look, none was taken in the file's turn: the
  // commit takes the name only while it is still free.
  bool absentByWalk = false;
  // In: a worker puts the finished copy under its name itself, while the name
  // is free (no comparison to wait for). Out: it did (pending is then empty);
  // the identity of the copy written, for the run to register it or to take it back.
  bool commitAhead = false;
  bool committedAhead = false;
  std::uint64_t committedDevice = 0;
  std::uint64_t committedInode = 0;
  // In (a file on a worker): the directories of source and copy, held open
  // below their roots; the worker makes its copy or archive by name in them.
  platform::SharedDirectory sourceDirectory;
  platform::SharedDirectory destinationDirectory;
  // Out of a plain copy whose bytes passed through a buffer: digest is their SHA-256.
  bool hashed = false;
  platform::Sha256Digest digest{};
};

struct CopyContext {
  std::string source;
  std::string destination;
  std::string destinationName;  // the copy's name in messages when destination is its hidden pending file
  ProgressInfo* progress = nullptr;
  RunReporter* reporter = nullptr;
  platform::TextFileWriter* runLog = nullptr;  // null when no run log is open
  const std::atomic<int>* cancel = nullptr;
  int displayThreshold = 1000;

  bool cancelled() const { return cancel && cancel->load(std::memory_order_relaxed) != 0; }
  // Sends a notification (when a reporter is set).
  void notify(int code) const {
    if (reporter && progress) reporter->progress(code, *progress);
  }
  // Whether a file of this size gets the single-file display.
  bool showsFileProgress(std::uint64_t size) const {
    return static_cast<std::int64_t>(size / 1024) > static_cast<std::int64_t>(displayThreshold);
  }
};

}  // namespace kalvero
