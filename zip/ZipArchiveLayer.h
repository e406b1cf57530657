#pragma once
// The zip archive layer: writes single-volume archives with deflated entries
// and reads archives with stored and deflated entries, over the system zlib.
// Failures are exceptions (CZipException for the format, platform::FileError
// for the archive file); the bool results are the only quiet failures.
// One object per run; it is used by one thread at a time.
#include <cstddef>
#include <cstdint>
#include <exception>
#include <functional>
#include <list>
#include <memory>
#include <string>
#include <vector>

#include "platform/FileTime.h"
#include "platform/PathUtil.h"

struct z_stream_s;

namespace kalvero {

namespace platform {
class ArchiveFile;
struct AccessStatus;
}

// Exception of the layer: a cause number and the path of the open archive.
// It has no message text of its own (what() is ""): callers build their
// texts from the cause.
class CZipException : public std::exception {
 public:
  enum Cause : int {
    GENERIC = 1,          // a result code not listed below
    STREAM_END = 2,       // zlib Z_STREAM_END where not expected
    NEED_DICT = 3,        // never raised
    ERRNO_ERROR = 4,      // zlib Z_ERRNO
    STREAM_ERROR = 5,     // zlib Z_STREAM_ERROR
    DATA_ERROR = 6,       // zlib Z_DATA_ERROR: corrupt compressed data
    MEM_ERROR = 7,        // zlib Z_MEM_ERROR
    BUF_ERROR = 8,        // zlib Z_BUF_ERROR: compressed data ends too early
    VERSION_ERROR = 9,    // zlib Z_VERSION_ERROR
    BAD_ZIP_FILE = 10,    // damaged or no zip archive
    BAD_CRC = 11,         // CRC-32 of the extracted data differs
    NO_CALLBACK = 12,     // volume of a multi-volume set on a removable drive
    TOO_LONG_NAME = 16,   // entry name longer than 65,535 bytes
  };

  CZipException(int cause, std::string archivePath)
      : cause_(cause), path_(std::move(archivePath)) {}
  const char* what() const noexcept override { return ""; }
  int cause() const { return cause_; }
  const std::string& archivePath() const { return path_; }
  static const char* className() { return "CZipException"; }

 private:
  int cause_;
  std::string path_;
};

// One entry: the fields of a central directory file header in file order.
struct ZipEntryHeader {
  virtual ~ZipEntryHeader() = default;

  std::uint32_t signature = 0x02014b50;
  std::uint16_t versionMadeBy = 20;
  std::uint16_t versionNeeded = 20;
  std::uint16_t flags = 0;
  std::uint16_t method = 8;
  std::uint16_t modTime = 0;  // DOS time
  std::uint16_t modDate = 0;  // DOS date
  std::uint32_t crc32 = 0;
  std::uint32_t compressedSize = 0;
  std::uint32_t uncompressedSize = 0;
  std::uint16_t nameLength = 0;
  std::uint16_t extraLength = 0;
  std::uint16_t commentLength = 0;
  std::uint16_t diskStart = 0;
  std::uint16_t internalAttributes = 0;
  std::uint32_t externalAttributes = 0x20;  // the archive attribute bit
  std::uint32_t localHeaderOffset = 0;
  std::string name;  // UTF-8, "/" between directories, as handed to callers
  std::vector<unsigned char> extra;
  std::string comment;

  // The entry's modification time as a file time (DOS time read as local time).
  platform::FileTime lastWriteTime() const;
  // The permission bits (with setuid, setgid, sticky) of a regular file
  // recorded by a Unix host in the high 16 bits of the external attributes;
  // -1 when there are none.
  long unixMode() const;
};

// DOS time and date of a file time, broken down in local time: years up to
// 1980 give year part 0, odd seconds are rounded down.
void DosTimeFromFileTime(platform::FileTime t, std::uint16_t& dosTime, std::uint16_t& dosDate);
// The file time of a DOS time and date read as local time (0 when invalid).
platform::FileTime FileTimeFromDos(std::uint16_t dosTime, std::uint16_t dosDate);

// The central directory of the open archive.
class CentralDirectory {
 public:
  virtual ~CentralDirectory() = default;

  std::vector<std::unique_ptr<ZipEntryHeader>> entries;  // stored names (raw bytes)
  std::string comment;
  std::uint16_t thisDisk = 0;
  std::uint16_t diskWithDirectory = 0;
  std::uint16_t entriesOnDisk = 0;
  std::uint16_t totalEntries = 0;
  std::uint32_t directorySize = 0;
  std::uint32_t directoryOffset = 0;
  std::uint64_t endRecordPosition = 0;
  std::uint64_t bytesBefore = 0;  // bytes that precede the archive (a stub)
  bool onDisk = false;            // read from an existing archive and unchanged
  ZipEntryHeader* current = nullptr;
  bool currentHasDescriptor = false;
  std::vector<unsigned char> localExtra;
  static constexpr std::size_t kSearchChunk = 32768;

  void clear();
};

// Progress of ExtractEntry: bytes of the entry written so far; returning
// false cancels the extraction.
using ExtractProgress = std::function<bool(std::uint64_t done)>;

enum class ExtractResult {
  Done,          // the target holds the entry's bytes, CRC checked, time and attributes set
  Refused,       // OpenEntry refused the entry (index out of range, entry already open)
  Cancelled,     // progress returned false: the target was left as it was
  TimesNotSet,   // the target is complete but its time or attributes could not be set
};

class ZipArchiveLayer {
 public:
  enum OpenMode { Create, OpenExisting };
  static constexpr std::size_t kCompressionBufferSize = 16384;
  static constexpr std::size_t kWriteBufferSize = 65535;
  static constexpr std::size_t kChunk = 640000;  // what callers move at a time

  ZipArchiveLayer();
  virtual ~ZipArchiveLayer();
  ZipArchiveLayer(const ZipArchiveLayer&) = delete;
  ZipArchiveLayer& operator=(const ZipArchiveLayer&) = delete;

  bool IsClosed() const;
  // Create: the file is created or truncated. OpenExisting: the file is
  // opened read-only and its central directory is read; the archive is never
  // changed. Ignored when an archive is open. Throws FileError / CZipException.
  // dir: path's directory held open, where Create makes the file by its name.
  void Open(const std::string& path, OpenMode mode, int dir = -1);
  bool SetArchiveComment(const std::string& comment);
  std::string GetArchiveComment() const;

  // Adds a new entry and makes it the one being written. The source path (may
  // be empty) gives the entry's time and attributes; false when they could
  // not be read, the entry is written all the same. level: zlib level (-1).
  // With a source, the entry records its Unix mode (host 3), and the archive
  // file is narrowed to the source's permissions and, as root, given its
  // owner and group.
  bool OpenNewFile(ZipEntryHeader& header, int level, const std::string& sourcePath = {});
  bool WriteNewFile(const void* buffer, std::size_t count);
  bool CloseNewFile();

  int GetEntryCount() const;
  bool GetEntryInfo(int index, ZipEntryHeader& out) const;
  bool IsEntryDirectory(int index) const;
  bool OpenEntry(int index);
  // Uncompressed bytes delivered; 0 when nothing is open or the entry is exhausted.
  std::size_t ReadEntry(void* buffer, std::size_t count);
  // Finishes the entry being extracted (CRC check when all bytes were read).
  // outputPath (closed by the caller) receives the entry's time and attributes;
  // false when that fails or no entry is being extracted.
  bool CloseEntry(const std::string& outputPath = {});
  // afterException: close the file as it is, without finishing anything.
  void Close(bool afterException = false);

  // Extracts entry index into target: written under a hidden temporary name
  // beside it (the target's directory must exist), the CRC checked, time and
  // attributes set, then renamed over target. An entry with a Unix mode gives
  // the file that mode (run as root also the archive file's owner and group;
  // setuid/setgid only where the owner/group are the archive's) instead of
  // the DOS attributes. progress is called after every
  // chunk. On an exception or a cancel the temporary file is removed and
  // target is left as it was. Throws FileError / CZipException.
  ExtractResult ExtractEntry(int index, const std::string& target, const ExtractProgress& progress = {});

  // Path of the open archive ("" when closed).
  const std::string& archivePath() const { return path_; }
  const CentralDirectory& centralDirectory() const { return dir_; }
  // zlib blocks currently allocated through the layer (for tests).
  std::size_t zlibBlocks() const { return zlibBlocks_.size(); }

 private:
  struct ZlibBlock;
  friend struct ZlibAccess;

  [[noreturn]] void fail(int cause) const;
  void throwZlib(int result) const;
  void writeBuffered(const void* data, std::size_t n);
  void flushWriteBuffer();
  std::uint64_t position() const;
  void readExact(void* data, std::size_t n);  // short read: cause 10
  std::size_t readVolume(void* data, std::size_t n);
  void openVolume(int volume);
  void readCentralDirectory();
  void locateEndRecord();
  void writeCentralDirectory();
  void writeLocalHeader(const ZipEntryHeader& h, const std::string& storedName);
  void endStreams();
  std::uint32_t recordedMode(const platform::AccessStatus& access);
  bool headerFromSource(ZipEntryHeader& header, const std::string& sourcePath, bool& unixMode);
  void writeLocalHeader(ZipEntryHeader& entry);
  void startDeflate(int level);

  bool convertSlashes_ = true;
  bool convertCodePage_ = true;
  bool trackZlib_ = true;
  std::unique_ptr<z_stream_s> stream_;
  bool streamActive_ = false;  // deflate or inflate initialised
  std::uint32_t uncompressedLeft_ = 0;
  std::uint32_t compressedLeft_ = 0;  // writing: pending output; extracting: still to read
  std::uint32_t crc_ = 0;
  std::vector<unsigned char> compressionBuffer_;
  std::unique_ptr<platform::ArchiveFile> file_;
  std::vector<unsigned char> writeBuffer_;
  std::size_t writeBuffered_ = 0;
  int currentVolume_ = -1;
  bool multiVolume_ = false;
  int lastVolume_ = 0;
  std::list<std::unique_ptr<ZlibBlock>> zlibBlocks_;
  int entryState_ = 0;  // 0 none, 1 writing, -1 extracting
  CentralDirectory dir_;
  std::string path_;
  std::uint64_t fileLength_ = 0;
  bool readOnly_ = false;     // opened with OpenExisting: never written
  bool streamEnded_ = false;  // extracting: the deflate stream has ended
  bool modeApplied_ = false;  // extracting: ExtractEntry gave the output its Unix mode
};

// The unpacking's names for the path helpers of platform/PathUtil.
// Directory part with its trailing "/" ("/a/b.txt" -> "/a/").
inline std::string GetDirectoryOf(const std::string& path) { return ParentDirectory(path); }
// Creates a directory with every missing parent; true when it exists afterwards.
inline bool CreateDirectoryPath(const std::string& path) { return MakeDirectories(path); }
// True when path is an existing directory (stat; the current directory is never changed).
inline bool IsExistingDirectory(const std::string& path) { return GetPathKind(path) == PathKind::Directory; }

}  // namespace kalvero
