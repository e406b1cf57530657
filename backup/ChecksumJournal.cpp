#include "backup/ChecksumJournal.h"

#include "backup/ChecksumRecords.h"
#include "platform/DirectoryReader.h"
#include "platform/FileError.h"
#include "platform/FileSystem.h"
#include "platform/OwnTemporary.h"
#include "platform/Sha256.h"
#include "run/WorkerPool.h"

namespace kalvero {

namespace {

// Whether the folder holds anything a list should name (a backup made before
// there were lists); an empty or new folder gets its list from the journal.
bool HoldsFiles(const std::string& folder) {
  platform::DirectoryReader reader(folder);
  platform::DirEntry entry;
  while (reader.isOpen() && reader.next(entry))
    if (!IsProgramFileName(entry.name) && !platform::isProgramTemporaryName(entry.name)) return true;
  return false;
}

}  // namespace

ChecksumJournal::~ChecksumJournal() { stopHashing(); }

void ChecksumJournal::begin(const std::string& folder, bool durable) {
  stopHashing();
  out_.close();
  folder_ = folder;
  durable_ = durable;
  aside_ = RunThreadCount() > 1;
  failed_ = false;
  err_ = 0;
  // Two status calls a pair: a run that changes nothing reads no list.
  pending_ = platform::lstatPath(folder_ + std::string(kChecksumJournalName)).has_value();
  inherited_ = pending_;
  firstListing_ = !platform::lstatPath(folder_ + std::string(kChecksumListName)) && HoldsFiles(folder_);
}

bool ChecksumJournal::relative(const std::string& path, std::string& out) const {
  if (path.size() <= folder_.size() || path.compare(0, folder_.size(), folder_) != 0) return false;
  out.assign(path, folder_.size());
  return true;
}

void ChecksumJournal::stored(const std::string& path) {
  ChecksumRecord pending;
  if (!relative(path, pending.line.path)) return;
  if (!aside_) {
    hashAndRecord(path);
    return;
  }
  // Noted at once where a lost record would matter; the digest follows from
  // the hashing thread (or is read when the journal is folded in).
  if (durable_) {
    pending.op = ChecksumRecord::Op::Pending;
    record(FormatChecksumRecord(pending));
  }
  enqueue({true, path});
}

void ChecksumJournal::stored(const std::string& path, const platform::Sha256Digest& digest) {
  ChecksumRecord done;
  if (!relative(path, done.line.path)) return;
  done.line.digest = digest;
  const std::string text = FormatChecksumRecord(done);
  {
    // No digest of an earlier copy is still to come: this one goes straight in.
    std::lock_guard lock(mutex_);
    if (queue_.empty() && !hashing_) return append(text);
  }
  if (durable_) {
    ChecksumRecord pending;
    pending.op = ChecksumRecord::Op::Pending;
    pending.line.path = done.line.path;
    record(FormatChecksumRecord(pending));
  }
  enqueue({false, text});
}

// A record without a digest. With the hashing thread it goes through its
// queue, so that it never overtakes the digest of an earlier copy.
void ChecksumJournal::note(const std::string& text) {
  if (aside_) {
    // Nothing of an earlier copy still to come: it goes straight in, once.
    std::lock_guard lock(mutex_);
    if (queue_.empty() && !hashing_) return append(text);
  }
  if (!aside_ || durable_) record(text);
  if (aside_) enqueue({false, text});
}

void ChecksumJournal::enqueue(Job job) {
  std::unique_lock lock(mutex_);
  if (!hasher_.joinable()) {
    closing_ = false;
    hasher_ = std::thread([this] { hashAside(); });
  }
  room_.wait(lock, [this] { return queue_.size() < 4096; });
  queue_.push_back(std::move(job));
  work_.notify_one();
}

// The bytes as they are in the destination now; one that cannot be read back
// is named by no line rather than by a wrong one.
void ChecksumJournal::hashAndRecord(const std::string& path) {
  ChecksumRecord record;
  if (!relative(path, record.line.path)) return;
  int e = 0;
  if (!platform::Sha256OfFile(path, &record.line.digest, &e)) record.op = ChecksumRecord::Op::Remove;
  this->record(FormatChecksumRecord(record));
}

void ChecksumJournal::hashAside() {
  std::unique_lock lock(mutex_);
  for (;;) {
    work_.wait(lock, [this] { return closing_ || !queue_.empty(); });
    if (queue_.empty()) return;
    const Job job = std::move(queue_.front());
    queue_.pop_front();
    room_.notify_one();
    if (!job.hash) {
      append(job.text);
      continue;
    }
    hashing_ = true;
    lock.unlock();
    hashAndRecord(job.text);
    lock.lock();
    hashing_ = false;
  }
}

void ChecksumJournal::stopHashing() {
  {
    std::lock_guard lock(mutex_);
    closing_ = true;
  }
  work_.notify_all();
  if (hasher_.joinable()) hasher_.join();
}

void ChecksumJournal::linked(const std::string& path) {
  ChecksumRecord record;
  record.op = ChecksumRecord::Op::Linked;
  if (relative(path, record.line.path)) note(FormatChecksumRecord(record));
}

void ChecksumJournal::removed(const std::string& path) {
  ChecksumRecord record;
  record.op = ChecksumRecord::Op::Remove;
  if (relative(path, record.line.path)) note(FormatChecksumRecord(record));
}

void ChecksumJournal::keeping(const std::string& path) {
  ChecksumRecord record;
  record.op = ChecksumRecord::Op::Remove;
  if (!relative(path, record.line.path)) return;
  std::lock_guard lock(mutex_);
  append(FormatChecksumRecord(record));
  append(std::string(kWalkRecord));
  if (failed_ || !out_.isOpen()) return;
  try {
    out_.flush();
  } catch (const platform::FileError& e) {
    failed_ = true;
    err_ = e.osError();
  }
}

// A file kept aside is read under its new name; a folder kept aside took its
// files along (and had its archives unpacked): the folder is walked at the end.
void ChecksumJournal::kept(const std::string& path, const std::string& keptAs) {
  removed(path);
  const auto st = platform::lstatPath(keptAs);
  if (!st || st->isSymlink) return;
  if (st->kind == platform::EntryKind::Directory)
    note(std::string(kWalkRecord));
  else if (st->kind == platform::EntryKind::File)
    stored(keptAs);
}

void ChecksumJournal::record(const std::string& text) {
  std::lock_guard lock(mutex_);
  append(text);
}

void ChecksumJournal::append(const std::string& record) {
  if (failed_ || folder_.empty()) return;
  try {
    if (!out_.isOpen()) {
      const std::string path = folder_ + std::string(kChecksumJournalName);
      // A killed run may have left half a line: ours start on a line of their own.
      const bool existing = platform::lstatPath(path).has_value();
      if (!out_.open(path, platform::TextFileWriter::Mode::Append, &err_)) {
        failed_ = true;
        return;
      }
      if (existing) out_.write("\n");
    }
    out_.write(record);
    if (durable_) out_.flush();
    pending_ = true;
  } catch (const platform::FileError& e) {
    failed_ = true;
    err_ = e.osError();
  }
}

ChecksumJournal::Result ChecksumJournal::finish(const std::atomic<int>* cancel) {
  stopHashing();  // every digest of the pair noted
  Result r;
  try {
    if (out_.isOpen()) out_.flush();
  } catch (const platform::FileError& e) {
    failed_ = true;
    err_ = e.osError();
  }
  out_.close();
  if (failed_) {
    // A list that may miss this run's changes would name old contents as
    // good: it goes, and the next run lists the folder anew.
    platform::removeFile(folder_ + std::string(kChecksumListName));
    r.failed = true;
    r.err = err_;
    return r;
  }
  if (!pending_ && !firstListing_) return r;
  r.update.folder = folder_;
  r.update.walk = firstListing_;
  r.update.base = base_;
  // Only this run's links, all made against base_: no need to look again.
  r.update.linksChecked = !inherited_;
  r.update.cancel = cancel;
  r.firstListing = firstListing_;
  r.updated = UpdateChecksumList(r.update);
  // Cancelled while walking: the journal stays and asks the next run to walk.
  if (!r.updated && r.update.err == ECANCELED) {
    if (firstListing_) record(std::string(kWalkRecord));
    out_.close();
    return r;
  }
  if (!r.updated) {
    r.failed = true;
    r.err = r.update.err;
  }
  pending_ = firstListing_ = false;
  return r;
}

}  // namespace kalvero
