#pragma once
// The checksum list a backup keeps in each destination folder it fills (the
// pair's destination root, or the dated folder): one line per stored file in
// the form of sha256sum, so `sha256sum -c` in that folder checks the backup
// without Kalvero. Only this folder's top level holds the list.
#include <string>
#include <string_view>

#include "platform/Sha256.h"

namespace kalvero {

// The list's one fixed name; a walk of a destination never takes it, the
// restore never gives it back as a user file.
inline constexpr std::string_view kChecksumListName = "Kalvero-Pruefsummen.sha256";
// Beside the list while a backup runs: the files it stored or removed since
// the list was written, folded into the list at the pair's end (and by the
// next run, when a run was killed before that).
inline constexpr std::string_view kChecksumJournalName = "Kalvero-Pruefsummen.journal";

// In a dated folder's top level: the mark of a complete state (see
// run/DatedFolders.h).
inline constexpr std::string_view kCompleteMarkName = "Kalvero-Vollstaendig.txt";

// Whether a file name (without its folder) is one of the program's own files
// of a backup folder (the list, its journal, the mark of a complete state):
// such a plain file in a backup is the program's, never a user's file (a
// user's file of that name is always stored as its archive NAME.zip).
inline bool IsProgramFileName(std::string_view name) {
  return name == kChecksumListName || name == kChecksumJournalName || name == kCompleteMarkName;
}

struct ChecksumLine {
  std::string path;  // relative to the list's folder, "/" between levels, raw bytes
  platform::Sha256Digest digest{};
};

// One line with its "\n". As sha256sum: a name holding "\\", a line break or
// a carriage return is written escaped ("\\\\", "\\n", "\\r") and the line
// then starts with "\\"; any other byte (invalid UTF-8 too) is written as it is.
std::string FormatChecksumLine(const ChecksumLine& line);
// Reads one line without its "\n" (a trailing "\r" of a list edited on
// another system is dropped). False for anything sha256sum -c would not
// take: a wrong digest, a missing two-blank (or blank-star) separator, an
// empty name, a bad escape.
bool ParseChecksumLine(std::string_view text, ChecksumLine* line);

}  // namespace kalvero
