// Finding the versions of one file: which pair holds it, its copy in each
// dated folder of the pair's destination, identical neighbours folded.
#include "restore/Versions.h"

#include <algorithm>
#include <map>
#include <optional>

#include <fmt/format.h>
#include <fmt/printf.h>

#include "platform/DirectoryReader.h"
#include "platform/FileSystem.h"
#include "platform/Files.h"
#include "platform/OwnTemporary.h"
#include "platform/PathUtil.h"
#include "restore/RestorePlan.h"
#include "restore/RestoreTexts.h"
#include "run/ChecksumList.h"
#include "run/DatedFolders.h"
#include "run/Walk.h"
#include "zip/ZipArchiveLayer.h"

namespace kalvero {

namespace {

// One dated folder's copy before folding.
struct Found {
  FileVersion version;
  std::string folder;         // the dated folder
  std::string storedName;     // the copy's path below it (NAME or NAME.zip)
  std::uint64_t device = 0, inode = 0;
  std::string folderEntries;  // a folder's files (name, size, time), to compare neighbours
  // The copy's line in its folder's checksum list, read at most once.
  bool digestRead = false;
  std::optional<platform::Sha256Digest> digest;
};

DayDate dateOf(const DatedFolder& f) { return {f.year, f.month, f.day}; }

std::string lastName(const std::string& path) {
  const auto slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Our archive of one file: its entry's size and time; false for anything else.
bool archiveEntry(const std::string& archive, FileVersion& v) {
  ZipArchiveLayer zip;
  const ArchiveSummary summary = SummarizeArchive(zip, archive);
  if (!summary.readable || !summary.own || !summary.singleIsFile) return false;
  v.size = summary.singleSize;
  v.lastWrite = summary.singleTime;
  return true;
}

// The stored files below a folder copy: their bytes, and one line per entry
// so that two states of the folder can be compared.
void describeFolder(const std::string& dir, const std::string& prefix, bool stateTop, Found& f) {
  platform::DirectoryReader reader(dir);
  std::map<std::string, platform::DirEntry> entries;  // sorted: the same folder gives the same text
  platform::DirEntry e;
  while (reader.next(e)) {
    if (platform::isProgramTemporaryName(e.name) || (stateTop && IsProgramFileName(e.name))) continue;
    entries.emplace(e.name, e);
  }
  for (const auto& [name, entry] : entries) {
    const bool sub = entry.kind == platform::EntryKind::Directory && !entry.status.isSymlink;
    f.folderEntries += fmt::format("{}{}\t{}\t{}\t{}\n", prefix, name, sub ? 'd' : 'f', entry.status.size,
                                   entry.status.lastWrite);
    if (sub) {
      describeFolder(dir + "/" + name, prefix + name + "/", false, f);
    } else if (!entry.status.isSymlink) {
      f.version.size += entry.status.size;
    }
  }
}

// The copy of relative in one dated folder, if it has one.
std::optional<Found> copyIn(const DatedFolder& folder, const std::string& relative) {
  Found f;
  f.folder = folder.path;
  f.version.first = f.version.last = dateOf(folder);
  f.version.complete = folder.complete;
  const std::string plain = relative.empty() ? folder.path : folder.path + "/" + relative;
  const bool programName = relative.find('/') == std::string::npos && IsProgramFileName(relative);
  const auto st = platform::lstatPath(plain);
  if (st && !st->isSymlink && st->kind == platform::EntryKind::Directory) {
    f.version.folder = true;
    f.version.lastWrite = st->lastWrite;
    describeFolder(plain, "", relative.empty(), f);
  } else if (st && !st->isSymlink && st->kind == platform::EntryKind::File && !programName) {
    f.version.size = st->size;
    f.version.lastWrite = st->lastWrite;
  } else {
    const auto zipped = platform::lstatPath(plain + ".zip");
    if (!zipped || zipped->isSymlink || zipped->kind != platform::EntryKind::File) return std::nullopt;
    if (!archiveEntry(plain + ".zip", f.version)) return std::nullopt;
    f.version.archive = true;
    f.device = zipped->device;
    f.inode = zipped->inode;
    f.storedName = relative + ".zip";
    f.version.copy = plain + ".zip";
    return f;
  }
  f.device = st->device;
  f.inode = st->inode;
  f.storedName = relative;
  f.version.copy = plain;
  return f;
}

// The digest of storedName in folder's checksum list.
std::optional<platform::Sha256Digest> listedDigest(const std::string& folder, const std::string& storedName) {
  std::string text;
  if (!platform::readWholeFile(folder + "/" + std::string(kChecksumListName), text)) return std::nullopt;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    ChecksumLine line;
    if (ParseChecksumLine(std::string_view(text).substr(start, end - start), &line) && line.path == storedName)
      return line.digest;
    start = end + 1;
  }
  return std::nullopt;
}

// Two neighbouring copies are one version: the same file (a hard link of a
// complete state), or the same size and time and the same digest in both
// folders' checksum lists; two folders whose files all match in name, size
// and time.
const std::optional<platform::Sha256Digest>& digestOf(Found& f) {
  if (!f.digestRead) f.digest = listedDigest(f.folder, f.storedName);
  f.digestRead = true;
  return f.digest;
}

bool sameVersion(Found& a, Found& b) {
  const FileVersion &x = a.version, &y = b.version;
  if (x.folder != y.folder || x.archive != y.archive || x.complete != y.complete) return false;
  if (x.folder) return x.lastWrite == y.lastWrite && a.folderEntries == b.folderEntries;
  if (a.device == b.device && a.inode == b.inode) return true;
  if (x.size != y.size || x.lastWrite != y.lastWrite) return false;
  const auto& da = digestOf(a);
  return da && digestOf(b) && *da == *digestOf(b);
}

std::vector<FileVersion> versionsIn(const std::vector<DatedFolder>& folders, const std::string& relative) {
  std::vector<FileVersion> versions;
  std::optional<Found> previous;  // the copy in the folder just before, if any
  for (const DatedFolder& folder : folders) {
    std::optional<Found> here = copyIn(folder, relative);
    if (here && previous && sameVersion(*previous, *here)) {
      versions.back().last = here->version.first;
      versions.back().copy = here->version.copy;
    } else if (here) {
      versions.push_back(here->version);
    }
    previous = std::move(here);
  }
  return versions;
}

// Where relative was looked for, for the message when it is nowhere.
std::string searchedText(const std::vector<DatedFolder>& folders) {
  if (folders.empty()) return restore_text::kVersionsNoDatedFolders;
  std::string names;
  for (const DatedFolder& f : folders) names += (names.empty() ? "" : ", ") + f.name;
  return fmt::sprintf(restore_text::kVersionsSearched, names);
}

}  // namespace

VersionList FindVersions(const JobList& jobs, const std::string& path, std::string* error) {
  VersionList list;
  list.path = WithoutTrailingSlash(NormaliseJobPath(path));
  if (list.path.empty()) list.path = "/";
  std::string firstMiss;
  for (const DirPair& pair : jobs) {
    if (!pair.active) continue;
    const std::string source = WithoutTrailingSlash(NormaliseJobPath(pair.source));
    const bool isRoot = source.empty() || source == "/";
    const bool inside = list.path == source || isRoot ||
                        (list.path.size() > source.size() && list.path.compare(0, source.size(), source) == 0 &&
                         list.path[source.size()] == '/');
    if (!inside) continue;
    const std::string relative = list.path == source ? std::string() : list.path.substr(isRoot ? 1 : source.size() + 1);
    const std::string destination = NormaliseJobPath(pair.destination);
    const std::vector<DatedFolder> folders = ListDatedFolders(destination);
    std::vector<FileVersion> versions = versionsIn(folders, relative);
    if (!versions.empty()) {
      list.pairSource = source;
      list.pairDestination = destination;
      list.relative = relative;
      list.versions = std::move(versions);
      return list;
    }
    if (firstMiss.empty())
      firstMiss = fmt::sprintf(restore_text::kVersionsNone, list.path, pair.source, pair.destination,
                               searchedText(folders));
  }
  if (error) *error = firstMiss.empty() ? fmt::sprintf(restore_text::kVersionsNoPair, list.path) : firstMiss;
  return list;
}

bool ParseVersionDate(const std::string& text, DayDate* date) {
  // Digits and separators only, in one of the three forms.
  std::vector<std::string> parts(1);
  char separator = 0;
  for (const char c : text) {
    if (c >= '0' && c <= '9') {
      parts.back() += c;
    } else if ((c == '_' || c == '-' || c == '.') && (separator == 0 || c == separator) && parts.size() < 3) {
      separator = c;
      parts.emplace_back();
    } else {
      return false;
    }
  }
  if (parts.size() != 3) return false;
  const bool yearFirst = separator != '.';
  const std::string& y = yearFirst ? parts[0] : parts[2];
  const std::string& m = parts[1];
  const std::string& d = yearFirst ? parts[2] : parts[0];
  const bool twoDigits = yearFirst ? m.size() == 2 && d.size() == 2 : m.size() <= 2 && d.size() <= 2;
  if (y.size() != 4 || m.empty() || d.empty() || !twoDigits) return false;
  const DayDate day{std::stoi(y), std::stoi(m), std::stoi(d)};
  static constexpr int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (day.month < 1 || day.month > 12 || day.day < 1 || day.day > kDays[day.month - 1]) return false;
  *date = day;
  return true;
}

const FileVersion* VersionOfDate(const VersionList& list, const DayDate& date) {
  for (const FileVersion& v : list.versions)
    if (v.first <= date && date <= v.last) return &v;
  return nullptr;
}

std::string DayText(const DayDate& d) { return fmt::format("{:04}-{:02}-{:02}", d.year, d.month, d.day); }

std::string VersionRangeText(const FileVersion& v) {
  if (v.first == v.last) return DayText(v.first);
  return fmt::sprintf(restore_text::kVersionsRange, DayText(v.first), DayText(v.last));
}

std::string VersionTimeText(platform::FileTime time) {
  platform::LocalTime t;
  if (!platform::localFromUnix(platform::unixSecondsFromFileTime(time), t)) return "?";
  return fmt::format("{:02}.{:02}.{:04} {:02}:{:02}:{:02}", t.day, t.month, t.year, t.hour, t.minute, t.second);
}

std::string BesideName(const std::string& path, const DayDate& date, bool folder, int number) {
  const std::string name = lastName(path);
  const std::string dir = path.substr(0, path.size() - name.size());
  const auto dot = name.find_last_of('.');
  const bool split = !folder && dot != std::string::npos && dot > 0 && dot + 1 < name.size();
  const std::string stem = split ? name.substr(0, dot) : name;
  const std::string extension = split ? name.substr(dot) : std::string();
  std::string label = fmt::sprintf(restore_text::kVersionsStand, stem, DayText(date));
  if (number > 1) label += fmt::format(" {}", number);
  return dir + label + extension;
}

}  // namespace kalvero
