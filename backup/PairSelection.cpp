#include "backup/PairSelection.h"

#include <algorithm>
#include <string_view>
#include <vector>

#include "backup/CheckFile.h"
#include "backup/CompleteState.h"
#include "backup/CompressZip.h"
#include "backup/CopyRegister.h"
#include "backup/FoundList.h"
#include "backup/MountGuard.h"
#include "platform/CopyAttributes.h"
#include "platform/DirectoryReader.h"
#include "platform/PathUtil.h"
#include "run/ChecksumList.h"
#include "run/DatedFolders.h"
#include "run/Filters.h"

namespace kalvero {

namespace {

// The decision per file and link: the marker, the check file, the copy in
// the destination (see the header).
class Decision {
 public:
  Decision(const PairSelectionInput& in, const std::string& sourceRoot, const std::string& destRoot, bool archiveOnly)
      : in_(in),
        options_(*in.options),
        sourceRoot_(sourceRoot),
        destRoot_(destRoot),
        archiveOnly_(archiveOnly),
        complete_(in.options->SubVerzDatum && in.options->DatumVollstaendig),
        attributesKept_(platform::keepsModesAndOwners(destRoot)) {
    if (!in.linkBase.empty())
      if (const auto base = platform::statPath(in.linkBase)) baseDevice_ = base->device;
    if (!in.noCompress) {
      ownNoCompress_ = BuildNoCompressSet(options_.NotCompress);
      noCompress_ = &ownNoCompress_;
    } else {
      noCompress_ = in.noCompress;
    }
  }

  // What the copy in the destination says, before the marker and the check
  // file are asked (the check file may still be loading): bits below.
  static constexpr unsigned char TAKE = 1;        // missing, stale or another source's
  static constexpr unsigned char ATTRIBUTES = 2;  // a plain copy whose mode, owner or xattrs differ
  static constexpr unsigned char LINK_SAME = 4;   // a link whose copy has its target and time
  static constexpr unsigned char HOLDS = 8;       // a complete state's copy that holds the file as it is
  static constexpr unsigned char BASE_PLAIN = 16;    // the base state's plain copy holds it: linked there
  static constexpr unsigned char BASE_ARCHIVE = 32;  // the same, an archive
  unsigned char lookAtCopy(const FoundFile& e) {
    if (e.kind != EntryKind::File && e.kind != EntryKind::Symlink) return 0;
    const Form form = formOf(e);
    if (complete_ && e.kind == EntryKind::File && !in_.linkBase.empty()) return baseVerdict(e, form);
    if (complete_ && e.kind == EntryKind::File) return copyHolds(e, form, destRoot_) ? HOLDS : 0;
    const std::optional<platform::FileStatus>* copy = nullptr;
    if (e.copies.looked) copy = form == Form::Archive ? &e.copies.suffixed : &e.copies.plain;
    const bool present = copy && *copy && fits(form, **copy);
    unsigned char v = copy && !present ? TAKE : 0;
    if (present && form == Form::Link) v |= sameLink(e, **copy) ? LINK_SAME : TAKE;
    // Where the destination keeps no modes or owners, its copies show none to compare.
    if (present && attributesKept_) v |= attributeVerdict(e, form, **copy);
    if (!(v & TAKE) && takenByAnotherSource(e, form, present ? &**copy : nullptr)) v |= TAKE;
    return v;
  }

  // Sets entry.skip from the copy's verdict, the marker and the check file;
  // false when the entry is not handed on at all.
  bool decide(FoundFile& e, unsigned char verdict) {
    e.skip = 0;
    if (e.kind != EntryKind::File && e.kind != EntryKind::Symlink) return true;
    // A complete state takes every file; what an earlier run of the day put
    // there as it is now stays (never only attributes: the copy may be an
    // older state's file too).
    if (complete_) {
      if (verdict & (BASE_PLAIN | BASE_ARCHIVE)) e.skip = verdict & BASE_PLAIN ? 3 : 4;
      if ((verdict & HOLDS) || ((verdict & LINK_SAME) && !(verdict & TAKE))) e.skip = 1;
      return true;
    }
    const bool byMarker = archiveOnly_ && (e.kind == EntryKind::Symlink ? (verdict & LINK_SAME) != 0 : e.changed == 0);
    const bool byCheckFile = e.changed != 0 && checkFileSaysSame(e);
    // Never less than the marker or the check file take; more where the copy is missing or stale.
    if (!(byMarker || byCheckFile) || (verdict & TAKE)) return true;
    e.skip = verdict & ATTRIBUTES ? 2 : 1;
    // Unchanged by the marker alone and nothing to carry: not handed on, as always.
    return e.skip == 2 || byCheckFile;
  }

 private:
  enum class Form { Plain, Archive, Link };

  // The form this run stores the entry in; without a look at the source
  // directory an archive is assumed (takenByAnotherSource looks itself).
  Form formOf(const FoundFile& e) const {
    if (e.kind == EntryKind::Symlink) return Form::Link;
    if (!CompressDecision(e.path, e.size, options_.Compress, *noCompress_)) return Form::Plain;
    return e.copies.looked && e.copies.sourceHasSuffixed ? Form::Plain : Form::Archive;
  }

  // The copy the walk read beside the file, below root (today's folder or the
  // base state's), holds the file as it is now.
  bool copyHolds(const FoundFile& e, Form form, const std::string& root) {
    if (!e.copies.looked) return false;
    const auto& copy = form == Form::Archive ? e.copies.suffixed : e.copies.plain;
    return copy &&
           CopyHoldsSource(e.status, e.path, *copy, copyPath(e, form, root), form == Form::Archive, attributesKept_);
  }

  // The base state's copy holds the file and a link is all the run does for it.
  unsigned char baseVerdict(const FoundFile& e, Form form) {
    const auto& copy = form == Form::Archive ? e.copies.suffixed : e.copies.plain;
    // A marker that says changed is reset after the link: the general way.
    if (!e.copies.looked || !copy || copy->device != baseDevice_ || (options_.ArchivbitReset && e.changed) ||
        e.status.links > 1 || HasLineBreak(e.path) ||
        (form == Form::Archive && in_.checkFile))
      return 0;
    const std::string_view name = std::string_view(e.path).substr(e.path.rfind('/') + 1);
    if (IsProgramFileName(name) || (form == Form::Archive && !ArchiveNameFits(e.path))) return 0;
    if (!copyHolds(e, form, in_.linkBase)) return 0;
    return form == Form::Archive ? BASE_ARCHIVE : BASE_PLAIN;
  }

  static bool fits(Form form, const platform::FileStatus& copy) {
    return form == Form::Link ? copy.isSymlink : copy.kind == platform::EntryKind::File && !copy.isSymlink;
  }

  // The copy's full name below root in this run's form, in a buffer kept for the pair.
  const std::string& copyPath(const FoundFile& e, Form form, const std::string& root) {
    DestinationPathInto(copyPath_, e.path, sourceRoot_, root);
    if (form == Form::Archive) copyPath_ += ".zip";
    return copyPath_;
  }

  // Only files and links are recorded; a name with a line break never gets
  // a check-file line and is copied at every run. The key is looked up in
  // its two pieces (destination root, path below the source root): no
  // joined name is built for a file that is already recorded. A new file's
  // key is added by the run with the state its copy was read in; a link's
  // copy records none, so a new link's key is added here.
  bool checkFileSaysSame(const FoundFile& e) {
    if (!in_.checkFile) return false;
    const CheckKey key{destRoot_, PathBelowRoot(e.path, sourceRoot_)};
    if (HasLineBreak(key.head) || HasLineBreak(key.tail)) return false;
    return in_.checkFile->CheckAndConfirm(key, static_cast<std::int64_t>(e.size),
                                          static_cast<std::uint32_t>(e.lastWrite & 0xFFFFFFFFu),
                                          static_cast<std::uint32_t>(e.lastWrite >> 32), e.kind != EntryKind::File);
  }

  // A plain copy whose mode, owner or xattrs differ gets them; an archive
  // records the mode, one that no longer fits is made again; a link with
  // another owner is made again (root).
  unsigned char attributeVerdict(const FoundFile& e, Form form, const platform::FileStatus& copy) {
    if (form == Form::Plain) return attributesDiffer(e, copy) ? ATTRIBUTES : 0;
    if (form == Form::Archive)
      return !platform::archiveAttributesMatch(e.status, copy) || platform::changedAfter(e.status, copy) ? TAKE : 0;
    return platform::mayKeepOwners() && (copy.uid != e.status.uid || copy.gid != e.status.gid) ? TAKE : 0;
  }

  // A link is unchanged when its copy has its target text and its time.
  bool sameLink(const FoundFile& e, const platform::FileStatus& copy) {
    return copy.size == e.size && copy.mtimeSeconds == e.status.mtimeSeconds &&
           copy.mtimeNanoseconds == e.status.mtimeNanoseconds &&
           platform::sameLinkTarget(e.path, copyPath(e, Form::Link, destRoot_));
  }

  // Mode and owner from the two statuses; the xattrs only when the source's
  // status changed after the copy's.
  bool attributesDiffer(const FoundFile& e, const platform::FileStatus& copy) {
    if (!platform::plainCopyAttributesMatch(e.status, copy)) return true;
    if (!platform::changedAfter(e.status, copy)) return false;
    if (!platform::sameExtendedAttributes(e.path, copyPath(e, Form::Plain, destRoot_))) return true;
    // The same after all (a new name or the marker of another destination
    // changed the source's status): the copy is made the newer again, so
    // the next run need not look as closely.
    if (in_.mayTouchCopies) platform::touchChangeTime(copyPath_);
    return false;
  }

  // True when the destination's copy was put in place by this run for
  // another source (two pairs onto one name): this file is then taken, and
  // the run reports the clash instead of skipping it.
  bool takenByAnotherSource(const FoundFile& e, Form form, const platform::FileStatus* copy) {
    const CopyRegister* reg = in_.copiesPutInPlace;
    if (!reg || reg->empty()) return false;
    std::optional<platform::FileStatus> st;
    if (copy) {
      st = *copy;
    } else {
      if (form == Form::Archive && !e.copies.looked && GetPathKind(e.path + ".zip") != PathKind::Nothing) form = Form::Plain;
      st = platform::lstatPath(copyPath(e, form, destRoot_));
    }
    if (!st) return false;
    const auto recorded = reg->find(st->device, st->inode);
    return recorded && *recorded != std::hash<std::string>{}(e.path);
  }

  const PairSelectionInput& in_;
  const BackupOptions& options_;
  const std::string& sourceRoot_;
  const std::string& destRoot_;
  const bool archiveOnly_;
  const bool complete_;
  const bool attributesKept_;
  std::uint64_t baseDevice_ = 0;  // of the base state's folder: a copy on another is not linked this way
  NoCompressSet ownNoCompress_;
  const NoCompressSet* noCompress_ = nullptr;
  std::string copyPath_;
};

}  // namespace

PairPlan PlanPair(const DirPair& pair, const BackupOptions& options, const DateFilter& dateFilter,
                  CheckFile* checkFile, const NoCompressSet* noCompress) {
  PairPlan plan;
  plan.destinationRoot = PairDestinationRoot(pair, options, platform::localNow());
  plan.selection.pair = &pair;
  plan.selection.options = &options;
  plan.selection.dateFilter = &dateFilter;
  plan.selection.destinationRoot = plan.destinationRoot;
  plan.selection.checkFile = checkFile;
  plan.selection.noCompress = noCompress;
  return plan;
}

namespace {

// The pair's name patterns, in the lists the walk points into.
struct PatternLists {
  std::vector<std::string> allowed, excluded;
};

PatternLists PatternListsOf(const BackupOptions& options) {
  PatternLists p;
  if (options.MusterFlagErlaubt && !options.MusterErlaubt.empty()) BuildPatternList(options.MusterErlaubt, p.allowed);
  if (options.MusterFlagNichtErlaubt && !options.MusterNichtErlaubt.empty())
    BuildPatternList(options.MusterNichtErlaubt, p.excluded);
  return p;
}

// The walk of one pair: its filters, what it hands on, and where it reads
// the copies beside the source. exclusions and patterns must outlive it.
WalkOptions WalkOptionsFor(const PairSelectionInput& in, const ExclusionLists& exclusions,
                           const PatternLists& patterns, const std::string& sourceRoot, const std::string& destRoot) {
  const DirPair& pair = *in.pair;
  const BackupOptions& options = *in.options;
  const DateBounds bounds = MakeDateBounds(*in.dateFilter, options.Datum);
  WalkOptions walk;
  walk.withSubdirs = pair.withSubdirs;
  const bool dated = options.SubVerzDatum != 0;
  // A complete state takes every file: the marker does not choose.
  const bool complete = dated && options.DatumVollstaendig;
  walk.archiveOnly = !complete && options.Archivbit && !(dated && ListDatedFolders(pair.destination).empty());
  walk.allowedPatterns = patterns.allowed.empty() ? nullptr : &patterns.allowed;
  walk.excludedPatterns = patterns.excluded.empty() ? nullptr : &patterns.excluded;
  walk.from = bounds.from;
  walk.to = bounds.to;
  walk.excludedDirectories = exclusions.directories.empty() ? nullptr : &exclusions.directories;
  walk.excludedTrees = exclusions.trees.empty() ? nullptr : &exclusions.trees;
  // Links are backed up as links; directories and special files are handed
  // on too, so the run can create empty ones and name the others.
  walk.allKinds = true;
  walk.onDirectoryError = in.onDirectoryError;
  // What the marker and the check file skip is held against the copies,
  // read beside the source; today's dated folder holds only today's files.
  // A complete state: what an earlier run of the day left in its folder.
  const bool againToday = complete && GetPathKind(destRoot) == PathKind::Directory;
  if (!in.linkBase.empty()) {
    // A new complete state: the copies that matter are the base state's.
    walk.copiesRoot = in.linkBase;
    walk.sourceRoot = sourceRoot;
    walk.readMarkers = options.ArchivbitReset != 0;
    if (options.Compress) walk.copySuffix = ".zip";
  } else if (((walk.archiveOnly || in.checkFile) && !dated) || againToday) {
    walk.copiesRoot = destRoot;
    walk.sourceRoot = sourceRoot;
    if (options.Compress) walk.copySuffix = ".zip";
  }
  return walk;
}

// The entries found while the check file still loads, in the walk's order:
// a found list's records and names, the time and the copy's verdict beside.
class HeldEntries {
 public:
  void add(const FoundFile& e, unsigned char verdict) {
    found_.add(e);
    times_.push_back(e.lastWrite);
    verdicts_.push_back(verdict);
  }
  std::size_t size() const { return found_.size(); }
  // Each entry to decide(entry, verdict) in order, then none held; what was
  // handed on is given back on the way.
  template <typename Decide>
  void handOn(Decide& decide) {
    FoundFile e;
    for (std::size_t i = 0; i < found_.size(); ++i) {
      if (i % 4096 == 0) release(i);
      const FoundList::Entry& r = found_[i];
      found_.path(i, e.path);
      e.size = r.size;
      e.lastWrite = times_[i];
      e.kind = r.kind;
      e.changed = r.changed;
      e.copyMatches = r.copyMatches;
      e.status.links = r.manyLinks ? 2 : 1;  // only more than one counts after the look at the copy
      decide(e, verdicts_[i]);
    }
    found_.clear();
    times_.clear();
    verdicts_.clear();
  }

 private:
  void release(std::size_t i) {
    found_.releaseBefore(i);
    times_.releaseBefore(i);
    verdicts_.releaseBefore(i);
  }
  FoundList found_;
  ChunkedArray<platform::FileTime> times_;
  ChunkedArray<unsigned char> verdicts_;
};

}  // namespace

PairSelectionResult SelectPair(const PairSelectionInput& in) {
  PairSelectionResult result;
  // Never onto a drive that is not plugged in: the pair is left out.
  result.unmounted = IsOnUnmountedDrive(in.destinationRoot);
  if (result.unmounted) return result;

  const DirPair& pair = *in.pair;
  const ExclusionLists exclusions = SplitExclusions(pair);
  const PatternLists patterns = PatternListsOf(*in.options);
  const std::string sourceRoot = WithTrailingSlash(pair.source);
  const std::string destRoot = WithTrailingSlash(in.destinationRoot);
  WalkOptions walk = WalkOptionsFor(in, exclusions, patterns, sourceRoot, destRoot);
  Decision decision(in, sourceRoot, destRoot, walk.archiveOnly != 0);
  const auto decide = [&](FoundFile& entry, unsigned char verdict) {
    if (!decision.decide(entry, verdict)) return;
    if (entry.kind == EntryKind::File || entry.kind == EntryKind::Symlink) {
      result.totalBytes += entry.size;
      if (entry.skip == 1 || entry.skip == 2) result.skippedBytes += entry.size;
    }
    if (in.onEntry) in.onEntry(entry);
  };
  // Found while the check file was still loading: the copy is looked at
  // now, the rest kept in a found list's small records until the check file
  // can be asked.
  HeldEntries held;
  bool ready = !in.checkFile || !in.checkFileReady;
  const auto handOnHeld = [&] {
    if (held.size() != 0) held.handOn(decide);
  };
  walk.onFile = [&](FoundFile& entry) {
    // The copies read beside a new complete state are the base state's, not the pair's.
    if (!in.linkBase.empty()) entry.copyMatches = false;
    const unsigned char verdict = decision.lookAtCopy(entry);
    if (!ready && !(ready = in.checkFileReady(false))) {
      held.add(entry, verdict);
      return;
    }
    handOnHeld();
    decide(entry, verdict);
  };
  WalkDirectory(pair.source, walk);
  if (held.size() != 0) {
    in.checkFileReady(true);
    handOnHeld();
  }
  return result;
}

}  // namespace kalvero
