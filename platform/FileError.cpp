#include "platform/FileError.h"

#include <fmt/printf.h>

#include <cerrno>

#include "platform/ErrorNumber.h"
#include "platform/PlatformTexts.h"

namespace kalvero::platform {
namespace {

const char* sentenceOf(int cause, int osError) {
  if (osError == kErrorNotRegularFile) return texts::kFileErrorNotRegular;
  switch (cause) {
    case CAUSE_FILE_NOT_FOUND: return texts::kFileErrorNotFound;
    case CAUSE_BAD_PATH: return texts::kFileErrorBadPath;
    case CAUSE_TOO_MANY_OPEN_FILES: return texts::kFileErrorTooManyOpen;
    case CAUSE_ACCESS_DENIED: return texts::kFileErrorAccessDenied;
    case CAUSE_INVALID_FILE: return texts::kFileErrorInvalidFile;
    case CAUSE_DIRECTORY_FULL: return texts::kFileErrorDirectoryFull;
    case CAUSE_BAD_SEEK: return texts::kFileErrorBadSeek;
    case CAUSE_HARD_IO: return texts::kFileErrorHardIo;
    case CAUSE_SHARING_VIOLATION: return texts::kFileErrorSharing;
    case CAUSE_LOCK_VIOLATION: return texts::kFileErrorLock;
    case CAUSE_DISK_FULL: return texts::kFileErrorDiskFull;
    case CAUSE_END_OF_FILE: return texts::kFileErrorEndOfFile;
    default: return texts::kFileErrorGeneric;
  }
}

}  // namespace

int causeFromErrno(int err) {
  switch (err) {
    case 0: return CAUSE_NONE;
    case ENOENT: return CAUSE_FILE_NOT_FOUND;
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP: return CAUSE_BAD_PATH;
    case EMFILE:
    case ENFILE: return CAUSE_TOO_MANY_OPEN_FILES;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR: return CAUSE_ACCESS_DENIED;
    case EBADF: return CAUSE_INVALID_FILE;
    case EMLINK: return CAUSE_DIRECTORY_FULL;
    case ESPIPE: return CAUSE_BAD_SEEK;
    case EIO: return CAUSE_HARD_IO;
    case EBUSY:
    case ETXTBSY: return CAUSE_SHARING_VIOLATION;
    case EAGAIN:
    case EDEADLK:
    case ENOLCK: return CAUSE_LOCK_VIOLATION;
    case ENOSPC:
    case EDQUOT:
    case EFBIG: return CAUSE_DISK_FULL;
    default: return CAUSE_GENERIC;
  }
}

FileError::FileError(int cause, int osError, std::string fileName)
    : std::runtime_error(fmt::sprintf(sentenceOf(cause, osError), fileName)),
      cause_(cause),
      osError_(osError),
      fileName_(std::move(fileName)) {}

}  // namespace kalvero::platform
