#pragma once
// Thinning the dated states of a destination: the newest days are all kept,
// before them one state per week, before those one per month; the rest goes.
// Only complete states ever go, and never the newest of them: an incomplete
// folder (a cut-short run, a folder of the incremental kind) holds files
// that exist nowhere else.
#include <string>
#include <vector>

#include "app/Records.h"
#include "platform/FileTime.h"
#include "run/DatedFolders.h"

namespace kalvero {

struct CopyContext;

struct ThinningRule {
  int days = 0;    // every state of the newest days, today included
  int weeks = 0;   // then the newest state of each week (Monday to Sunday)
  int months = 0;  // then the newest state of each calendar month
  bool active() const { return days > 0 || weeks > 0 || months > 0; }
};

// "AusduennenTage", "AusduennenWochen", "AusduennenMonate" (below 0 counts as 0).
ThinningRule ThinningRuleOf(const BackupOptions& options);

// Why a folder stays; Remove: it goes.
enum class KeepReason { Remove, NoRule, Day, Week, Month, NewestComplete, Incomplete, Future };

struct ThinningEntry {
  DatedFolder folder;
  KeepReason reason = KeepReason::Remove;
};

// What the rule does with folders (oldest first, as ListDatedFolders gives
// them) on the day today; the entries in the order of folders.
std::vector<ThinningEntry> PlanThinning(const std::vector<DatedFolder>& folders, const platform::LocalTime& today,
                                        const ThinningRule& rule);

struct ThinningOutcome {
  struct Failure {
    std::string name;
    int err = 0;
  };
  std::vector<std::string> removed;  // names of the dated folders now gone
  std::vector<Failure> failed;       // set aside but not (fully) removed, or not even set aside
  int finished = 0;                  // folders an interrupted thinning had set aside, removed now
};

// True for a dated folder set aside for removal (the program's own
// temporary name of "JJJJ_MM_TT" beside it).
bool IsStateBeingRemoved(const std::string& name);

// Sets each folder aside under the program's own temporary name in its
// destination, then removes them, and whatever an interrupted thinning had
// set aside there, on the workers. The caller holds the destination.
ThinningOutcome RemoveStates(const std::string& destination, const std::vector<DatedFolder>& folders);

// The end of a backup pair with "SubVerzDatum": thins the pair's destination
// by the options' rule (without one, only finishes what a thinning cut short
// left) and names each removed folder in the run log. held: the run holds
// the destination (without that nothing is removed).
void ThinAfterPair(const std::string& destination, const BackupOptions& options, bool held, const CopyContext& ctx);

}  // namespace kalvero
