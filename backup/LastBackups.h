#pragma once
// When each pair was last backed up completely, read from the run log's pair
// summaries (the run log is the only record every front end writes).
#include <cstdint>
#include <map>
#include <string>

namespace kalvero {

// Source directory (as the log names it) -> seconds since 1970 of the end of
// its last pair summary that was neither cancelled nor without its source.
// Empty when the log cannot be read.
std::map<std::string, std::int64_t> LastCompleteBackups(const std::string& runLogPath);

}  // namespace kalvero
