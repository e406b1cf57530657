#pragma once
// The run log: appended to per pair (header, error lines, pair summary) and
// closed after the final summary. Every line break is written as CR LF.
#include <cstdint>
#include <string>
#include <vector>

#include "app/Records.h"
#include "backup/BackupRun.h"
#include "platform/FileTime.h"
#include "platform/Files.h"

namespace kalvero {

class RunLog {
 public:
  // Opens for appending (created when missing); false when the name is
  // empty or the file cannot be opened.
  bool open(const std::string& path);
  bool isOpen() const { return file_.isOpen(); }
  void close() { file_.close(); }
  // A lone "\n" inside text is written as "\r\n". Throws platform::FileError.
  void write(const std::string& text);
  // text as one line of the log, ended with kLineEnd (not twice). Throws
  // platform::FileError.
  void writeLine(const std::string& text);
  platform::TextFileWriter* writer() { return file_.isOpen() ? &file_ : nullptr; }

 private:
  platform::TextFileWriter file_;
};

struct PairHeader {
  std::string source;           // as configured
  std::string destinationRoot;  // of this run (with date subdirectory)
  BackupOptions options;        // just reloaded
  OptionCaptions captions;
  std::string versionText;
};

struct PairSummary {
  int filesDone = 0;
  int pairSkipped = 0;
  int pairErrors = 0;
  std::uint64_t kbyte = 0;
  std::uint64_t compressedKbyte = 0;
  std::string smallestName;
  std::uint64_t smallestKbyte = 0;
  std::string largestName;
  std::uint64_t largestKbyte = 0;
  bool cancelled = false;
  std::int64_t startSeconds = 0;  // pair start, seconds since 1970
  int linked = -1;  // files linked to the previous complete state (-1: the pair keeps no complete states)
};

struct PairResult {
  int withSubdirs = 1;
  std::string source;
  std::string destination;
  std::vector<std::string> excludedTrees;
  std::vector<std::string> excludedDirectories;
  int filesHandled = 0;
  int errors = 0;
  int skipped = 0;
};

// Writes the header (when the log is open); returns the pair start time in
// seconds since 1970. Write failures end the header early and are dropped.
std::int64_t WritePairHeader(RunLog& log, const PairHeader& header);
void WritePairSummary(RunLog& log, const PairSummary& summary);
// Writes the summary over all pairs and closes the log.
void WriteFinalSummary(RunLog& log, const std::vector<PairResult>& results, const std::string& checkFileError);

// "%d KiloByte kopiert" below 1024 KByte, else "%0.3f MegaByte ..." with a decimal comma.
std::string KbyteText(std::uint64_t kbyte, const char* kbFormat, const char* mbFormat);

}  // namespace kalvero
