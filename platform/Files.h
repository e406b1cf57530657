#pragma once
// Byte files and text files. Opening and I/O failures throw FileError.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "platform/FileSystem.h"

namespace kalvero::platform {

class InputFile {
 public:
  InputFile() = default;
  explicit InputFile(const std::string& path);  // throws FileError
  ~InputFile();
  InputFile(InputFile&& other) noexcept;
  InputFile& operator=(InputFile&& other) noexcept;
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;

  // Opens without throwing; false with *err set on failure.
  bool open(const std::string& path, int* err = nullptr);
  // Opens a file of a tree (a backup's source): never a link, FIFO or device
  // (kErrorNotRegularFile), never waiting for a writer.
  bool openSource(const std::string& path, int* err = nullptr);
  bool isOpen() const { return fd_ >= 0; }
  // Reads n bytes, fewer only at the end of the file (0 there). Throws FileError on failure.
  std::size_t read(void* buffer, std::size_t n);
  // Reads without throwing: bytes read, or -1 with *err set.
  long long tryRead(void* buffer, std::size_t n, int* err = nullptr);
  // As tryRead, but fills the buffer as far as the file goes (fewer bytes only
  // at its end), so short reads of pipes, FUSE or NFS never look like an end.
  long long tryReadFull(void* buffer, std::size_t n, int* err = nullptr);
  std::uint64_t size() const;
  // The open file's status; nullopt with *err set when it cannot be had.
  std::optional<FileStatus> status(int* err = nullptr) const;
  void seek(std::uint64_t offset);
  std::uint64_t position() const;
  void close();
  int descriptor() const { return fd_; }
  const std::string& path() const { return path_; }

 private:
  int fd_ = -1;
  std::string path_;
};

// A text file written through a buffer (run log, list files). Lines are
// written as given: the callers put the "\r\n" at their ends.
class TextFileWriter {
 public:
  enum class Mode { Truncate, Append };
  TextFileWriter() = default;
  ~TextFileWriter();
  TextFileWriter(const TextFileWriter&) = delete;
  TextFileWriter& operator=(const TextFileWriter&) = delete;

  bool open(const std::string& path, Mode mode, int* err = nullptr, unsigned permissions = 0666);
  bool isOpen() const { return fd_ >= 0; }
  void write(const std::string& text);  // throws FileError
  void flush();                         // throws FileError
  void close();                         // flushes; never throws
  const std::string& path() const { return path_; }

 private:
  int fd_ = -1;
  std::string path_;
  std::string buffer_;
};

// Writes a whole file under a hidden temporary name in the target's
// directory and renames it over the target on commit, so readers only ever
// see the old or the new contents.
class AtomicFileWriter {
 public:
  explicit AtomicFileWriter(std::string target, unsigned permissions = 0666);
  ~AtomicFileWriter();  // discards an uncommitted file
  AtomicFileWriter(const AtomicFileWriter&) = delete;
  AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

  bool open(int* err = nullptr);
  bool write(const void* data, std::size_t n, int* err = nullptr);
  bool write(const std::string& text, int* err = nullptr) { return write(text.data(), text.size(), err); }
  bool commit(int* err = nullptr);  // fsync + rename
  void discard();

 private:
  std::string target_;
  std::string resolvedTarget_;  // target_ with a symlink resolved
  std::string temp_;
  unsigned permissions_;
  int fd_ = -1;
};

// Reads a whole file; false with *err on failure.
bool readWholeFile(const std::string& path, std::string& out, int* err = nullptr);

}  // namespace kalvero::platform
