#pragma once
// The four lists a run writes: copied sources, copied destinations, sources
// not copied and files skipped because of the check file. A list whose file
// cannot be opened drops its lines; the run goes on.
#include <array>
#include <string>

#include "platform/FileTime.h"
#include "platform/Files.h"

namespace kalvero {

class ListFiles {
 public:
  enum Index { COPIED_SOURCES = 0, COPIED_DESTINATIONS = 1, NOT_COPIED = 2, SKIPPED = 3 };

  // Truncates lists 1-3 (and 4 when withCheckFile) and writes their headers.
  void OpenLists(const std::array<std::string, 4>& names, bool withCheckFile, const std::string& checkFilePath,
                 const platform::LocalTime& now);
  // Entry lines; write failures throw platform::FileError.
  void addCopied(const std::string& source, const std::string& finalName);
  void addNotCopied(const std::string& source);
  void addSkipped(const std::string& source, const std::string& destination);
  void CloseLists();

  int copiedNumber() const { return copiedNumber_; }
  int notCopiedNumber() const { return notCopiedNumber_; }
  // True when list index was to be written but could not be opened.
  bool openFailed(int index) const { return openFailed_.at(index); }

 private:
  void write(int index, const std::string& text);
  std::array<platform::TextFileWriter, 4> files_;
  std::array<bool, 4> openFailed_{};
  int copiedNumber_ = 0;
  int notCopiedNumber_ = 0;
  std::string line_;  // reused for every skipped-file entry
};

}  // namespace kalvero
