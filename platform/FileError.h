#pragma once
// The file exception of the platform's file classes: a cause number, the
// errno, the file name and a German sentence naming the file.
#include <stdexcept>
#include <string>

namespace kalvero::platform {

enum FileErrorCause : int {
  CAUSE_NONE = 0,
  CAUSE_GENERIC = 1,
  CAUSE_FILE_NOT_FOUND = 2,
  CAUSE_BAD_PATH = 3,
  CAUSE_TOO_MANY_OPEN_FILES = 4,
  CAUSE_ACCESS_DENIED = 5,
  CAUSE_INVALID_FILE = 6,
  CAUSE_DIRECTORY_FULL = 8,
  CAUSE_BAD_SEEK = 9,
  CAUSE_HARD_IO = 10,
  CAUSE_SHARING_VIOLATION = 11,
  CAUSE_LOCK_VIOLATION = 12,
  CAUSE_DISK_FULL = 13,
  CAUSE_END_OF_FILE = 14,
};

int causeFromErrno(int err);

class FileError : public std::runtime_error {
 public:
  FileError(int cause, int osError, std::string fileName);
  int cause() const { return cause_; }
  int osError() const { return osError_; }
  const std::string& fileName() const { return fileName_; }

 private:
  int cause_;
  int osError_;
  std::string fileName_;
};

}  // namespace kalvero::platform
