#include "verify/FileCheck.h"

#include <fmt/printf.h>

#include <cerrno>
#include <vector>

#include "diag/ErrorText.h"
#include "platform/Files.h"
#include "verify/ArchiveCheck.h"
#include "verify/VerifyTexts.h"

namespace kalvero {

namespace vt = verify_text;

namespace {

Finding MakeFinding(FindingKind kind, const std::string& path, std::string line, std::string detail = {}) {
  return Finding{kind, path, std::move(detail), std::move(line)};
}

// Changed after the list was written: a killed run may have replaced it.
bool NewerThanList(const FileCheckInput& in) {
  const platform::FileStatus& s = in.status;
  return s.ctimeSeconds > in.listSeconds ||
         (s.ctimeSeconds == in.listSeconds && s.ctimeNanoseconds > in.listNanoseconds);
}

std::optional<Finding> CompareWithList(const FileCheckInput& in, const platform::Sha256Digest& digest) {
  if (in.listed && *in.listed == digest) return std::nullopt;
  if (NewerThanList(in)) return MakeFinding(FindingKind::NotYetChecked, in.path, fmt::sprintf(vt::kNotYetChecked, in.path));
  if (!in.listed) return MakeFinding(FindingKind::Unlisted, in.path, fmt::sprintf(vt::kUnlisted, in.path));
  return MakeFinding(FindingKind::Changed, in.path, fmt::sprintf(vt::kChanged, in.path));
}

Finding Unreadable(FindingKind kind, const char* format, const std::string& path, int err) {
  const std::string reason = SystemErrorText(err);
  return MakeFinding(kind, path, fmt::sprintf(format, path, reason), reason);
}

// A plain copy: a source with the copy's size and time must have the listed content.
void CheckPlainSource(const FileCheckInput& in, const FileCheckShared& shared, FileCheckResult& out) {
  const auto src = platform::lstatPath(in.sourcePath);
  if (!src || src->kind != platform::EntryKind::File || src->isSymlink) return;
  if (src->size != in.status.size || src->lastWrite != in.status.lastWrite) return;
  platform::Sha256Digest digest{};
  int err = 0;
  out.sourceRead = true;
  if (!HashFile(in.sourcePath, &digest, &err, shared)) {
    if (err != ECANCELED) out.source = Unreadable(FindingKind::SourceUnreadable, vt::kSourceUnreadable, in.sourcePath, err);
    return;
  }
  if (digest != *in.listed)
    out.source = MakeFinding(FindingKind::SourceRot, in.sourcePath, fmt::sprintf(vt::kSourceRot, in.sourcePath));
}

// Our archive: a source with the entry's time must have its size and CRC-32.
void CheckArchiveSource(const FileCheckInput& in, const ArchiveEntryFacts& entry, const FileCheckShared& shared,
                        FileCheckResult& out) {
  const auto src = platform::lstatPath(in.archiveSourcePath);
  if (!src || src->kind != platform::EntryKind::File || src->isSymlink) return;
  if (!SameEntryTime(entry, src->lastWrite)) return;
  out.sourceRead = true;
  std::uint32_t crc = 0;
  std::uint64_t size = 0;
  int err = 0;
  if (!Crc32OfFile(in.archiveSourcePath, &crc, &size, &err, shared)) {
    if (err != ECANCELED)
      out.source = Unreadable(FindingKind::SourceUnreadable, vt::kSourceUnreadable, in.archiveSourcePath, err);
    return;
  }
  if (crc != entry.crc32 || size != entry.size)
    out.source =
        MakeFinding(FindingKind::SourceRot, in.archiveSourcePath, fmt::sprintf(vt::kSourceRot, in.archiveSourcePath));
}

}  // namespace

bool HashFile(const std::string& path, platform::Sha256Digest* digest, int* err, const FileCheckShared& shared) {
  return platform::Sha256OfFile(path, digest, err, shared.cancel, shared.bytesDone);
}

FileCheckResult CheckBackupFile(const FileCheckInput& in, const FileCheckShared& shared) {
  FileCheckResult out;
  if (in.listed) {
    platform::Sha256Digest digest{};
    int err = 0;
    if (!HashFile(in.path, &digest, &err, shared)) {
      if (err == ECANCELED) return out;
      if (err == ENOENT) out.copy = MakeFinding(FindingKind::Missing, in.path, fmt::sprintf(vt::kMissing, in.path));
      else out.copy = Unreadable(FindingKind::Unreadable, vt::kUnreadable, in.path, err);
      return out;
    }
    out.copy = CompareWithList(in, digest);
  } else {
    out.copy = CompareWithList(in, {});  // nothing to compare its content with
  }
  ArchiveEntryFacts entry;
  ArchiveVerdict archive;
  if (LooksLikeOurArchive(in.path)) archive = CheckOurArchive(in.path, &entry, shared);
  if (archive.damaged) {
    out.copy = MakeFinding(FindingKind::ArchiveDamaged, in.path,
                           fmt::sprintf(vt::kArchiveDamaged, archive.reason, in.path), archive.reason);
    return out;
  }
  // Only a copy that is as listed tells which side has changed. The source's
  // bytes are not the backup's: they do not move the progress.
  if (out.copy || !in.listed) return out;
  const FileCheckShared sourceShared{shared.cancel, nullptr};
  if (archive.ours && !in.archiveSourcePath.empty()) CheckArchiveSource(in, entry, sourceShared, out);
  else if (!archive.ours && !in.sourcePath.empty()) CheckPlainSource(in, sourceShared, out);
  return out;
}

}  // namespace kalvero
