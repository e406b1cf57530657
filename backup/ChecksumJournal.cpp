#include "backup/ChecksumJournal.h"

#include "backup/ChecksumRecords.h"
#include "platform/DirectoryReader.h"
#include "platform/FileError.h"
#include "platform/FileSystem.h"
#include "platform/OwnTemporary.h"
#include "platform/Sha256.h"

namespace kalvero {

namespace {

// Whether the folder holds anything a list should name (a backup made before
// there were lists); an empty or new folder gets its list from the journal.
bool HoldsFiles(const std::string& folder) {
  platform::DirectoryReader reader(folder);
  platform::DirEntry entry;
  while (reader.isOpen() && reader.next(entry))
    if (!IsChecksumListFileName(entry.name) && !platform::isProgramTemporaryName(entry.name)) return true;
  return false;
}

}  // namespace

void ChecksumJournal::begin(const std::string& folder, bool durable) {
  out_.close();
  folder_ = folder;
  durable_ = durable;
  failed_ = false;
  err_ = 0;
  // Two status calls a pair: a run that changes nothing reads no list.
  pending_ = platform::lstatPath(folder_ + std::string(kChecksumJournalName)).has_value();
  firstListing_ = !platform::lstatPath(folder_ + std::string(kChecksumListName)) && HoldsFiles(folder_);
}

bool ChecksumJournal::relative(const std::string& path, std::string& out) const {
  if (path.size() <= folder_.size() || path.compare(0, folder_.size(), folder_) != 0) return false;
  out.assign(path, folder_.size());
  return true;
}

void ChecksumJournal::stored(const std::string& path) {
  ChecksumRecord record;
  if (!relative(path, record.line.path)) return;
  int e = 0;
  // The bytes as they are in the destination now; one that cannot be read
  // back is named by no line rather than by a wrong one.
  if (!platform::Sha256OfFile(path, &record.line.digest, &e)) record.op = ChecksumRecord::Op::Remove;
  append(FormatChecksumRecord(record));
}

void ChecksumJournal::removed(const std::string& path) {
  ChecksumRecord record;
  record.op = ChecksumRecord::Op::Remove;
  if (relative(path, record.line.path)) append(FormatChecksumRecord(record));
}

// A file kept aside is read under its new name; a folder kept aside took its
// files along (and had its archives unpacked): the folder is walked at the end.
void ChecksumJournal::kept(const std::string& path, const std::string& keptAs) {
  removed(path);
  const auto st = platform::lstatPath(keptAs);
  if (!st || st->isSymlink) return;
  if (st->kind == platform::EntryKind::Directory)
    append(std::string(kWalkRecord));
  else if (st->kind == platform::EntryKind::File)
    stored(keptAs);
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
  r.update.cancel = cancel;
  r.firstListing = firstListing_;
  r.updated = UpdateChecksumList(r.update);
  // Cancelled while walking: the journal stays and asks the next run to walk.
  if (!r.updated && r.update.err == ECANCELED) {
    if (firstListing_) append(std::string(kWalkRecord));
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
