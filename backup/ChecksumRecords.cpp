#include "backup/ChecksumRecords.h"

#include <algorithm>
#include <cerrno>

#include "platform/DirectoryReader.h"
#include "platform/FileCopy.h"
#include "platform/OwnTemporary.h"

namespace kalvero {

namespace {

// A sorted piece in memory holds at most about this much, so a first backup
// of a million files keeps a few MiB of the journal at a time (smaller
// pieces cost more in the merge's read buffers than they save).
constexpr std::size_t kPieceBytes = 4u << 20;
constexpr std::size_t kRecordOverhead = 96;

class SpilledSource : public RecordSource {
 public:
  explicit SpilledSource(const std::string& path) { reader_.open(path); }
  bool next(ChecksumRecord& record) override {
    while (reader_.next(text_))
      if (ParseChecksumRecord(text_, &record)) return true;
    return false;
  }

 private:
  LineReader reader_;
  std::string text_;
};

class PieceSource : public RecordSource {
 public:
  explicit PieceSource(std::vector<ChecksumRecord>& piece) : piece_(piece) {}
  bool next(ChecksumRecord& record) override {
    if (index_ >= piece_.size()) return false;
    record = std::move(piece_[index_++]);
    return true;
  }

 private:
  std::vector<ChecksumRecord>& piece_;
  std::size_t index_ = 0;
};

}  // namespace

std::string FormatChecksumRecord(const ChecksumRecord& record) {
  return static_cast<char>(record.op) + FormatChecksumLine(record.line);
}

bool ParseChecksumRecord(std::string_view text, ChecksumRecord* record) {
  if (text.size() < 2 || (text[0] != '+' && text[0] != '-' && text[0] != '?' && text[0] != '=')) return false;
  record->op = static_cast<ChecksumRecord::Op>(text[0]);
  return ParseChecksumLine(text.substr(1), &record->line);
}

bool LineReader::open(const std::string& path, int* err) {
  buffer_.clear();
  pos_ = 0;
  atEnd_ = false;
  err_ = 0;
  if (file_.open(path, &err_)) return true;
  if (err) *err = err_;
  atEnd_ = true;
  return false;
}

bool LineReader::next(std::string& line) {
  for (;;) {
    const std::size_t end = buffer_.find('\n', pos_);
    if (end != std::string::npos) {
      line.assign(buffer_, pos_, end - pos_);
      pos_ = end + 1;
      return true;
    }
    if (atEnd_) {
      // A last line without "\n" (a list edited by hand) still counts.
      if (pos_ >= buffer_.size()) return false;
      line.assign(buffer_, pos_);
      pos_ = buffer_.size();
      return true;
    }
    buffer_.erase(0, pos_);
    pos_ = 0;
    const std::size_t have = buffer_.size();
    buffer_.resize(have + (64u << 10));
    const long long n = file_.tryRead(buffer_.data() + have, buffer_.size() - have, &err_);
    buffer_.resize(have + static_cast<std::size_t>(std::max(0LL, n)));
    if (n <= 0) atEnd_ = true;
  }
}

bool ListSource::next(ChecksumRecord& record) {
  while (reader_.next(text_)) {
    if (!ParseChecksumLine(text_, &record.line)) continue;  // not a line sha256sum would check either
    record.op = ChecksumRecord::Op::Add;
    if (!first_ && record.line.path <= last_) {
      outOfOrder_ = true;
      return false;
    }
    first_ = false;
    last_ = record.line.path;
    return true;
  }
  return false;
}

RecordSorter::~RecordSorter() {
  for (const std::string& path : spilled_) platform::discardTemporary(path);
}

bool RecordSorter::add(ChecksumRecord record, int* err) {
  pieceBytes_ += record.line.path.size() + kRecordOverhead;
  piece_.push_back(std::move(record));
  return pieceBytes_ < kPieceBytes || spill(err);
}

// Sorted by path; of several records of one path only the latest stays.
void RecordSorter::sortPiece() {
  std::stable_sort(piece_.begin(), piece_.end(),
                   [](const ChecksumRecord& a, const ChecksumRecord& b) { return a.line.path < b.line.path; });
  std::size_t out = 0;
  for (std::size_t i = 0; i < piece_.size(); ++i) {
    if (i + 1 < piece_.size() && piece_[i + 1].line.path == piece_[i].line.path) continue;
    if (out != i) piece_[out] = std::move(piece_[i]);
    ++out;
  }
  piece_.resize(out);
}

bool RecordSorter::spill(int* err) {
  sortPiece();
  const std::string path = platform::ownTemporaryBeside(listPath_);
  platform::TextFileWriter out;
  if (!out.open(path, platform::TextFileWriter::Mode::Truncate, err, 0600)) return false;
  spilled_.push_back(path);
  try {
    for (const ChecksumRecord& r : piece_) out.write(FormatChecksumRecord(r));
    out.flush();
  } catch (const std::exception&) {
    if (err) *err = ENOSPC;
    return false;
  }
  out.close();
  piece_.clear();
  pieceBytes_ = 0;
  return true;
}

std::vector<std::unique_ptr<RecordSource>> RecordSorter::sources() {
  sortPiece();
  std::vector<std::unique_ptr<RecordSource>> out;
  for (const std::string& path : spilled_) out.push_back(std::make_unique<SpilledSource>(path));
  out.push_back(std::make_unique<PieceSource>(piece_));
  return out;
}

FolderFiles::FolderFiles(std::string folder) : folder_(std::move(folder)) { enter(""); }

// A directory's entries sorted so that the whole walk gives its paths in
// byte order: a directory sorts as its name with "/", as its files will.
void FolderFiles::enter(const std::string& prefix) {
  Level level;
  level.prefix = prefix;
  platform::DirectoryReader reader(folder_ + prefix);
  platform::DirEntry entry;
  while (reader.isOpen() && reader.next(entry)) {
    if (platform::isProgramTemporaryName(entry.name)) continue;
    if (prefix.empty() && IsProgramFileName(entry.name)) continue;
    if (entry.status.isSymlink) continue;
    if (entry.kind == platform::EntryKind::Directory)
      level.entries.emplace_back(entry.name + "/", true);
    else if (entry.kind == platform::EntryKind::File)
      level.entries.emplace_back(entry.name, false);
  }
  std::sort(level.entries.begin(), level.entries.end());
  stack_.push_back(std::move(level));
}

bool FolderFiles::next(std::string& relativePath) {
  while (!stack_.empty()) {
    Level& top = stack_.back();
    if (top.index >= top.entries.size()) {
      stack_.pop_back();
      continue;
    }
    const auto& [key, directory] = top.entries[top.index++];
    if (directory) {
      enter(top.prefix + key);  // top may move: nothing of it is used afterwards
      continue;
    }
    relativePath = top.prefix + key;
    return true;
  }
  return false;
}

}  // namespace kalvero
