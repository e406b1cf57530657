// Listing and extracting the entries of an open archive.
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include "platform/ArchiveFile.h"
#include "platform/FileError.h"
#include "platform/FileSystem.h"
#include "zip/ZipArchiveLayer.h"
#include "zip/ZipFormat.h"
#include "zip/ZipNames.h"
#include "zip/ZipZlib.h"

namespace kalvero {

using namespace zipformat;

namespace {
// An index is valid when its low 16 bits are below the entry count.
bool validIndex(int index, std::size_t count) { return static_cast<std::size_t>(index & 0xFFFF) < count; }
}  // namespace

long ZipEntryHeader::unixMode() const {
  if ((versionMadeBy >> 8) != 3) return -1;
  const std::uint32_t mode = externalAttributes >> 16;
  const std::uint32_t type = mode & 0170000;
  // Only a regular file's mode (or bare permission bits) applies to what is unpacked.
  if (mode == 0 || (type != 0 && type != 0100000)) return -1;
  return static_cast<long>(mode & 07777);
}

int ZipArchiveLayer::GetEntryCount() const { return static_cast<int>(dir_.entries.size()); }

bool ZipArchiveLayer::GetEntryInfo(int index, ZipEntryHeader& out) const {
  if (IsClosed() || !validIndex(index, dir_.entries.size())) return false;
  const ZipEntryHeader& e = *dir_.entries[index & 0xFFFF];
  out = e;
  out.name = zipnames::nameForCaller(e.name, e.flags, e.versionMadeBy);
  return true;
}

bool ZipArchiveLayer::IsEntryDirectory(int index) const {
  if (IsClosed() || !validIndex(index, dir_.entries.size())) return false;
  const ZipEntryHeader& e = *dir_.entries[index & 0xFFFF];
  // Tools that leave the attribute word empty still end a directory's name with "/".
  return (e.externalAttributes & 0x10) != 0 || (!e.name.empty() && e.name.back() == '/');
}

bool ZipArchiveLayer::OpenEntry(int index) {
  if (IsClosed() || !validIndex(index, dir_.entries.size()) || entryState_ != 0) return false;
  ZipEntryHeader& e = *dir_.entries[index & 0xFFFF];
  compressionBuffer_.assign(kCompressionBufferSize, 0);
  dir_.current = &e;
  openVolume(e.diskStart);
  file_->seek(dir_.bytesBefore + e.localHeaderOffset);

  unsigned char h[kLocalHeaderSize];
  readExact(h, sizeof h);
  const std::uint16_t flags = get16(h + 6);
  const std::uint16_t method = get16(h + 8);
  if (get32(h) != kLocalSignature || method != e.method || (method != 0 && method != 8) ||
      get16(h + 26) != e.nameLength)
    fail(CZipException::BAD_ZIP_FILE);
  const bool descriptor = (flags & 0x0008) != 0;
  if (!descriptor && (get32(h + 14) != e.crc32 || get32(h + 18) != e.compressedSize ||
                      get32(h + 22) != e.uncompressedSize))
    fail(CZipException::BAD_ZIP_FILE);
  file_->seek(file_->position() + get16(h + 26));
  dir_.localExtra.assign(get16(h + 28), 0);
  readExact(dir_.localExtra.data(), dir_.localExtra.size());
  dir_.currentHasDescriptor = descriptor;

  z_stream_s& z = *stream_;
  std::memset(&z, 0, sizeof z);
  if (method == 8) {
    if (trackZlib_) {
      z.zalloc = &ZlibAccess::alloc;
      z.zfree = &ZlibAccess::release;
      z.opaque = this;
    }
    throwZlib(inflateInit2(&z, -MAX_WBITS));
    streamActive_ = true;
  }
  compressedLeft_ = e.compressedSize;
  uncompressedLeft_ = e.uncompressedSize;
  crc_ = 0;
  streamEnded_ = false;
  entryState_ = -1;
  return true;
}

std::size_t ZipArchiveLayer::ReadEntry(void* buffer, std::size_t count) {
  if (entryState_ != -1 || buffer == nullptr || count == 0) return 0;
  const std::uint16_t method = dir_.current->method;
  z_stream_s& z = *stream_;
  const std::size_t wanted = std::min<std::size_t>(count, uncompressedLeft_);
  if (wanted == 0 || streamEnded_) return 0;
  auto* out = static_cast<Bytef*>(buffer);
  std::size_t delivered = 0;
  while (delivered < wanted) {
    if (z.avail_in == 0 && compressedLeft_ > 0) {
      std::size_t n = std::min<std::size_t>(compressionBuffer_.size(), compressedLeft_);
      if (readVolume(compressionBuffer_.data(), n) != n) fail(CZipException::BAD_ZIP_FILE);
      compressedLeft_ -= static_cast<std::uint32_t>(n);
      z.next_in = compressionBuffer_.data();
      z.avail_in = static_cast<uInt>(n);
    }
    if (method == 8) {
      z.next_out = out + delivered;
      z.avail_out = static_cast<uInt>(wanted - delivered);
      int r = inflate(&z, Z_SYNC_FLUSH);
      std::size_t produced = (wanted - delivered) - z.avail_out;
      crc_ = static_cast<std::uint32_t>(::crc32(crc_, out + delivered, static_cast<uInt>(produced)));
      uncompressedLeft_ -= static_cast<std::uint32_t>(produced);
      delivered += produced;
      if (r == Z_STREAM_END) {
        streamEnded_ = true;
        return delivered;
      }
      if (r != Z_OK && r != Z_NEED_DICT) throwZlib(r);
    } else {
      // A stored entry whose data ends before its declared size is damaged.
      if (z.avail_in == 0) fail(CZipException::BAD_ZIP_FILE);
      std::size_t n = std::min<std::size_t>(z.avail_in, wanted - delivered);
      std::memcpy(out + delivered, z.next_in, n);
      crc_ = static_cast<std::uint32_t>(::crc32(crc_, out + delivered, static_cast<uInt>(n)));
      z.next_in += n;
      z.avail_in -= static_cast<uInt>(n);
      uncompressedLeft_ -= static_cast<std::uint32_t>(n);
      delivered += n;
    }
  }
  return delivered;
}

bool ZipArchiveLayer::CloseEntry(const std::string& outputPath) {
  if (entryState_ != -1) return false;
  ZipEntryHeader& e = *dir_.current;
  // A deflate stream that ends before the declared size is damaged.
  if (streamEnded_ && uncompressedLeft_ != 0) fail(CZipException::BAD_ZIP_FILE);
  if (uncompressedLeft_ == 0 && crc_ != e.crc32) fail(CZipException::BAD_CRC);
  if (streamActive_) {
    inflateEnd(stream_.get());
    streamActive_ = false;
  }
  // The descriptor follows the data: only checked when all of it was read.
  if (dir_.currentHasDescriptor && compressedLeft_ == 0) {
    const std::uint64_t here = file_->position();
    unsigned char d[16];
    readExact(d, 4);
    std::size_t at = 0;
    if (get32(d) == kDescriptorSignature) {
      readExact(d + 4, 12);
      at = 4;
    } else {
      file_->seek(here);
      readExact(d, 12);
    }
    if (get32(d + at) != e.crc32 || get32(d + at + 4) != e.compressedSize ||
        get32(d + at + 8) != e.uncompressedSize)
      fail(CZipException::BAD_ZIP_FILE);
  }
  bool result = true;
  if (!outputPath.empty()) {
    const platform::FileTime written = e.lastWriteTime();
    auto now = platform::statPath(outputPath);
    if (written == 0 || !now) {
      result = false;
    } else {
      // Access time: now; the file was just written.
      if (!platform::setFileTimes(outputPath, written, now->lastWrite)) result = false;
      if (!modeApplied_ && !platform::setFileAttributes(outputPath, e.externalAttributes & 0xFF)) result = false;
    }
  }
  entryState_ = 0;
  dir_.current = nullptr;
  modeApplied_ = false;
  compressionBuffer_.clear();
  compressionBuffer_.shrink_to_fit();
  return result;
}

ExtractResult ZipArchiveLayer::ExtractEntry(int index, const std::string& target, const ExtractProgress& progress) {
  if (!OpenEntry(index)) return ExtractResult::Refused;
  const long mode = dir_.current->unixMode();
  platform::ArchiveFile out;
  std::string temporary;
  // Ends the entry without checks and removes the unfinished file.
  auto abort = [&] {
    out.abandon();
    if (!temporary.empty()) platform::removeFile(temporary);
    if (streamActive_) inflateEnd(stream_.get());
    streamActive_ = false;
    entryState_ = 0;
    modeApplied_ = false;
    dir_.current = nullptr;
  };
  try {
    // A private file's bytes are never readable by others, not even while written.
    out.open(target, platform::ArchiveFile::Mode::CreateHidden, mode >= 0 ? 0600 : 0666);
    temporary = out.path();
    // Not zeroed: a cleared 640 KB per entry cost more than small entries take to unpack.
    const auto buffer = std::make_unique_for_overwrite<unsigned char[]>(kChunk);
    std::uint64_t done = 0;
    for (;;) {
      std::size_t n = ReadEntry(buffer.get(), kChunk);
      if (n > 0) out.write(buffer.get(), n);
      done += n;
      if (progress && !progress(done)) {
        abort();
        return ExtractResult::Cancelled;
      }
      if (n < kChunk) break;
    }
    if (mode >= 0) {
      out.applyMode(static_cast<std::uint32_t>(mode), file_->owner());
      modeApplied_ = true;
    }
    out.close();
    bool timesSet = CloseEntry(temporary);
    int err = 0;
    if (!platform::renamePath(temporary, target, &err))
      throw platform::FileError(platform::causeFromErrno(err), err, target);
    return timesSet ? ExtractResult::Done : ExtractResult::TimesNotSet;
  } catch (...) {
    abort();
    throw;
  }
}

}  // namespace kalvero
