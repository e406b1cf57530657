#pragma once
// The in-memory forms of the settings: one field per settings key, named
// like the key.
#include <string>
#include <vector>

#include "app/DateTime.h"

namespace kalvero {

struct ExcludedDir {
  int withSubdirs = 1;     // 1: the whole tree; 0: only files lying directly in it
  std::string directory;   // stored without trailing "/"
};

struct DirPair {
  int active = 1;
  int withSubdirs = 1;
  std::string source;
  std::string destination;
  std::vector<ExcludedDir> excluded;
};

using JobList = std::vector<DirPair>;

struct DirReplacement {
  int active = 1;
  std::string oldName;
  std::string newName;
};

struct BackupOptions {  // section "Allg"
  std::string Protokolldatei;
  int Archivbit = 1;
  int ArchivbitReset = 1;
  int Compare = 1;
  int Exit = 0;
  int Reboot = 0;
  int Symbol = 0;
  int Tooltip = 1;
  int Compress = 0;
  int SubVerzDatum = 0;
  // With SubVerzDatum: every dated folder holds the whole pair, unchanged
  // files as hard links to the previous complete one.
  int DatumVollstaendig = 0;
  int MusterFlagErlaubt = 0;
  std::string MusterErlaubt;
  int MusterFlagNichtErlaubt = 0;
  std::string MusterNichtErlaubt;
  std::string NotCompress;
  int Close = 0;
  int Datum = 0;
  int MitPrueffile = 0;
  std::string Prueffile;
  int DeleteZieldatei = 1;
  // Thinning the dated states after each pair (0 0 0: none).
  int AusduennenTage = 0;
  int AusduennenWochen = 0;
  int AusduennenMonate = 0;
};

struct RestoreOptions {  // section "Rueck"
  std::string PathSrc;
  std::string PathDst;
  std::string Protokolldatei;
  int SubVerz = 1;
  int Symbol = 0;
  int Tooltip = 1;
  int OnlyByKalvero = 1;
};

struct InfoOptions {  // section "Info"
  int DeleteSrc = 1;
  int MinSize = 1000;
};

struct DateFilter {  // section "Datum", as the backup page holds it for a run
  int Typ = 0;       // 0 absolute, 1 relative
  DateTime from;     // inclusive; invalid = no lower bound
  DateTime to;       // inclusive; invalid = no upper bound
  int Stunden = 0;
  std::string StundenText;  // the stored text of "Stunden", as typed
};

struct DirReplacementList {  // section "Verzeichnisse"
  int Sichern = 1;
  int Ruecksichern = 1;
  std::vector<DirReplacement> entries;
};

}  // namespace kalvero
