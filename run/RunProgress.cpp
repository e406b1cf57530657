#include "run/RunProgress.h"

namespace kalvero {

const char* notifyCodeName(int code) {
  switch (code) {
    case NOTIFY_FILES_FOUND: return "NOTIFY_FILES_FOUND";
    case NOTIFY_SEARCHING: return "NOTIFY_SEARCHING";
    case NOTIFY_COPYING: return "NOTIFY_COPYING";
    case NOTIFY_COMPARING: return "NOTIFY_COMPARING";
    case NOTIFY_FINISHED: return "NOTIFY_FINISHED";
    case NOTIFY_LOG_OPENED: return "NOTIFY_LOG_OPENED";
    case NOTIFY_COMPRESSING: return "NOTIFY_COMPRESSING";
    case NOTIFY_UNPACKING: return "NOTIFY_UNPACKING";
    case NOTIFY_FILE_START: return "NOTIFY_FILE_START";
    case NOTIFY_FILE_STEP: return "NOTIFY_FILE_STEP";
    case NOTIFY_ARCHIVE_RESET: return "NOTIFY_ARCHIVE_RESET";
    case NOTIFY_REMAINING_TIME: return "NOTIFY_REMAINING_TIME";
    case NOTIFY_CHECKFILE_READ: return "NOTIFY_CHECKFILE_READ";
    case NOTIFY_CHECKFILE_WRITE: return "NOTIFY_CHECKFILE_WRITE";
    case NOTIFY_SKIPPING: return "NOTIFY_SKIPPING";
    case NOTIFY_RESET: return "NOTIFY_RESET";
    default: return "";
  }
}

}  // namespace kalvero
