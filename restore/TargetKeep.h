#pragma once
// Work found in the restore's target is never lost: before the backup's copy
// replaces a file that differs from it, the file gets a second name beside
// it ("brief (vor Rücksicherung 2026-12-09).txt"); a file equal to the
// backup's copy is left as it is.
#include <string>

#include "platform/FileTime.h"

namespace kalvero {

struct RestoreContext;

// What lies where the backup's copy goes, compared with that copy.
enum class TargetState {
  Missing,      // nothing there
  Equal,        // the same size, last-write time and content: nothing to do
  SameContent,  // the same bytes with another time: replaced, nothing kept
  Differs,      // other bytes: kept beside before it is replaced
  NotAFile,     // a link, directory or other kind: left to the restore as before
};
TargetState CompareTarget(const std::string& backupCopy, const std::string& target);

// "brief.txt" of 09.12.2026 gives "brief (vor Rücksicherung 2026-12-09).txt",
// number 2 "brief (vor Rücksicherung 2026-12-09, 2).txt"; the name part
// before the last dot keeps it, a leading dot does not count.
std::string KeptVersionName(const std::string& target, const platform::LocalTime& day, int number);

// Gives target its first free kept name of day: a second name (hard link),
// or a copy where the file system has none. The kept path, or "" with *err.
std::string KeepTargetVersion(const std::string& target, const platform::LocalTime& day, int* err);

// One replacement of a target file by the backup's copy, around the step
// that writes it: begin() decides and keeps, end() reports or takes back.
class TargetReplacement {
 public:
  TargetReplacement(const std::string& backupCopy, std::string target, RestoreContext& ctx);
  bool leaveAsItIs() const { return state_ == TargetState::Equal; }
  // "" when the target may be replaced, else the error line (it must not be).
  const std::string& refusal() const { return refusal_; }
  // After the write: the kept version is named in the logs and counted, or,
  // when the target was not replaced, its second name is removed again.
  void end(bool replaced);

 private:
  RestoreContext& ctx_;
  std::string target_;
  TargetState state_;
  std::string kept_;
  std::string refusal_;
};

}  // namespace kalvero
