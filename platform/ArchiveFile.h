#pragma once
// A binary file with random access (the zip archive file). Failures throw
// FileError with the file's name.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace kalvero::platform {

class ArchiveFile {
 public:
  enum class Mode {
    ReadOnly,        // an existing regular file, never changed (never a link or FIFO)
    CreateTruncate,  // created or truncated, read and write, permissions & ~umask
    CreateHidden,    // a new hidden temporary file beside the given target (see open)
  };

  ArchiveFile() = default;
  ~ArchiveFile();  // closes without throwing
  ArchiveFile(const ArchiveFile&) = delete;
  ArchiveFile& operator=(const ArchiveFile&) = delete;

  // CreateHidden creates the program's own temporary name beside path
  // (platform/OwnTemporary) exclusively; path() then names that temporary file. A created file
  // gets permissions & ~umask (the kernel applies the mask: the process's
  // umask is never touched). dir (when not -1): the directory of path, held
  // open; a created file is made there by its name, not by the whole path.
  void open(const std::string& path, Mode mode, unsigned permissions = 0666, int dir = -1);
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

  // Owner and group of the open file.
  struct Owner {
    std::uint32_t uid = 0, gid = 0;
  };
  Owner owner() const;
  // Narrows the permissions to those of sourceMode (never widens them) and,
  // run as root, gives the file owner. A file system that keeps no
  // permissions or owners (EPERM, ENOTSUP) is not an error; others throw.
  void narrowTo(std::uint32_t sourceMode, const Owner& owner);
  // Run as root, gives the file owner; then sets the permission bits of
  // mode, with setuid/setgid only when the file's owner and group are those
  // of owner. Errors as for narrowTo.
  void applyMode(std::uint32_t mode, const Owner& owner);
  // Closes without throwing (after a failure).
  void abandon() noexcept;
  const std::string& path() const { return path_; }

 private:
  int fd_ = -1;
  std::string path_;
  std::uint64_t position_ = 0;
};

// st_mode (type and permission bits), owner and group of the file path
// names, following links; nullopt when its status cannot be read.
struct AccessStatus {
  std::uint32_t mode = 0;
  ArchiveFile::Owner owner;
};
std::optional<AccessStatus> accessStatusOf(const std::string& path);

// Creates path exclusively (O_EXCL, mode 0600) as an empty file; false with
// *err (EEXIST when it exists).
bool createExclusiveFile(const std::string& path, int* err = nullptr);

}  // namespace kalvero::platform
