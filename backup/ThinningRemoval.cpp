// Removing thinned states: each folder first gets the program's own
// temporary name, so a removal cut short by a kill never leaves a half-empty
// folder under a date (a restore or a later run would take it for a state),
// and the next thinning knows what to finish.
#include <fmt/printf.h>

#include <algorithm>
#include <future>

#include "backup/BackupTexts.h"
#include "backup/CopyVerify.h"
#include "backup/Thinning.h"
#include "diag/ErrorText.h"
#include "platform/DirectoryReader.h"
#include "platform/FileSystem.h"
#include "platform/OwnTemporary.h"
#include "platform/PathUtil.h"
#include "platform/TreeRemoval.h"
#include "run/WorkerPool.h"

namespace kalvero {

namespace {

struct SetAside {
  std::string name;  // the dated name, "" for one an earlier thinning set aside
  std::string path;  // its temporary name now
  int err = 0;
  bool removed = false;
};

std::vector<SetAside> EarlierSetAside(const std::string& destination) {
  std::vector<SetAside> found;
  platform::DirectoryReader reader(destination);
  platform::DirEntry entry;
  while (reader.isOpen() && reader.next(entry)) {
    if (entry.kind == platform::EntryKind::Directory && !entry.status.isSymlink && IsStateBeingRemoved(entry.name))
      found.push_back({{}, WithTrailingSlash(destination) + entry.name});
  }
  return found;
}

void RemoveAll(std::vector<SetAside>& items) {
  auto removeOne = [](SetAside& item) { item.removed = platform::removeTree(item.path, &item.err); };
  const int threads = std::min<int>(RunThreadCount(), static_cast<int>(items.size()));
  if (threads <= 1) {
    for (SetAside& item : items) removeOne(item);
    return;
  }
  WorkerPool pool(threads);
  std::vector<std::future<void>> done;
  for (SetAside& item : items) done.push_back(pool.submit([&item, &removeOne](int) { removeOne(item); }));
  for (std::future<void>& f : done) f.get();
}

}  // namespace

bool IsStateBeingRemoved(const std::string& name) {
  if (name.size() < 12 || name[0] != '.' || !IsDatedFolderName(std::string_view(name).substr(1, 10))) return false;
  return platform::isOwnTemporaryOf(name, name.substr(1, 10));
}

ThinningOutcome RemoveStates(const std::string& destination, const std::vector<DatedFolder>& folders) {
  ThinningOutcome outcome;
  std::vector<SetAside> items = EarlierSetAside(destination);
  const std::size_t earlier = items.size();
  for (const DatedFolder& f : folders) {
    SetAside item{f.name, platform::ownTemporaryBeside(f.path)};
    if (!platform::renamePath(f.path, item.path, &item.err))
      outcome.failed.push_back({f.name, item.err});
    else
      items.push_back(std::move(item));
  }
  RemoveAll(items);
  for (std::size_t i = 0; i < items.size(); ++i) {
    const SetAside& item = items[i];
    if (i < earlier) {
      outcome.finished += item.removed ? 1 : 0;
      if (!item.removed) outcome.failed.push_back({item.path.substr(item.path.rfind('/') + 1), item.err});
    } else if (item.removed) {
      outcome.removed.push_back(item.name);
    } else {
      outcome.failed.push_back({item.name, item.err});
    }
  }
  return outcome;
}

void ThinAfterPair(const std::string& destination, const BackupOptions& options, bool held, const CopyContext& ctx) {
  const ThinningRule rule = ThinningRuleOf(options);
  if (!options.SubVerzDatum) return;
  try {
    if (!held) {
      if (rule.active()) ReportLine(ctx, texts::THIN_NOT_HELD);
      return;
    }
    // Without a rule (switched off since) only what a thinning cut short left is finished.
    std::vector<DatedFolder> remove;
    for (const ThinningEntry& e : PlanThinning(ListDatedFolders(destination), platform::localNow(), rule))
      if (e.reason == KeepReason::Remove) remove.push_back(e.folder);
    const ThinningOutcome outcome = RemoveStates(destination, remove);
    for (const std::string& name : outcome.removed)
      ReportLine(ctx, fmt::sprintf(texts::THIN_REMOVED, WithTrailingSlash(destination) + name));
    if (outcome.finished > 0) ReportLine(ctx, fmt::sprintf(texts::THIN_FINISHED, outcome.finished));
    for (const ThinningOutcome::Failure& f : outcome.failed)
      ReportError(ctx, fmt::sprintf(texts::THIN_FAILED, WithTrailingSlash(destination) + f.name,
                                    SystemErrorText(f.err)));
  } catch (const std::exception&) {
    // A log that cannot be written ends the notes, not the run.
  }
}

}  // namespace kalvero
