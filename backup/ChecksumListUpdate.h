#pragma once
// Folding a destination folder's journal into its checksum list: the old
// list and the journal's records merged by path into a new list written
// beside it and renamed over it once the folder's file system is flushed,
// then the journal removed. A killed update leaves the old list and the
// journal, which the next run folds in.
#include <atomic>
#include <cstddef>
#include <string>

namespace kalvero {

struct ChecksumListUpdate {
  std::string folder;  // with "/"
  // Every file the folder holds is listed: a line of the old list or the
  // journal is taken for a file it names, any other file is read and hashed.
  // A journal asks for this itself when a folder was kept aside.
  bool walk = false;
  const std::atomic<int>* cancel = nullptr;
  // A folder (with "/") whose list gives the digests of the linked records,
  // for files that are still the same file there; empty: they are read.
  std::string base;
  // Every linked record was made by this run against base: its file is
  // taken as still the base's without a look at the two names.
  bool linksChecked = false;
  // Out:
  bool walked = false;       // the folder was walked
  std::size_t hashed = 0;    // files of the walk no line named, read and listed
  std::size_t unreadable = 0;  // files of the walk that could not be read (not listed)
  std::size_t lines = 0;     // lines of the new list
  std::size_t fromBase = 0;  // linked files whose digest came from the base's list
  int err = 0;               // why the list could not be written
};

// False with update.err when the new list could not be written (the old one
// and the journal then stay as they were).
bool UpdateChecksumList(ChecksumListUpdate& update);

}  // namespace kalvero
