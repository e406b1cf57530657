#pragma once
// The dated folders of a pair's destination: with "SubVerzDatum" each day's
// backup goes into a folder "JJJJ_MM_TT" below the pair's destination. A
// folder that holds a complete state of the pair (every selected file, the
// unchanged ones as hard links to the previous state) carries a mark in its
// top level, written only when its run ended without a cancel or a kill.
#include <string>
#include <string_view>
#include <vector>

#include "platform/FileTime.h"
#include "run/ChecksumList.h"

namespace kalvero {

struct DatedFolder {
  std::string name;  // "2026_12_09"
  std::string path;  // the destination, "/", name
  int year = 0, month = 0, day = 0;
  bool complete = false;  // carries the mark
};

// "2026_12_09" (digits and two "_", month 1-12, day 1-31).
bool IsDatedFolderName(std::string_view name);
// The folder name of a day, as the backup makes it.
std::string DatedFolderName(const platform::LocalTime& day);
// The dated folders directly below destination (real folders, never links),
// oldest first; empty when destination cannot be read.
std::vector<DatedFolder> ListDatedFolders(const std::string& destination);
// Whether folder carries the mark of a complete state.
bool IsCompleteState(const std::string& folder);
// Writes the mark (text as its content) atomically and durably; false with
// errno in err.
bool MarkStateComplete(const std::string& folder, const std::string& text, int* err);
// Removes the mark (a state that is being filled again is not complete);
// true when there was none.
bool UnmarkStateComplete(const std::string& folder, int* err);

}  // namespace kalvero
