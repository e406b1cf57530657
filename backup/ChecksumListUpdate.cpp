#include "backup/ChecksumListUpdate.h"

#include <cerrno>
#include <optional>

#include "backup/ChecksumRecords.h"
#include "platform/FileSystem.h"
#include "platform/Sha256.h"

namespace kalvero {

namespace {

// The digests of the base state's list, asked for in the list's order: a
// linked file takes the line of the same path when both names are still one
// file (nothing in a backup is changed in place).
class BaseDigests {
 public:
  BaseDigests(const std::string& base, bool checked) : base_(base), checked_(checked) {
    if (!base_.empty()) list_.emplace(base_ + std::string(kChecksumListName));
  }

  bool find(const std::string& folder, const std::string& path, platform::Sha256Digest* digest) {
    if (!list_) return false;
    if (!started_) {
      have_ = list_->next(head_);
      started_ = true;
    }
    while (have_ && head_.line.path < path) have_ = list_->next(head_);
    if (!have_ || head_.line.path != path) return false;
    if (checked_) return take(digest);
    const auto here = platform::lstatPath(folder + path), there = platform::lstatPath(base_ + path);
    if (!here || !there || here->device != there->device || here->inode != there->inode) return false;
    return take(digest);
  }
  std::size_t found = 0;

 private:
  bool take(platform::Sha256Digest* digest) {
    *digest = head_.line.digest;
    ++found;
    return true;
  }

  std::string base_;
  bool checked_;
  std::optional<ListSource> list_;
  ChecksumRecord head_;
  bool started_ = false, have_ = false;
};

// The records of several sorted sources as one: for a path several name,
// the latest source (the highest index) wins; removals are dropped, and a
// pending record gets its digest read from the folder (dropped when the file
// is gone or unreadable); a linked record takes the base's digest, else is
// read as a pending one.
class MergedRecords {
 public:
  MergedRecords(std::string folder, std::vector<RecordSource*> sources, BaseDigests& base)
      : folder_(std::move(folder)), sources_(std::move(sources)), heads_(sources_.size()), base_(base) {
    for (std::size_t i = 0; i < sources_.size(); ++i) advance(i);
  }

  bool next(ChecksumRecord& out) {
    for (;;) {
      std::optional<std::size_t> first;
      for (std::size_t i = 0; i < heads_.size(); ++i)
        if (heads_[i] && (!first || heads_[i]->line.path < heads_[*first]->line.path)) first = i;
      if (!first) return false;
      path_ = heads_[*first]->line.path;
      std::size_t winner = *first;
      for (std::size_t i = *first + 1; i < heads_.size(); ++i)
        if (heads_[i] && heads_[i]->line.path == path_) winner = i;
      out = std::move(*heads_[winner]);
      for (std::size_t i = 0; i < heads_.size(); ++i)
        if (heads_[i] && (i == winner || heads_[i]->line.path == path_)) advance(i);
      if (out.op == ChecksumRecord::Op::Add) return true;
      if (out.op == ChecksumRecord::Op::Linked && base_.find(folder_, out.line.path, &out.line.digest)) {
        out.op = ChecksumRecord::Op::Add;
        return true;
      }
      int e = 0;
      if (out.op != ChecksumRecord::Op::Remove && platform::Sha256OfFile(folder_ + out.line.path, &out.line.digest, &e)) {
        out.op = ChecksumRecord::Op::Add;
        return true;
      }
    }
  }

 private:
  void advance(std::size_t i) {
    ChecksumRecord r;
    if (sources_[i]->next(r))
      heads_[i] = std::move(r);
    else
      heads_[i].reset();
  }

  std::string folder_;
  std::vector<RecordSource*> sources_;
  std::vector<std::optional<ChecksumRecord>> heads_;
  BaseDigests& base_;
  std::string path_;
};

// The new list through a buffer, under a temporary name until commit.
class ListWriter {
 public:
  explicit ListWriter(const std::string& path) : file_(path) {}
  bool open(int* err) { return file_.open(err); }
  bool add(const ChecksumLine& line, int* err) {
    buffer_ += FormatChecksumLine(line);
    ++lines_;
    return buffer_.size() < (256u << 10) || flush(err);
  }
  bool commit(int* err) { return flush(err) && file_.commit(err); }
  std::size_t lines() const { return lines_; }

 private:
  bool flush(int* err) {
    const bool ok = file_.write(buffer_, err);
    buffer_.clear();
    return ok;
  }
  platform::AtomicFileWriter file_;
  std::string buffer_;
  std::size_t lines_ = 0;
};

// The journal's records into the sorter; a walk record sets walk.
bool ReadJournal(const std::string& path, RecordSorter& sorter, bool& walk, int* err) {
  LineReader reader;
  if (!reader.open(path)) return true;  // no journal: nothing to fold in
  std::string text;
  ChecksumRecord record;
  while (reader.next(text)) {
    if (text.size() + 1 == kWalkRecord.size() && kWalkRecord.compare(0, text.size(), text) == 0)
      walk = true;
    else if (ParseChecksumRecord(text, &record) && !sorter.add(std::move(record), err))
      return false;
  }
  return true;
}

// Every file of the folder, with the merged line that names it or its hash.
bool WriteWalked(ChecksumListUpdate& u, MergedRecords& merged, ListWriter& out) {
  FolderFiles files(u.folder);
  std::string file;
  ChecksumRecord known;
  bool haveKnown = merged.next(known);
  while (files.next(file)) {
    if (u.cancel && u.cancel->load(std::memory_order_relaxed)) {
      u.err = ECANCELED;
      return false;
    }
    while (haveKnown && known.line.path < file) haveKnown = merged.next(known);
    if (haveKnown && known.line.path == file) {
      if (!out.add(known.line, &u.err)) return false;
      continue;
    }
    ChecksumLine line{file, {}};
    int e = 0;
    if (!platform::Sha256OfFile(u.folder + file, &line.digest, &e)) {
      ++u.unreadable;
      continue;
    }
    ++u.hashed;
    if (!out.add(line, &u.err)) return false;
  }
  u.walked = true;
  return true;
}

// One attempt; listSorted false puts the old list through the sorter too.
// Sets retry when the old list turned out not to be sorted.
bool Build(ChecksumListUpdate& u, bool listSorted, bool& retry) {
  const std::string listPath = u.folder + std::string(kChecksumListName);
  RecordSorter sorter(listPath);
  std::optional<ListSource> list;
  if (listSorted) {
    list.emplace(listPath);
  } else {
    LineReader reader;
    std::string text;
    ChecksumRecord record;
    if (reader.open(listPath))
      while (reader.next(text))
        if (ParseChecksumLine(text, &record.line) && !sorter.add(record, &u.err)) return false;
  }
  bool walk = u.walk;
  if (!ReadJournal(u.folder + std::string(kChecksumJournalName), sorter, walk, &u.err)) return false;
  auto pieces = sorter.sources();
  std::vector<RecordSource*> sources;
  if (list) sources.push_back(&*list);
  for (auto& p : pieces) sources.push_back(p.get());
  BaseDigests base(u.base, u.linksChecked);
  MergedRecords merged(u.folder, std::move(sources), base);

  ListWriter out(listPath);
  if (!out.open(&u.err)) return false;
  if (walk) {
    if (!WriteWalked(u, merged, out)) return false;
  } else {
    for (ChecksumRecord r; merged.next(r);)
      if (!out.add(r.line, &u.err)) return false;
  }
  if (list && list->outOfOrder()) {
    retry = true;
    return false;
  }
  u.lines = out.lines();
  u.fromBase = base.found;
  // The list never names a copy a crash could still take away.
  if (!platform::syncFileSystemOf(u.folder, &u.err)) return false;
  return out.commit(&u.err);
}

}  // namespace

bool UpdateChecksumList(ChecksumListUpdate& u) {
  bool retry = false;
  bool ok = Build(u, true, retry);
  if (!ok && retry) ok = Build(u, false, retry);
  if (!ok) return false;
  platform::removeFile(u.folder + std::string(kChecksumJournalName));
  return true;
}

}  // namespace kalvero
