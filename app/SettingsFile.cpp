#include "app/SettingsFile.h"

#include <fmt/printf.h>

#include <charconv>
#include <cstdlib>
#include <cstring>

#include "app/AppTexts.h"
#include "app/SettingsFields.h"
#include "platform/PathUtil.h"
#include "diag/ErrorText.h"
#include "platform/FileSystem.h"
#include "platform/ProfileFile.h"
#include "platform/TextUtil.h"

namespace kalvero {

using platform::ProfileDocument;

namespace {

constexpr const char* ALLG = "Allg";
constexpr const char* SICHQZ = "SichQZ";
constexpr const char* RUECK = "Rueck";
constexpr const char* INFO = "Info";
constexpr const char* VERZEICHNISSE = "Verzeichnisse";
constexpr const char* DATUM = "Datum";

ProfileDocument loadDoc(const std::string& path) {
  ProfileDocument doc;
  doc.load(path);  // unreadable: empty, so every read yields its default
  return doc;
}

int flag(int v) { return v != 0 ? 1 : 0; }

// Composite save: one load, the edits, one atomic replacement. An unreadable
// file is never overwritten (that would lose what it holds).
template <class Edit>
bool updateFile(const std::string& path, std::string* error, Edit&& edit) {
  int err = 0;
  ProfileDocument doc;
  bool ok = doc.load(path, &err);
  if (ok) {
    edit(doc);
    // The default settings directory is made at the first save.
    std::string dir = ParentDirectory(path);
    if (!dir.empty() && GetPathKind(dir) != PathKind::Directory && dir == ParentDirectory(DefaultSettingsPath()))
      MakeDirectories(dir, &err);
    ok = doc.save(path, &err);
  }
  if (!ok && error) *error = SettingsWriteFailedText(path, err);
  return ok;
}

bool sameNoCase(const std::string& a, const char* b) { return strcasecmp(a.c_str(), b) == 0; }


}  // namespace

// ---- helpers shared with the directory-name replacement

std::vector<std::string> SplitSettingsFields(const std::string& value, int count) {
  std::vector<std::string> fields;
  std::size_t start = 0;
  for (int i = 1; i < count; ++i) {
    std::size_t bar = value.find('|', start);
    if (bar == std::string::npos) {
      fields.push_back(start <= value.size() ? value.substr(start) : std::string());
      start = value.size() + 1;
      continue;
    }
    fields.push_back(value.substr(start, bar - start));
    start = bar + 1;
  }
  fields.push_back(start <= value.size() ? value.substr(start) : std::string());
  return fields;
}

double AtofLike(const std::string& text) {
  // Locale-independent: a window program runs with the user's locale, whose
  // decimal comma must not change what the file means.
  const char* p = text.c_str();
  while (*p == ' ' || *p == '\t') ++p;
  if (*p == '+') ++p;
  double v = 0;
  auto r = std::from_chars(p, text.c_str() + text.size(), v, std::chars_format::general);
  if (r.ec != std::errc()) return 0;
  return v;
}

std::string SerialDateText(const DateTime& d) { return d.valid() ? fmt::sprintf("%.20g", d.serial()) : ""; }

DateTime SerialDateFromText(const std::string& text) {
  if (platform::TrimBlanks(text).empty()) return DateTime();
  return DateTime::fromSerial(AtofLike(text));
}

// ---- SettingsFile

SettingsFile::SettingsFile(std::string path) : path_(std::move(path)) {}

bool SettingsFile::readable(std::string* error) const {
  ProfileDocument doc;
  int err = 0;
  if (doc.load(path_, &err)) return true;
  if (error) *error = fmt::sprintf(texts::kSettingsReadFailed, path_, SystemErrorText(err));
  return false;
}

bool SettingsFile::exists() const { return GetPathKind(path_) != PathKind::Nothing; }

BackupOptions SettingsFile::loadBackupOptions(bool* readOk) const {
  ProfileDocument d;
  const bool ok = d.load(path_);  // unreadable: empty, so every read yields its default
  if (readOk) *readOk = ok;
  BackupOptions o;
  o.Protokolldatei = exists() ? d.readString(ALLG, "Protokolldatei") : DefaultRunLogPath();
  o.Archivbit = d.readInt(ALLG, "Archivbit", 1);
  o.ArchivbitReset = d.readInt(ALLG, "ArchivbitReset", 1);
  o.Compare = d.readInt(ALLG, "Compare", 1);
  o.Exit = d.readInt(ALLG, "Exit", 0);
  o.Reboot = d.readInt(ALLG, "Reboot", 0);
  o.Symbol = d.readInt(ALLG, "Symbol", 0);
  o.Tooltip = d.readInt(ALLG, "Tooltip", 1);
  o.Compress = d.readInt(ALLG, "Compress", 0);
  o.SubVerzDatum = d.readInt(ALLG, "SubVerzDatum", 0);
  o.DatumVollstaendig = d.readInt(ALLG, "DatumVollstaendig", 0);
  o.MusterFlagErlaubt = d.readInt(ALLG, "MusterFlagErlaubt", 0);
  o.MusterErlaubt = d.readString(ALLG, "MusterErlaubt");
  o.MusterFlagNichtErlaubt = d.readInt(ALLG, "MusterFlagNichtErlaubt", 0);
  o.MusterNichtErlaubt = d.readString(ALLG, "MusterNichtErlaubt");
  o.NotCompress = d.readString(ALLG, "NotCompress");
  o.Close = d.readInt(ALLG, "Close", 0);
  o.Datum = d.readInt(ALLG, "Datum", 0);
  if (d.readInt(SICHQZ, "Version", 0) <= 1) {
    o.MusterErlaubt = d.readString(ALLG, "Muster");
    o.MusterFlagErlaubt = d.readInt(ALLG, "MusterFlag", 0);
  }
  o.MitPrueffile = d.readInt(ALLG, "MitPrueffile", 0);
  o.Prueffile = d.readString(ALLG, "Prueffile");
  o.DeleteZieldatei = d.readInt(ALLG, "DeleteZieldatei", 1);
  o.AusduennenTage = d.readInt(ALLG, "AusduennenTage", 0);
  o.AusduennenWochen = d.readInt(ALLG, "AusduennenWochen", 0);
  o.AusduennenMonate = d.readInt(ALLG, "AusduennenMonate", 0);
  return o;
}

JobList SettingsFile::loadJobList(std::vector<std::string>* warnings) const {
  ProfileDocument d = loadDoc(path_);
  const int version = d.readInt(SICHQZ, "Version", 0);
  const int count = d.readInt(SICHQZ, "Anzahl", 0);
  JobList jobs;
  for (int i = 0; i < count; ++i) {
    const std::string key = fmt::format("Verz{}", i);
    // A missing key ends the list, so a huge "Anzahl" costs nothing.
    if (!d.hasKey(SICHQZ, key)) break;
    const std::string value = d.readString(SICHQZ, key);
    DirPair pair;
    bool complete;
    if (version == 0) {
      auto f = SplitSettingsFields(value, 3);
      complete = !f[0].empty() && !f[1].empty() && !f[2].empty();
      pair.active = flag(platform::AtoiLike(f[0]));
      pair.withSubdirs = 1;
      pair.source = f[1];
      pair.destination = f[2];
    } else {
      auto f = SplitSettingsFields(value, 4);
      complete = !f[0].empty() && !f[1].empty() && !f[2].empty() && !f[3].empty();
      pair.active = flag(platform::AtoiLike(f[0]));
      pair.withSubdirs = flag(platform::AtoiLike(f[1]));
      pair.source = f[2];
      pair.destination = f[3];
    }
    // An incomplete entry is skipped, not the end: the entries after it stay.
    if (!complete) {
      if (warnings) warnings->push_back(fmt::sprintf(texts::kIncompleteEntrySkipped, key, SICHQZ));
      continue;
    }
    for (int k = 0;; ++k) {
      const std::string negKey = fmt::format("Neg{}", k);
      if (!d.hasKey(key, negKey)) break;
      auto f = SplitSettingsFields(d.readString(key, negKey), 2);
      if (f[0].empty() || f[1].empty()) {
        if (warnings) warnings->push_back(fmt::sprintf(texts::kIncompleteEntrySkipped, negKey, key));
        continue;
      }
      pair.excluded.push_back(ExcludedDir{flag(platform::AtoiLike(f[0])), f[1]});
    }
    jobs.push_back(std::move(pair));
  }
  return jobs;
}

bool SettingsFile::saveBackupSettings(const BackupOptions& o, const JobList& jobs, std::string* error) {
  return updateFile(path_, error, [&](ProfileDocument& d) {
    if (d.readInt(SICHQZ, "Version", 0) <= 1) {
      d.deleteKey(ALLG, "Muster");
      d.deleteKey(ALLG, "MusterFlag");
    }
    d.writeInt(ALLG, "MitPrueffile", o.MitPrueffile);
    d.writeString(ALLG, "Prueffile", o.Prueffile);
    d.deleteKey(ALLG, "PathSrc");
    d.deleteKey(ALLG, "PathDst");
    d.writeString(ALLG, "Protokolldatei", o.Protokolldatei);
    d.writeInt(ALLG, "Archivbit", o.Archivbit);
    d.writeInt(ALLG, "ArchivbitReset", o.ArchivbitReset);
    d.writeInt(ALLG, "Compare", o.Compare);
    d.writeInt(ALLG, "Exit", o.Exit);
    d.writeInt(ALLG, "Reboot", o.Reboot);
    d.writeInt(ALLG, "Symbol", o.Symbol);
    d.writeInt(ALLG, "Tooltip", o.Tooltip);
    d.writeInt(ALLG, "Compress", o.Compress);
    d.writeInt(ALLG, "SubVerzDatum", o.SubVerzDatum);
    d.writeInt(ALLG, "DatumVollstaendig", o.DatumVollstaendig);
    d.writeInt(ALLG, "Close", o.Close);
    d.writeInt(ALLG, "Datum", o.Datum);
    d.writeString(ALLG, "NotCompress", o.NotCompress);
    d.writeString(ALLG, "MusterErlaubt", o.MusterErlaubt);
    d.writeInt(ALLG, "MusterFlagErlaubt", o.MusterFlagErlaubt);
    d.writeString(ALLG, "MusterNichtErlaubt", o.MusterNichtErlaubt);
    d.writeInt(ALLG, "MusterFlagNichtErlaubt", o.MusterFlagNichtErlaubt);
    d.writeInt(ALLG, "DeleteZieldatei", o.DeleteZieldatei);
    d.writeInt(ALLG, "AusduennenTage", o.AusduennenTage);
    d.writeInt(ALLG, "AusduennenWochen", o.AusduennenWochen);
    d.writeInt(ALLG, "AusduennenMonate", o.AusduennenMonate);
    d.writeInt(SICHQZ, "Version", 2);
    const int n = static_cast<int>(jobs.size());
    d.writeInt(SICHQZ, "Anzahl", n);
    for (int j = 0; j < n; ++j) {
      const DirPair& p = jobs[static_cast<std::size_t>(j)];
      const std::string key = fmt::format("Verz{}", j);
      d.writeString(SICHQZ, key, fmt::sprintf("%d|%d|%s|%s", p.active, p.withSubdirs, p.source, p.destination));
      d.deleteSection(key);
      for (std::size_t k = 0; k < p.excluded.size(); ++k)
        d.writeString(key, fmt::format("Neg{}", k),
                      fmt::sprintf("%d|%s", p.excluded[k].withSubdirs, p.excluded[k].directory));
    }
    // Surplus entries of a longer list: every Verz<j> with j >= n, whatever
    // the old "Anzahl" claimed, and their negative lists.
    std::vector<std::string> surplus;
    for (const std::string& line : d.sectionLines(SICHQZ)) {
      auto eq = line.find('=');
      if (eq == std::string::npos) continue;
      std::string key = std::string(platform::TrimBlanks(line.substr(0, eq)));
      if (key.size() > 4 && strncasecmp(key.c_str(), "Verz", 4) == 0 &&
          key.find_first_not_of("0123456789", 4) == std::string::npos && key.size() < 15 &&
          std::stoll(key.substr(4)) >= n)
        surplus.push_back(key);
    }
    for (const auto& key : surplus) {
      d.deleteKey(SICHQZ, key);
      d.deleteSection(key);
    }
  });
}

RestoreOptions SettingsFile::loadRestoreOptions() const {
  ProfileDocument d = loadDoc(path_);
  RestoreOptions o;
  o.PathSrc = d.readString(RUECK, "PathSrc");
  o.PathDst = d.readString(RUECK, "PathDst");
  o.Protokolldatei = exists() ? d.readString(RUECK, "Protokolldatei") : DefaultRestoreLogPath();
  o.SubVerz = d.readInt(RUECK, "SubVerz", 1);
  o.Symbol = d.readInt(RUECK, "Symbol", 0);
  o.Tooltip = d.readInt(RUECK, "Tooltip", 1);
  o.OnlyByKalvero = d.readInt(RUECK, "OnlyByKalvero", 1);
  return o;
}

bool SettingsFile::saveRestoreOptions(const RestoreOptions& o, std::string* error) {
  return updateFile(path_, error, [&](ProfileDocument& d) {
    d.writeString(RUECK, "PathSrc", o.PathSrc);
    d.writeString(RUECK, "PathDst", o.PathDst);
    d.writeString(RUECK, "Protokolldatei", o.Protokolldatei);
    d.writeInt(RUECK, "SubVerz", o.SubVerz);
    d.writeInt(RUECK, "Symbol", o.Symbol);
    d.writeInt(RUECK, "Tooltip", o.Tooltip);
    d.writeInt(RUECK, "OnlyByKalvero", o.OnlyByKalvero);
  });
}

InfoOptions SettingsFile::loadInfoOptions() const {
  ProfileDocument d = loadDoc(path_);
  InfoOptions o;
  o.DeleteSrc = d.readInt(INFO, "DeleteSrc", 1);
  o.MinSize = d.readInt(INFO, "MinSize", 1000);
  return o;
}

bool SettingsFile::writeDeleteSrc(int value, std::string* error) {
  return updateFile(path_, error, [&](ProfileDocument& d) { d.writeInt(INFO, "DeleteSrc", value); });
}

bool SettingsFile::writeMinSize(int value, std::string* error) {
  return updateFile(path_, error, [&](ProfileDocument& d) { d.writeInt(INFO, "MinSize", value); });
}

DirReplacementList SettingsFile::loadDirReplacementList() const {
  ProfileDocument d = loadDoc(path_);
  DirReplacementList r;
  r.Sichern = d.readInt(VERZEICHNISSE, "Sichern", 1);
  r.Ruecksichern = d.readInt(VERZEICHNISSE, "Ruecksichern", 1);
  for (const std::string& raw : d.sectionLines(VERZEICHNISSE)) {
    std::string line = std::string(platform::TrimBlanks(raw));
    if (line.empty() || line[0] == ';') continue;
    auto eq = line.find('=');
    if (eq == std::string::npos) continue;
    std::string key = std::string(platform::TrimBlanks(line.substr(0, eq)));
    if (sameNoCase(key, "Sichern") || sameNoCase(key, "Ruecksichern")) continue;
    std::string value = line.substr(eq + 1);
    auto semicolon = value.rfind(';');
    if (semicolon != std::string::npos) value.resize(semicolon);  // trailing comment
    value = std::string(platform::TrimBlanks(value));
    auto f = SplitSettingsFields(value, 3);
    r.entries.push_back(DirReplacement{platform::AtoiLike(f[0]), f[1], f[2]});
  }
  return r;
}

bool SettingsFile::saveDirReplacementList(const DirReplacementList& list, std::string* error) {
  return updateFile(path_, error, [&](ProfileDocument& d) {
    d.deleteSection(VERZEICHNISSE);
    int r = 1;
    for (const DirReplacement& e : list.entries)
      d.writeString(VERZEICHNISSE, fmt::format("Verz{}", r++),
                    fmt::sprintf("%d|%s|%s", flag(e.active), e.oldName, e.newName));
    d.writeInt(VERZEICHNISSE, "Sichern", list.Sichern);
    d.writeInt(VERZEICHNISSE, "Ruecksichern", list.Ruecksichern);
  });
}

DateFilter SettingsFile::loadDateFilter() const { return loadDateFilter(DateTime::now()); }

DateFilter SettingsFile::loadDateFilter(const DateTime& now) const {
  ProfileDocument d = loadDoc(path_);
  DateFilter f;
  f.Typ = d.readInt(DATUM, "Typ", 0) == 1 ? 1 : 0;
  f.StundenText = d.readString(DATUM, "Stunden");
  f.Stunden = platform::AtoiLike(f.StundenText);
  if (f.Typ == 0) {
    f.from = SerialDateFromText(d.readString(DATUM, "DatumVon"));
    f.to = SerialDateFromText(d.readString(DATUM, "DatumBis"));
  } else {
    f.from = now.addHours(-static_cast<long long>(f.Stunden));
  }
  return f;
}

bool SettingsFile::saveDateFilter(int typ, const DateTime& from, const DateTime& to, const std::string& hoursText,
                                  std::string* error) {
  return updateFile(path_, error, [&](ProfileDocument& d) {
    if (typ == 1) {
      d.writeString(DATUM, "Stunden", std::string(platform::TrimBlanks(hoursText)));
    } else {
      d.writeString(DATUM, "DatumVon", SerialDateText(from));
      d.writeString(DATUM, "DatumBis", SerialDateText(to));
    }
    d.writeInt(DATUM, "Typ", typ);
  });
}

int SettingsFile::readDebug() const { return loadDoc(path_).readInt("Debug", "Debug", 0); }

std::string SettingsWriteFailedText(const std::string& file, int error) {
  return fmt::sprintf(texts::kSettingsWriteFailed, file, SystemErrorText(error));
}

std::string XdgBaseDirectory(const char* variable, const char* belowHome) {
  const char* xdg = std::getenv(variable);
  std::string base;
  if (xdg && *xdg == '/') {
    base = xdg;
  } else {
    const char* home = std::getenv("HOME");
    base = std::string(home && *home ? home : "/tmp") + belowHome;
  }
  return WithTrailingSlash(base);
}

std::string DefaultSettingsDirectory() { return XdgBaseDirectory("XDG_CONFIG_HOME", "/.config") + "kalvero/"; }

std::string DefaultDataDirectory() { return XdgBaseDirectory("XDG_DATA_HOME", "/.local/share") + "kalvero/"; }

std::string DefaultRunLogPath() { return DefaultDataDirectory() + "sichern.log"; }
std::string DefaultRestoreLogPath() { return DefaultDataDirectory() + "ruecksichern.log"; }

bool MakeDefaultLogDirectory(const std::string& logPath, int* err) {
  if (logPath != DefaultRunLogPath() && logPath != DefaultRestoreLogPath()) return true;
  return MakeDirectories(DefaultDataDirectory(), err);
}

std::string DefaultSettingsPath() { return DefaultSettingsDirectory() + "kalvero.INI"; }

std::string ResolveSettingsPath(const std::string& name) {
  if (name.empty()) return DefaultSettingsPath();
  if (name.find('/') == std::string::npos) return DefaultSettingsDirectory() + name;
  return platform::absolutePath(name);
}

}  // namespace kalvero
