#include "backup/ListFiles.h"

#include <fmt/printf.h>

#include <initializer_list>
#include <string_view>

#include "backup/BackupTexts.h"
#include "platform/PathUtil.h"

namespace kalvero {

void ListFiles::OpenLists(const std::array<std::string, 4>& names, bool withCheckFile,
                          const std::string& checkFilePath, const platform::LocalTime& now) {
  CloseLists();
  openFailed_.fill(false);
  const int count = withCheckFile ? 4 : 3;
  for (int i = 0; i < count; ++i) {
    if (names[i].empty() || !files_[i].open(names[i], platform::TextFileWriter::Mode::Truncate, nullptr, 0600))
      openFailed_[i] = true;
  }
  copiedNumber_ = 0;
  notCopiedNumber_ = 0;
  const std::string stamp =
      fmt::sprintf("%02d.%02d.%04d %02d:%02d:%02d", now.day, now.month, now.year, now.hour, now.minute, now.second);
  // A header that cannot be written leaves its list as it is; the run goes on.
  try {
    write(COPIED_SOURCES, fmt::sprintf(texts::LIST_COPIED_SOURCES, stamp));
  } catch (const std::exception&) {
  }
  try {
    write(NOT_COPIED, fmt::sprintf(texts::LIST_NOT_COPIED, stamp));
  } catch (const std::exception&) {
  }
  try {
    write(COPIED_DESTINATIONS, fmt::sprintf(texts::LIST_COPIED_DESTINATIONS, stamp));
  } catch (const std::exception&) {
  }
  if (withCheckFile) {
    try {
      write(SKIPPED, fmt::sprintf(texts::LIST_SKIPPED, checkFilePath, stamp));
    } catch (const std::exception&) {
    }
  }
}

void ListFiles::write(int index, const std::string& text) {
  if (files_[index].isOpen()) files_[index].write(text);
}

namespace {

// format with each "%s" replaced by the next of args, into out: a line per
// skipped file without a formatting pass of its own.
void fillIn(std::string& out, std::string_view format, std::initializer_list<std::string_view> args) {
  out.clear();
  auto arg = args.begin();
  for (std::size_t at = 0;;) {
    const std::size_t mark = format.find("%s", at);
    if (mark == std::string_view::npos || arg == args.end()) {
      out.append(format.substr(at));
      return;
    }
    out.append(format.substr(at, mark - at)).append(*arg++);
    at = mark + 2;
  }
}

}  // namespace

// An entry whose name holds a line break would split into broken lines: it
// keeps its number but is left out.
void ListFiles::addCopied(const std::string& source, const std::string& finalName) {
  ++copiedNumber_;
  if (HasLineBreak(source) || HasLineBreak(finalName)) return;
  write(COPIED_SOURCES, fmt::sprintf(texts::LIST_ENTRY, copiedNumber_, source));
  write(COPIED_DESTINATIONS, fmt::sprintf(texts::LIST_ENTRY, copiedNumber_, finalName));
}

void ListFiles::addNotCopied(const std::string& source) {
  ++notCopiedNumber_;
  if (HasLineBreak(source)) return;
  write(NOT_COPIED, fmt::sprintf(texts::LIST_ENTRY, notCopiedNumber_, source));
}

void ListFiles::addSkipped(const std::string& source, const std::string& destination) {
  if (!files_[SKIPPED].isOpen() || HasLineBreak(source) || HasLineBreak(destination)) return;
  fillIn(line_, texts::LIST_SKIPPED_ENTRY, {source, destination});
  write(SKIPPED, line_);
}

void ListFiles::CloseLists() {
  for (auto& f : files_) f.close();
}

}  // namespace kalvero
