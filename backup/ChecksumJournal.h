#pragma once
// What a pair's run changed in its destination folder, for the checksum list
// there: a record after each copy is in place (its digest read back from the
// destination), after each removal and each entry kept aside, appended in the
// order the run handles files. At the pair's end the journal is folded into
// the list; a pair that changed nothing reads and writes neither.
#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

#include "backup/ChecksumListUpdate.h"
#include "platform/Files.h"
#include "platform/Sha256.h"

namespace kalvero {

class ChecksumJournal {
 public:
  ChecksumJournal() = default;
  ~ChecksumJournal();
  ChecksumJournal(const ChecksumJournal&) = delete;
  ChecksumJournal& operator=(const ChecksumJournal&) = delete;

  // The pair's destination folder (with "/"). A journal left by a killed run
  // is folded in at this pair's end; a folder with files but no list yet is
  // walked then. durable: a record reaches the file before the call returns
  // (the run then resets archive markers that would let the next run skip a
  // file whose record was lost). With more than one thread for the run the
  // digests are read on a thread of their own while the run goes on.
  void begin(const std::string& folder, bool durable);

  // path (below the folder) now holds a new copy or archive.
  void stored(const std::string& path);
  // The same, with the digest of the bytes as the copy wrote them.
  void stored(const std::string& path, const platform::Sha256Digest& digest);
  // path (below the folder) is now a second name of the same path's file in
  // the base state: its digest comes from the base's list at the fold.
  void linked(const std::string& path);
  // The complete state whose files this pair links to (with "/", empty: none).
  void setBase(const std::string& base) { base_ = base; }
  // path is gone from the folder.
  void removed(const std::string& path);
  // The entry at path is about to be moved aside: the journal says at once,
  // on the disk, that the name goes and the folder is to be walked, so a kill
  // before kept() leaves no line naming what is gone.
  void keeping(const std::string& path);
  // The entry at path now is keptAs.
  void kept(const std::string& path, const std::string& keptAs);

  struct Result {
    bool updated = false;  // a list was written
    bool failed = false;   // the list could not be kept up to date (err)
    int err = 0;
    bool firstListing = false;  // a folder without a list was walked
    ChecksumListUpdate update;
  };
  // Folds the journal into the list (nothing when the pair changed nothing).
  Result finish(const std::atomic<int>* cancel);

 private:
  bool relative(const std::string& path, std::string& out) const;
  struct Job {
    bool hash = false;  // text is a copy's path whose digest is read, else a record
    std::string text;
  };
  void append(const std::string& record);  // with mutex_ held
  void record(const std::string& record);
  void note(const std::string& record);
  void enqueue(Job job);
  void hashAndRecord(const std::string& path);
  void hashAside();
  void stopHashing();

  std::string folder_;
  std::string base_;
  bool inherited_ = false;  // a killed run's journal was there at the pair's start
  bool durable_ = false;
  bool aside_ = false;
  bool pending_ = false;  // the journal has records (this run's or a killed run's)
  bool firstListing_ = false;
  bool failed_ = false;
  int err_ = 0;
  platform::TextFileWriter out_;

  // The copies whose digests the hashing thread reads next, in the run's order.
  std::mutex mutex_;
  std::condition_variable work_, room_;
  std::deque<Job> queue_;
  bool closing_ = false;
  bool hashing_ = false;  // the hashing thread reads a copy outside the lock
  std::thread hasher_;
};

}  // namespace kalvero
