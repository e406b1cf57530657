#pragma once
// A binary file with random access (the zip archive file). Failures throw
// FileError with the file's name.
#include <cstddef>
#include <cstdint>
#include <string>

namespace kalvero::platform {

class ArchiveFile {
 public:
  enum class Mode {
    ReadOnly,        // an existing file, never changed
    CreateTruncate,  // created or truncated, read and write, mode 0666 & ~umask
    CreateHidden,    // a new hidden temporary file beside the given target (see open)
  };

  ArchiveFile() = default;
  ~ArchiveFile();  // closes without throwing
  ArchiveFile(const ArchiveFile&) = delete;
  ArchiveFile& operator=(const ArchiveFile&) = delete;

  // CreateHidden creates ".<name>.kalvero-XXXXXX" exclusively in the
  // directory of path; path() then names that temporary file.
  void open(const std::string& path, Mode mode);
  bool isOpen() const { return fd_ >= 0; }
  // Reads up to n bytes at the current position; fewer only at the end.
  std::size_t read(void* buffer, std::size_t n);
  // Writes all n bytes or throws.
  void write(const void* buffer, std::size_t n);
  void seek(std::uint64_t offset);
  std::uint64_t position() const { return position_; }
  std::uint64_t length() const;
  // Closes; throws when the close reports a failure (a lost write).
  void close();
  // Closes without throwing (after a failure).
  void abandon() noexcept;
  const std::string& path() const { return path_; }

 private:
  int fd_ = -1;
  std::string path_;
  std::uint64_t position_ = 0;
};

// Creates path exclusively (O_EXCL, mode 0600) as an empty file; false with
// *err (EEXIST when it exists).
bool createExclusiveFile(const std::string& path, int* err = nullptr);

// Name of the hidden temporary file used beside target, before the random part:
// "<dir>/.<name>.kalvero-" (the name part cut so that the whole stays a valid name).
std::string hiddenTemporaryPrefix(const std::string& target);

}  // namespace kalvero::platform
