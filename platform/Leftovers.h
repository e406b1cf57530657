#pragma once
// Removing what a killed run left behind: only the program's own temporaries
// (platform/OwnTemporary), never a user's file, and only while the caller
// holds the destination (RunLock), so no other run's work in progress goes.
// Best effort: what cannot be removed stays and is tried again next time.
#include <string>
#include <unordered_set>

namespace kalvero::platform {

// In the directory dir (not below it): removes the program's own temporary
// files and links, and its staging directories with all they hold. Returns
// how many entries of dir were removed.
int SweepOwnLeftovers(const std::string& dir);

// The program's own temporaries of one file beside it (the check file's
// temporary after a killed save); how many were removed.
int SweepOwnLeftoversOf(const std::string& file);

// The directories a run writes into, each swept once at its first visit,
// before the run puts a temporary of its own there. Nothing is swept until
// enabled (while the run holds its destinations).
class LeftoverSweep {
 public:
  void enable(bool on) { enabled_ = on; }
  bool enabled() const { return enabled_; }
  void visit(const std::string& dir);
  // Entries removed since the last take (for a note).
  int takeRemoved();

 private:
  bool enabled_ = false;
  std::unordered_set<std::string> visited_;
  int removed_ = 0;
};

}  // namespace kalvero::platform
