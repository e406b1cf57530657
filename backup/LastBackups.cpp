#include "backup/LastBackups.h"

#include <cstdio>
#include <fstream>

#include "backup/BackupTexts.h"
#include "platform/FileTime.h"

namespace kalvero {

namespace {

// The part of a format before its first "%".
std::string prefixOf(const char* format) {
  const std::string f = format;
  return f.substr(0, f.find('%'));
}

bool startsWith(const std::string& line, const std::string& prefix) { return line.compare(0, prefix.size(), prefix) == 0; }

// "dd.mm.yyyy  hh:mm:ss" as the log writes it; -1 when it is no time.
std::int64_t secondsOf(const std::string& text) {
  platform::LocalTime t;
  if (std::sscanf(text.c_str(), "%d.%d.%d %d:%d:%d", &t.day, &t.month, &t.year, &t.hour, &t.minute, &t.second) != 6)
    return -1;
  return platform::unixFromLocal(t);
}

}  // namespace

std::map<std::string, std::int64_t> LastCompleteBackups(const std::string& runLogPath) {
  std::map<std::string, std::int64_t> last;
  std::ifstream in(runLogPath, std::ios::binary);
  const std::string source = prefixOf(texts::LOG_SOURCE), ended = prefixOf(texts::LOG_ENDED);
  std::string current, line;
  std::int64_t end = -1;
  bool complete = false;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (startsWith(line, prefixOf(texts::LOG_STARTED))) {
      current.clear();
      end = -1;
      complete = true;
    } else if (startsWith(line, source) && current.empty()) {
      current = line.substr(source.size());
    } else if (line == texts::LOG_SOURCE_MISSING || line == texts::LOG_CANCELLED) {
      complete = false;
    } else if (startsWith(line, ended)) {
      end = secondsOf(line.substr(ended.size()));
    } else if (line == std::string(80, '-')) {
      // The summary's closing line: the pair's record is whole.
      if (complete && end >= 0 && !current.empty() && end > last[current]) last[current] = end;
      current.clear();
      complete = false;
    }
  }
  return last;
}

}  // namespace kalvero
