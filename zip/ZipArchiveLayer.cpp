#include "zip/ZipArchiveLayer.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <new>

#include "platform/ArchiveFile.h"
#include "platform/FileError.h"
#include "platform/FileSystem.h"
#include "zip/ZipFormat.h"
#include "zip/ZipNames.h"
#include "zip/ZipZlib.h"

namespace kalvero {

using namespace zipformat;

// zlib's memory goes through the layer, so streams abandoned by an exception
// are freed with the object at the latest.
struct ZipArchiveLayer::ZlibBlock {
  std::unique_ptr<unsigned char[]> data;
};

voidpf ZlibAccess::alloc(voidpf opaque, uInt items, uInt size) {
    auto* layer = static_cast<ZipArchiveLayer*>(opaque);
    auto block = std::make_unique<ZipArchiveLayer::ZlibBlock>();
    block->data.reset(new (std::nothrow) unsigned char[static_cast<std::size_t>(items) * size]);
    if (!block->data) return nullptr;
    void* p = block->data.get();
    layer->zlibBlocks_.push_back(std::move(block));
    return p;
}

void ZlibAccess::release(voidpf opaque, voidpf address) {
    auto* layer = static_cast<ZipArchiveLayer*>(opaque);
    auto& blocks = layer->zlibBlocks_;
    for (auto it = blocks.begin(); it != blocks.end(); ++it) {
      if ((*it)->data.get() == address) {
        blocks.erase(it);
        return;
      }
    }
}

void CentralDirectory::clear() {
  entries.clear();
  comment.clear();
  thisDisk = diskWithDirectory = entriesOnDisk = totalEntries = 0;
  directorySize = directoryOffset = 0;
  endRecordPosition = bytesBefore = 0;
  onDisk = false;
  current = nullptr;
  currentHasDescriptor = false;
  localExtra.clear();
}

ZipArchiveLayer::ZipArchiveLayer() : stream_(std::make_unique<z_stream_s>()) {
  std::memset(stream_.get(), 0, sizeof(z_stream_s));
}

ZipArchiveLayer::~ZipArchiveLayer() {
  endStreams();
  if (file_) file_->abandon();
}

bool ZipArchiveLayer::IsClosed() const { return currentVolume_ == -1; }

void ZipArchiveLayer::fail(int cause) const { throw CZipException(cause, path_); }

void ZipArchiveLayer::throwZlib(int result) const {
  switch (result) {
    case Z_OK:
    case Z_NEED_DICT:
      return;
    case Z_STREAM_END: fail(CZipException::STREAM_END);
    case Z_ERRNO: fail(CZipException::ERRNO_ERROR);
    case Z_STREAM_ERROR: fail(CZipException::STREAM_ERROR);
    case Z_DATA_ERROR: fail(CZipException::DATA_ERROR);
    case Z_MEM_ERROR: fail(CZipException::MEM_ERROR);
    case Z_BUF_ERROR: fail(CZipException::BUF_ERROR);
    case Z_VERSION_ERROR: fail(CZipException::VERSION_ERROR);
    default: fail(CZipException::GENERIC);
  }
}

void ZipArchiveLayer::endStreams() {
  if (!streamActive_) return;
  if (entryState_ == 1)
    deflateEnd(stream_.get());
  else
    inflateEnd(stream_.get());
  streamActive_ = false;
}

// ---- archive file -------------------------------------------------------

void ZipArchiveLayer::writeBuffered(const void* data, std::size_t n) {
  const auto* in = static_cast<const unsigned char*>(data);
  while (n > 0) {
    std::size_t room = writeBuffer_.size() - writeBuffered_;
    if (room == 0) {
      flushWriteBuffer();
      continue;
    }
    std::size_t take = std::min(room, n);
    std::memcpy(writeBuffer_.data() + writeBuffered_, in, take);
    writeBuffered_ += take;
    in += take;
    n -= take;
  }
}

void ZipArchiveLayer::flushWriteBuffer() {
  if (writeBuffered_ == 0) return;
  std::size_t n = writeBuffered_;
  writeBuffered_ = 0;
  file_->write(writeBuffer_.data(), n);
}

std::uint64_t ZipArchiveLayer::position() const { return file_->position() + writeBuffered_; }

void ZipArchiveLayer::readExact(void* data, std::size_t n) {
  if (file_->read(data, n) != n) fail(CZipException::BAD_ZIP_FILE);
}

// Entry data may go on in the next volume of a set.
std::size_t ZipArchiveLayer::readVolume(void* data, std::size_t n) {
  auto* out = static_cast<unsigned char*>(data);
  std::size_t done = file_->read(out, n);
  while (done < n && multiVolume_ && currentVolume_ < lastVolume_) {
    openVolume(currentVolume_ + 1);
    file_->seek(0);
    std::size_t more = file_->read(out + done, n - done);
    done += more;
  }
  return done;
}

namespace {

std::string VolumeName(const std::string& archive, int volume, int lastVolume) {
  if (volume == lastVolume) return archive;
  std::string::size_type slash = archive.rfind('/');
  std::string::size_type dot = archive.rfind('.');
  std::string title = (dot == std::string::npos || (slash != std::string::npos && dot < slash))
                          ? archive
                          : archive.substr(0, dot);
  char ext[16];
  std::snprintf(ext, sizeof ext, ".%.3d", volume + 1);
  return title + ext;
}

}  // namespace

void ZipArchiveLayer::openVolume(int volume) {
  if (!multiVolume_ || volume == currentVolume_) return;
  if (volume < 0 || volume > lastVolume_) fail(CZipException::BAD_ZIP_FILE);
  file_->abandon();
  file_->open(VolumeName(path_, volume, lastVolume_), platform::ArchiveFile::Mode::ReadOnly);
  currentVolume_ = volume;
}

// ---- open and the central directory -------------------------------------

void ZipArchiveLayer::Open(const std::string& path, OpenMode mode, int dir) {
  if (!IsClosed()) return;
  endStreams();
  entryState_ = 0;
  writeBuffer_.assign(kWriteBufferSize, 0);
  writeBuffered_ = 0;
  multiVolume_ = false;
  lastVolume_ = 0;
  path_ = path;
  dir_.clear();
  readOnly_ = mode == OpenExisting;
  if (!file_) file_ = std::make_unique<platform::ArchiveFile>();
  if (mode == Create) {
    currentVolume_ = 0;
    file_->open(path, platform::ArchiveFile::Mode::CreateTruncate, 0666, dir);
    return;
  }
  // A failed OpenExisting leaves nothing open behind it.
  try {
    file_->open(path, platform::ArchiveFile::Mode::ReadOnly);
    readCentralDirectory();
  } catch (...) {
    file_->abandon();
    dir_.clear();
    currentVolume_ = -1;
    multiVolume_ = false;
    writeBuffer_.clear();
    path_.clear();
    throw;
  }
}

void ZipArchiveLayer::locateEndRecord() {
  const std::uint64_t length = file_->length();
  fileLength_ = length;
  if (length < kEndRecordSize) fail(CZipException::BAD_ZIP_FILE);
  const std::uint64_t window = std::min<std::uint64_t>(length, kEndRecordSize + 65535);
  const std::uint64_t lowest = length - window;
  // Only positions where a whole record fits can hold one.
  std::uint64_t chunkEnd = length - kEndRecordSize + 4;
  std::vector<unsigned char> chunk(CentralDirectory::kSearchChunk);
  for (;;) {
    std::uint64_t chunkStart =
        chunkEnd - lowest > CentralDirectory::kSearchChunk ? chunkEnd - CentralDirectory::kSearchChunk : lowest;
    std::size_t n = static_cast<std::size_t>(chunkEnd - chunkStart);
    file_->seek(chunkStart);
    readExact(chunk.data(), n);
    for (std::size_t i = n - 4 + 1; i-- > 0;) {
      if (get32(chunk.data() + i) == kEndSignature) {
        dir_.endRecordPosition = chunkStart + i;
        return;
      }
    }
    if (chunkStart == lowest) break;
    chunkEnd = chunkStart + 3;  // overlap: a signature cut by the chunk border
  }
  fail(CZipException::BAD_ZIP_FILE);
}

void ZipArchiveLayer::readCentralDirectory() {
  locateEndRecord();
  unsigned char rec[kEndRecordSize];
  file_->seek(dir_.endRecordPosition);
  readExact(rec, sizeof rec);
  dir_.thisDisk = get16(rec + 4);
  dir_.diskWithDirectory = get16(rec + 6);
  dir_.entriesOnDisk = get16(rec + 8);
  dir_.totalEntries = get16(rec + 10);
  dir_.directorySize = get32(rec + 12);
  dir_.directoryOffset = get32(rec + 16);
  const std::uint16_t commentLength = get16(rec + 20);

  if (dir_.thisDisk != 0) {
    // The last volume of a set; the others lie beside it.
    multiVolume_ = true;
    lastVolume_ = dir_.thisDisk;
    currentVolume_ = lastVolume_;
    dir_.bytesBefore = 0;
  } else {
    currentVolume_ = 0;
    const std::uint64_t end = std::uint64_t(dir_.directoryOffset) + dir_.directorySize;
    if (dir_.endRecordPosition < end) fail(CZipException::BAD_ZIP_FILE);
    dir_.bytesBefore = dir_.endRecordPosition - end;
  }
  dir_.comment.assign(commentLength, '\0');
  readExact(dir_.comment.data(), commentLength);

  if ((dir_.directorySize == 0) != (dir_.totalEntries == 0)) fail(CZipException::BAD_ZIP_FILE);
  dir_.onDisk = true;
  if (dir_.directorySize == 0) return;

  openVolume(dir_.diskWithDirectory);
  file_->seek(dir_.bytesBefore + dir_.directoryOffset);
  for (unsigned i = 0; i < dir_.totalEntries; ++i) {
    unsigned char h[kCentralHeaderSize];
    readExact(h, sizeof h);
    if (get32(h) != kCentralSignature) fail(CZipException::BAD_ZIP_FILE);
    auto e = std::make_unique<ZipEntryHeader>();
    e->signature = get32(h);
    e->versionMadeBy = get16(h + 4);
    e->versionNeeded = get16(h + 6);
    e->flags = get16(h + 8);
    e->method = get16(h + 10);
    e->modTime = get16(h + 12);
    e->modDate = get16(h + 14);
    e->crc32 = get32(h + 16);
    e->compressedSize = get32(h + 20);
    e->uncompressedSize = get32(h + 24);
    e->nameLength = get16(h + 28);
    e->extraLength = get16(h + 30);
    e->commentLength = get16(h + 32);
    e->diskStart = get16(h + 34);
    e->internalAttributes = get16(h + 36);
    e->externalAttributes = get32(h + 38);
    e->localHeaderOffset = get32(h + 42);
    // Sizes come from 16-bit fields: at most 64 KiB each, read at once.
    e->name.assign(e->nameLength, '\0');
    readExact(e->name.data(), e->nameLength);
    e->extra.assign(e->extraLength, 0);
    readExact(e->extra.data(), e->extraLength);
    e->comment.assign(e->commentLength, '\0');
    readExact(e->comment.data(), e->commentLength);
    dir_.entries.push_back(std::move(e));
  }
}

bool ZipArchiveLayer::SetArchiveComment(const std::string& comment) {
  if (IsClosed() || multiVolume_ || readOnly_) return false;
  dir_.comment = comment;
  dir_.onDisk = false;
  return true;
}

std::string ZipArchiveLayer::GetArchiveComment() const { return IsClosed() ? std::string() : dir_.comment; }

// ---- writing ------------------------------------------------------------

// The archive is never more open than its source and, as root, has its
// owner; the entry records the source's mode as Unix tools do, without
// setuid/setgid where the archive could not get the source's owner/group.
std::uint32_t ZipArchiveLayer::recordedMode(const platform::AccessStatus& access) {
  file_->narrowTo(access.mode, access.owner);
  const platform::ArchiveFile::Owner owner = file_->owner();
  std::uint32_t mode = access.mode & 0xFFFF;
  if (owner.uid != access.owner.uid) mode &= ~std::uint32_t{04000};
  if (owner.gid != access.owner.gid) mode &= ~std::uint32_t{02000};
  return mode;
}

// The entry's time, attributes and mode from its source file; false when
// one of them could not be read (the entry then has the defaults).
bool ZipArchiveLayer::headerFromSource(ZipEntryHeader& header, const std::string& sourcePath, bool& unixMode) {
  auto st = platform::statPath(sourcePath);
  if (!st) {
    header.modTime = header.modDate = 0;
    header.externalAttributes = 0x20;
    return false;
  }
  bool result = true;
  DosTimeFromFileTime(st->lastWrite, header.modTime, header.modDate);
  std::uint32_t attributes = 0;
  if (platform::getFileAttributes(sourcePath, attributes)) {
    header.externalAttributes = attributes;
  } else {
    header.externalAttributes = 0x20;
    result = false;
  }
  if (auto access = platform::accessStatusOf(sourcePath)) {
    header.externalAttributes = (header.externalAttributes & 0xFFFF) | (recordedMode(*access) << 16);
    unixMode = true;
  }
  return result;
}

bool ZipArchiveLayer::OpenNewFile(ZipEntryHeader& header, int level, const std::string& sourcePath) {
  if (IsClosed() || entryState_ != 0 || multiVolume_ || readOnly_ || dir_.entries.size() >= 65535)
    return false;

  bool unixMode = false;
  const bool result = sourcePath.empty() || headerFromSource(header, sourcePath, unixMode);

  std::string stored = header.name;
  if (stored.empty()) stored = "file" + std::to_string(dir_.entries.size() + 1);
  if (stored.size() > 65535) fail(CZipException::TOO_LONG_NAME);

  compressionBuffer_.assign(kCompressionBufferSize, 0);
  auto entry = std::make_unique<ZipEntryHeader>(header);
  ZipEntryHeader& e = *entry;
  dir_.entries.push_back(std::move(entry));
  dir_.current = &e;
  dir_.onDisk = false;
  flushWriteBuffer();
  file_->seek(file_->length());

  e.name = stored;
  e.signature = kCentralSignature;
  e.versionMadeBy = unixMode ? zipnames::kMadeByUnix : zipnames::versionMadeByFor(stored);
  e.versionNeeded = 20;
  e.method = 8;
  e.flags = level == 1 ? 6 : level == 2 ? 4 : (level == 8 || level == 9) ? 2 : 0;
  if (zipnames::takesUtf8Flag(stored)) e.flags |= zipnames::kUtf8Flag;
  e.crc32 = 0;
  e.compressedSize = e.uncompressedSize = 0;
  e.nameLength = static_cast<std::uint16_t>(stored.size());
  if (e.extra.size() > 65535) e.extra.resize(65535);
  e.extraLength = static_cast<std::uint16_t>(e.extra.size());
  if (e.comment.size() > 65535) e.comment.resize(65535);
  e.commentLength = static_cast<std::uint16_t>(e.comment.size());
  e.internalAttributes = header.internalAttributes;

  writeLocalHeader(e);
  startDeflate(level);
  entryState_ = 1;
  return result;
}

// The entry's local header at the end of the archive; its sizes and CRC
// follow in the data descriptor.
void ZipArchiveLayer::writeLocalHeader(ZipEntryHeader& e) {
  const std::string& stored = e.name;
  std::vector<unsigned char> local(kLocalHeaderSize + stored.size() + e.extra.size());
  unsigned char* p = local.data();
  put32(p, kLocalSignature);
  put16(p + 4, e.versionNeeded);
  put16(p + 6, e.flags);
  put16(p + 8, e.method);
  put16(p + 10, e.modTime);
  put16(p + 12, e.modDate);
  put32(p + 14, 0);
  put32(p + 18, 0);
  put32(p + 22, 0);
  put16(p + 26, e.nameLength);
  put16(p + 28, e.extraLength);
  std::memcpy(p + kLocalHeaderSize, stored.data(), stored.size());
  if (!e.extra.empty()) std::memcpy(p + kLocalHeaderSize + stored.size(), e.extra.data(), e.extra.size());
  const std::uint64_t offset = position();
  if (offset > 0xFFFFFFFFu) fail(CZipException::GENERIC);  // beyond the 32-bit format
  writeBuffered(local.data(), local.size());
  e.extra.clear();
  e.extraLength = 0;
  e.diskStart = 0;
  e.localHeaderOffset = static_cast<std::uint32_t>(offset);
}

void ZipArchiveLayer::startDeflate(int level) {
  z_stream_s& z = *stream_;
  std::memset(&z, 0, sizeof z);
  compressedLeft_ = 0;
  z.next_out = compressionBuffer_.data();
  z.avail_out = static_cast<uInt>(compressionBuffer_.size());
  if (trackZlib_) {
    z.zalloc = &ZlibAccess::alloc;
    z.zfree = &ZlibAccess::release;
    z.opaque = this;
  }
  crc_ = 0;
  throwZlib(deflateInit2(&z, level, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY));
  streamActive_ = true;
}

bool ZipArchiveLayer::WriteNewFile(const void* buffer, std::size_t count) {
  if (entryState_ != 1) return false;
  z_stream_s& z = *stream_;
  const auto* in = static_cast<const Bytef*>(buffer);
  while (count > 0) {
    // zlib counts in 32 bits.
    uInt piece = static_cast<uInt>(std::min<std::size_t>(count, 0x40000000u));
    crc_ = static_cast<std::uint32_t>(::crc32(crc_, in, piece));
    z.next_in = const_cast<Bytef*>(in);
    z.avail_in = piece;
    while (z.avail_in > 0) {
      if (z.avail_out == 0) {
        writeBuffered(compressionBuffer_.data(), compressionBuffer_.size());
        compressedLeft_ = 0;
        z.next_out = compressionBuffer_.data();
        z.avail_out = static_cast<uInt>(compressionBuffer_.size());
      }
      uLong before = z.total_out;
      int r = deflate(&z, Z_NO_FLUSH);
      if (r != Z_OK) throwZlib(r == Z_STREAM_END ? Z_STREAM_END : r);
      compressedLeft_ += static_cast<std::uint32_t>(z.total_out - before);
    }
    in += piece;
    count -= piece;
  }
  return true;
}

bool ZipArchiveLayer::CloseNewFile() {
  if (entryState_ != 1) return false;
  z_stream_s& z = *stream_;
  int r;
  do {
    if (z.avail_out == 0) {
      writeBuffered(compressionBuffer_.data(), compressionBuffer_.size());
      compressedLeft_ = 0;
      z.next_out = compressionBuffer_.data();
      z.avail_out = static_cast<uInt>(compressionBuffer_.size());
    }
    uLong before = z.total_out;
    r = deflate(&z, Z_FINISH);
    compressedLeft_ += static_cast<std::uint32_t>(z.total_out - before);
  } while (r == Z_OK);
  if (r != Z_STREAM_END) throwZlib(r);
  writeBuffered(compressionBuffer_.data(), compressionBuffer_.size() - z.avail_out);
  compressedLeft_ = 0;
  ZipEntryHeader& e = *dir_.current;
  if (z.total_in > 0xFFFFFFFFu || z.total_out > 0xFFFFFFFFu) fail(CZipException::GENERIC);
  e.compressedSize = static_cast<std::uint32_t>(z.total_out);
  e.uncompressedSize = static_cast<std::uint32_t>(z.total_in);
  e.crc32 = crc_;
  streamActive_ = false;
  throwZlib(deflateEnd(&z));

  // The local header gets CRC and sizes now: no data descriptor.
  flushWriteBuffer();
  unsigned char patch[12];
  put32(patch, e.crc32);
  put32(patch + 4, e.compressedSize);
  put32(patch + 8, e.uncompressedSize);
  file_->seek(std::uint64_t(e.localHeaderOffset) + 14);
  file_->write(patch, sizeof patch);
  e.localHeaderOffset -= static_cast<std::uint32_t>(dir_.bytesBefore);
  dir_.current = nullptr;
  entryState_ = 0;
  compressionBuffer_.clear();
  compressionBuffer_.shrink_to_fit();
  return true;
}

void ZipArchiveLayer::writeCentralDirectory() {
  if (dir_.onDisk) return;
  flushWriteBuffer();
  file_->seek(file_->length());
  if (dir_.comment.size() > 65535) dir_.comment.resize(65535);
  const std::uint64_t start = position() - dir_.bytesBefore;
  if (start > 0xFFFFFFFFu) fail(CZipException::GENERIC);
  std::uint64_t size = 0;
  for (const auto& ep : dir_.entries) {
    const ZipEntryHeader& e = *ep;
    unsigned char h[kCentralHeaderSize];
    put32(h, kCentralSignature);
    put16(h + 4, e.versionMadeBy);
    put16(h + 6, e.versionNeeded);
    put16(h + 8, e.flags);
    put16(h + 10, e.method);
    put16(h + 12, e.modTime);
    put16(h + 14, e.modDate);
    put32(h + 16, e.crc32);
    put32(h + 20, e.compressedSize);
    put32(h + 24, e.uncompressedSize);
    put16(h + 28, static_cast<std::uint16_t>(e.name.size()));
    put16(h + 30, static_cast<std::uint16_t>(e.extra.size()));
    put16(h + 32, static_cast<std::uint16_t>(e.comment.size()));
    put16(h + 34, e.diskStart);
    put16(h + 36, e.internalAttributes);
    put32(h + 38, e.externalAttributes);
    put32(h + 42, e.localHeaderOffset);
    std::vector<unsigned char> all(h, h + sizeof h);
    all.insert(all.end(), e.name.begin(), e.name.end());
    all.insert(all.end(), e.extra.begin(), e.extra.end());
    all.insert(all.end(), e.comment.begin(), e.comment.end());
    writeBuffered(all.data(), all.size());
    size += all.size();
  }
  if (size > 0xFFFFFFFFu) fail(CZipException::GENERIC);
  const auto count = static_cast<std::uint16_t>(dir_.entries.size());
  std::vector<unsigned char> end(kEndRecordSize + dir_.comment.size());
  unsigned char* p = end.data();
  put32(p, kEndSignature);
  put16(p + 4, 0);
  put16(p + 6, 0);
  put16(p + 8, count);
  put16(p + 10, count);
  put32(p + 12, static_cast<std::uint32_t>(size));
  put32(p + 16, static_cast<std::uint32_t>(start));
  put16(p + 20, static_cast<std::uint16_t>(dir_.comment.size()));
  std::memcpy(p + kEndRecordSize, dir_.comment.data(), dir_.comment.size());
  writeBuffered(end.data(), end.size());
}

void ZipArchiveLayer::Close(bool afterException) {
  if (IsClosed()) return;
  if (!afterException) {
    if (entryState_ == -1) CloseEntry();
    if (entryState_ == 1) CloseNewFile();
    if (!readOnly_) writeCentralDirectory();
  }
  dir_.clear();
  if (!afterException && !readOnly_) {
    flushWriteBuffer();
    file_->close();
  } else {
    // After a failure the buffered bytes are dropped: no central directory.
    writeBuffered_ = 0;
    endStreams();
    entryState_ = 0;
    file_->abandon();
  }
  if (readOnly_) file_->abandon();
  writeBuffer_.clear();
  writeBuffer_.shrink_to_fit();
  compressionBuffer_.clear();
  writeBuffered_ = 0;
  currentVolume_ = -1;
  multiVolume_ = false;
  readOnly_ = false;
  entryState_ = 0;
  path_.clear();
}

}  // namespace kalvero
