#pragma once
// The pieces the checksum list is rebuilt from, each a stream of records
// sorted by path (raw bytes, as memcmp orders them) with one record per path:
// the list itself, the journal's records sorted in bounded pieces, and the
// files a destination folder really holds.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/Files.h"
#include "run/ChecksumList.h"

namespace kalvero {

struct ChecksumRecord {
  // Pending: the file is in place, its digest not yet noted (read at the fold).
  // Linked: the file is a second name of the same path's file in the folder's
  // base state, whose list gives the digest (read from the file when not).
  enum class Op : char { Add = '+', Remove = '-', Pending = '?', Linked = '=' };
  Op op = Op::Add;
  ChecksumLine line;
};

// A journal line: "+", "-", "?" or "=" before the list's own line form. "*" alone asks
// for a walk of the whole folder (a folder kept aside took its files along).
std::string FormatChecksumRecord(const ChecksumRecord& record);
inline constexpr std::string_view kWalkRecord = "*\n";
// False for a line that is neither (a torn last line of a killed run).
bool ParseChecksumRecord(std::string_view text, ChecksumRecord* record);

// Reads a file line by line through a buffer; the line is without its "\n".
class LineReader {
 public:
  bool open(const std::string& path, int* err = nullptr);
  bool next(std::string& line);
  int error() const { return err_; }

 private:
  platform::InputFile file_;
  std::string buffer_;
  std::size_t pos_ = 0;
  bool atEnd_ = false;
  int err_ = 0;
};

// One sorted stream of records.
class RecordSource {
 public:
  virtual ~RecordSource() = default;
  virtual bool next(ChecksumRecord& record) = 0;
};

// The list as written (sorted); out of order tells that it was not.
class ListSource : public RecordSource {
 public:
  explicit ListSource(const std::string& path) { reader_.open(path); }
  bool next(ChecksumRecord& record) override;
  bool outOfOrder() const { return outOfOrder_; }

 private:
  LineReader reader_;
  std::string text_, last_;
  bool first_ = true;
  bool outOfOrder_ = false;
};

// Records in any order, sorted in pieces of bounded size: a piece that fills
// up goes sorted to a temporary file beside the list; the last stays here.
// The latest record of a path wins within the sorter.
class RecordSorter {
 public:
  explicit RecordSorter(std::string listPath) : listPath_(std::move(listPath)) {}
  ~RecordSorter();
  RecordSorter(const RecordSorter&) = delete;
  RecordSorter& operator=(const RecordSorter&) = delete;

  bool add(ChecksumRecord record, int* err);
  // The sorted pieces, oldest first; the sorter must outlive them.
  std::vector<std::unique_ptr<RecordSource>> sources();

 private:
  void sortPiece();
  bool spill(int* err);

  std::string listPath_;
  std::vector<ChecksumRecord> piece_;
  std::size_t pieceBytes_ = 0;
  std::vector<std::string> spilled_;
};

// The regular files below a folder, sorted as the list is, without the list,
// its journal and the program's own temporaries; never through a link.
class FolderFiles {
 public:
  explicit FolderFiles(std::string folder);  // with "/"
  bool next(std::string& relativePath);

 private:
  struct Level {
    std::string prefix;  // relative, with "/" (empty at the top)
    std::vector<std::pair<std::string, bool>> entries;  // sort key (directories with "/"), directory
    std::size_t index = 0;
  };
  void enter(const std::string& prefix);

  std::string folder_;
  std::vector<Level> stack_;
};

}  // namespace kalvero
