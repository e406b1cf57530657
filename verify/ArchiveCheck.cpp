#include "verify/ArchiveCheck.h"

#include <zlib.h>

#include <cerrno>
#include <memory>
#include <vector>

#include "platform/FileError.h"
#include "platform/Files.h"
#include "verify/VerifyTexts.h"
#include "zip/ZipArchiveLayer.h"

namespace kalvero {

namespace vt = verify_text;

namespace {

const char* ReasonOf(int cause) {
  switch (cause) {
    case CZipException::BAD_CRC: return vt::kArchiveBadCrc;
    case CZipException::DATA_ERROR:
    case CZipException::BUF_ERROR:
    case CZipException::STREAM_END: return vt::kArchiveBadData;
    default: return vt::kArchiveBadFormat;
  }
}

// Inflates entry index to its end; false when cancelled. Throws as the layer does.
bool InflateEntry(ZipArchiveLayer& zip, int index, const FileCheckShared& shared) {
  if (!zip.OpenEntry(index)) throw CZipException(CZipException::BAD_ZIP_FILE, zip.archivePath());
  thread_local std::vector<unsigned char> buffer(ZipArchiveLayer::kChunk);
  while (zip.ReadEntry(buffer.data(), buffer.size()) > 0) {
    if (shared.cancel && shared.cancel->load(std::memory_order_relaxed)) return false;
  }
  zip.CloseEntry();
  return true;
}

}  // namespace

bool LooksLikeOurArchive(const std::string& path) {
  return path.size() > 4 && path.compare(path.size() - 4, 4, ".zip") == 0;
}

ArchiveVerdict CheckOurArchive(const std::string& path, ArchiveEntryFacts* first, const FileCheckShared& shared) {
  ArchiveVerdict verdict;
  ZipArchiveLayer zip;
  try {
    zip.Open(path, ZipArchiveLayer::OpenExisting);
  } catch (...) {
    return verdict;  // not an archive we can tell as ours: the list's digest judges it
  }
  if (zip.GetArchiveComment() != vt::kOwnArchiveComment) {
    zip.Close();
    return verdict;
  }
  verdict.ours = true;
  try {
    ZipEntryHeader header;
    if (zip.GetEntryInfo(0, header)) {
      first->crc32 = header.crc32;
      first->size = header.uncompressedSize;
      first->dosTime = header.modTime;
      first->dosDate = header.modDate;
    }
    for (int i = 0; i < zip.GetEntryCount(); ++i) {
      if (zip.IsEntryDirectory(i)) continue;
      if (!InflateEntry(zip, i, shared)) {
        zip.Close(true);  // cancelled: nothing judged
        return verdict;
      }
    }
    zip.Close();
  } catch (const CZipException& e) {
    verdict.damaged = true;
    verdict.reason = ReasonOf(e.cause());
    zip.Close(true);
  } catch (const platform::FileError&) {
    verdict.damaged = true;
    verdict.reason = vt::kArchiveBadFormat;
    zip.Close(true);
  }
  return verdict;
}

bool SameEntryTime(const ArchiveEntryFacts& entry, platform::FileTime lastWrite) {
  std::uint16_t dosTime = 0, dosDate = 0;
  DosTimeFromFileTime(lastWrite, dosTime, dosDate);
  return dosTime == entry.dosTime && dosDate == entry.dosDate;
}

bool Crc32OfFile(const std::string& path, std::uint32_t* crc, std::uint64_t* size, int* err,
                 const FileCheckShared& shared) {
  platform::InputFile file;
  if (!file.openSource(path, err)) return false;
  constexpr std::size_t kChunk = 256 * 1024;
  thread_local std::vector<unsigned char> buffer(kChunk);
  uLong value = crc32(0L, Z_NULL, 0);
  *size = 0;
  for (;;) {
    if (shared.cancel && shared.cancel->load(std::memory_order_relaxed)) {
      *err = ECANCELED;
      return false;
    }
    const long long n = file.tryRead(buffer.data(), buffer.size(), err);
    if (n < 0) return false;
    if (n == 0) break;
    value = crc32(value, buffer.data(), static_cast<uInt>(n));
    *size += static_cast<std::uint64_t>(n);
  }
  *crc = static_cast<std::uint32_t>(value);
  return true;
}

}  // namespace kalvero
