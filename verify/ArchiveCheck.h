#pragma once
// Our single-file archives (NAME.zip with the backup's comment): every entry
// inflated and its CRC-32 compared, and what the source comparison needs of
// the entry. An archive of anyone else is only hashed, never judged.
#include <cstdint>
#include <string>

#include "platform/FileTime.h"
#include "verify/FileCheck.h"

namespace kalvero {

struct ArchiveEntryFacts {
  std::uint32_t crc32 = 0;
  std::uint64_t size = 0;
  std::uint16_t dosTime = 0, dosDate = 0;
};

struct ArchiveVerdict {
  bool ours = false;     // carries the backup's comment
  bool damaged = false;  // an entry cannot be inflated or its CRC-32 differs
  std::string reason;    // why, in German
};

// A name the backup gives its archives: "NAME.zip".
bool LooksLikeOurArchive(const std::string& path);

// Checks the archive at path; *first gets the first entry's facts.
ArchiveVerdict CheckOurArchive(const std::string& path, ArchiveEntryFacts* first, const FileCheckShared& shared);

// True when a source with this modification time would get the entry's time.
bool SameEntryTime(const ArchiveEntryFacts& entry, platform::FileTime lastWrite);

// CRC-32 and length of a regular file; false with *err (ECANCELED on a cancel).
bool Crc32OfFile(const std::string& path, std::uint32_t* crc, std::uint64_t* size, int* err,
                 const FileCheckShared& shared);

}  // namespace kalvero
