// One version of a file or folder put back beside it under a name that says
// which state it is. It is built under a temporary name and only then given
// its name, which is never one that exists: the user's file stays untouched.
#include <cerrno>
#include <map>
#include <new>

#include <fmt/printf.h>

#include "diag/ErrorText.h"
#include "platform/DirectoryReader.h"
#include "platform/FileCopy.h"
#include "platform/FileError.h"
#include "platform/FileSystem.h"
#include "platform/OwnTemporary.h"
#include "platform/PathUtil.h"
#include "platform/TreeCopy.h"
#include "platform/TreeRemoval.h"
#include "restore/RestoreJob.h"
#include "restore/RestorePlan.h"
#include "restore/RestoreTexts.h"
#include "restore/Versions.h"
#include "run/ChecksumList.h"
#include "zip/ZipArchiveLayer.h"

namespace kalvero {

namespace {

constexpr int kMaxNumber = 9999;

// Removes what a failed attempt built (its directories may be read-only by now).
void removeAttempt(const std::string& path) {
  const auto st = platform::lstatPath(path);
  if (!st) return;
  if (st->isSymlink || st->kind != platform::EntryKind::Directory)
    platform::removeFile(path);
  else
    platform::removeTree(path);
}

// Unpacks the single entry of our archive to target; "" or the reason.
std::string unpackTo(const std::string& archive, const std::string& target) {
  ZipArchiveLayer zip;
  try {
    zip.Open(archive, ZipArchiveLayer::OpenExisting);
    const ExtractResult result = zip.ExtractEntry(0, target);
    zip.Close();
    if (result == ExtractResult::Done || result == ExtractResult::TimesNotSet) return {};
  } catch (const platform::FileError& e) {
    if (!zip.IsClosed()) zip.Close(true);
    return e.what();
  } catch (const CZipException&) {
  } catch (const std::bad_alloc&) {
  }
  if (!zip.IsClosed()) zip.Close(true);
  return fmt::sprintf(restore_text::kVersionsUnpackFailed, target, archive);
}

// Our archive of one file (the only kind a backup folder holds as NAME.zip
// for a file NAME): its entry is that file.
bool isOwnSingleArchive(const std::string& path) {
  if (!HasZipExtension(path)) return false;
  ZipArchiveLayer zip;
  const ArchiveSummary summary = SummarizeArchive(zip, path);
  return summary.readable && summary.own && summary.singleIsFile;
}

// One stored file to target (a name nothing holds yet); "" or the reason.
std::string putFile(const std::string& copy, bool archive, const std::string& target) {
  if (archive) return unpackTo(copy, target);
  int err = 0;
  if (platform::copyFile(copy, target, {}, &err)) return {};
  return SystemErrorText(err == 0 ? EIO : err);
}

// The stored tree below copy into the new directory target, every archive
// of ours unpacked beside the plain files; "" or the first failure.
std::string putFolder(const std::string& copy, const std::string& target, bool stateTop) {
  std::map<std::string, platform::DirEntry> entries;
  {
    platform::DirectoryReader reader(copy);
    if (!reader.isOpen()) return SystemErrorText(reader.error());
    platform::DirEntry e;
    while (reader.next(e)) {
      const bool programs = platform::isProgramTemporaryName(e.name) || (stateTop && IsProgramFileName(e.name));
      if (!programs) entries.emplace(e.name, e);
    }
    if (reader.error() != 0) return SystemErrorText(reader.error());
  }
  for (const auto& [name, entry] : entries) {
    const std::string from = copy + "/" + name;
    std::string to = target + "/" + name;
    std::string failed;
    int err = 0;
    if (entry.status.isSymlink) {
      if (!platform::copySymlink(from, to, &err)) failed = SystemErrorText(err);
    } else if (entry.kind == platform::EntryKind::Directory) {
      if (!platform::makeDirectory(to, &err))
        return fmt::sprintf(restore_text::kVersionsFailed, from, to, SystemErrorText(err));
      failed = putFolder(from, to, false);
      if (!failed.empty()) return failed;
      if (!platform::copyDirectoryAttributes(from, to, &err)) failed = SystemErrorText(err);
    } else if (entry.kind == platform::EntryKind::File) {
      const bool archive = isOwnSingleArchive(from);
      if (archive) to.resize(to.size() - 4);
      failed = putFile(from, archive, to);
    }
    if (!failed.empty()) return fmt::sprintf(restore_text::kVersionsFailed, from, to, failed);
  }
  return {};
}

// Gives the finished temp its name beside the file: the first numbered
// name that nothing holds. A file gets it as a second name (which fails on
// any name that exists), a folder by a rename after a look.
bool nameBeside(const VersionList& list, const FileVersion& v, const std::string& temp, std::string* where,
                int* err) {
  for (int number = 1; number <= kMaxNumber; ++number) {
    const std::string name = BesideName(list.path, v.first, v.folder, number);
    *err = 0;
    if (!v.folder && platform::linkPath(temp, name, err)) {
      platform::removeFile(temp);
      *where = name;
      return true;
    }
    if (*err == EEXIST || platform::lstatPath(name)) continue;
    if (!v.folder && *err != EPERM && *err != EOPNOTSUPP && *err != EMLINK) return false;
    if (!platform::renamePath(temp, name, err)) return false;
    *where = name;
    return true;
  }
  *err = EEXIST;
  return false;
}

}  // namespace

bool RestoreVersionBeside(const VersionList& list, const FileVersion& version, std::string* where,
                          std::string* error) {
  const std::string parent = WithoutTrailingSlash(ParentDirectory(list.path));
  const auto dir = platform::statPath(parent.empty() ? "/" : parent);
  if (list.path.empty() || list.path.back() == '/') {  // the file-system root has no place beside it
    *error = fmt::sprintf(restore_text::kVersionsFailed, version.copy, list.path, SystemErrorText(EINVAL));
    return false;
  }
  if (!dir || dir->kind != platform::EntryKind::Directory) {
    *error = fmt::sprintf(restore_text::kVersionsNoParent, parent);
    return false;
  }
  const std::string temp = platform::ownTemporaryBeside(BesideName(list.path, version.first, version.folder, 1));
  std::string failed;  // the reason, or below a folder the whole message
  bool whole = false;
  int err = 0;
  if (version.folder) {
    if (!platform::makeDirectory(temp, &err)) {
      failed = SystemErrorText(err);
    } else {
      failed = putFolder(version.copy, temp, list.relative.empty());
      whole = !failed.empty();
      if (failed.empty() && !platform::copyDirectoryAttributes(version.copy, temp, &err)) failed = SystemErrorText(err);
    }
  } else {
    failed = putFile(version.copy, version.archive, temp);
  }
  if (failed.empty() && !nameBeside(list, version, temp, where, &err)) failed = SystemErrorText(err);
  if (failed.empty()) return true;
  removeAttempt(temp);
  *error = whole ? failed : fmt::sprintf(restore_text::kVersionsFailed, version.copy, list.path, failed);
  return false;
}

}  // namespace kalvero
