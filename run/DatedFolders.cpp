#include "run/DatedFolders.h"

#include <fmt/format.h>

#include <algorithm>
#include <cerrno>

#include "platform/DirectoryReader.h"
#include "platform/FileSystem.h"
#include "platform/Files.h"
#include "platform/PathUtil.h"

namespace kalvero {

namespace {

int Digits(std::string_view text) {
  int value = 0;
  for (char c : text) value = value * 10 + (c - '0');
  return value;
}

std::string MarkPath(const std::string& folder) { return WithTrailingSlash(folder) + std::string(kCompleteMarkName); }

}  // namespace

bool IsDatedFolderName(std::string_view name) {
  if (name.size() != 10 || name[4] != '_' || name[7] != '_') return false;
  for (std::size_t i = 0; i < name.size(); ++i)
    if (i != 4 && i != 7 && (name[i] < '0' || name[i] > '9')) return false;
  const int month = Digits(name.substr(5, 2)), day = Digits(name.substr(8, 2));
  return month >= 1 && month <= 12 && day >= 1 && day <= 31;
}

std::string DatedFolderName(const platform::LocalTime& day) {
  return fmt::format("{:04d}_{:02d}_{:02d}", day.year, day.month, day.day);
}

std::vector<DatedFolder> ListDatedFolders(const std::string& destination) {
  std::vector<DatedFolder> folders;
  platform::DirectoryReader reader(destination);
  platform::DirEntry entry;
  while (reader.isOpen() && reader.next(entry)) {
    if (entry.kind != platform::EntryKind::Directory || entry.status.isSymlink || !IsDatedFolderName(entry.name))
      continue;
    DatedFolder f;
    f.name = entry.name;
    f.path = WithTrailingSlash(destination) + entry.name;
    f.year = Digits(std::string_view(f.name).substr(0, 4));
    f.month = Digits(std::string_view(f.name).substr(5, 2));
    f.day = Digits(std::string_view(f.name).substr(8, 2));
    f.complete = IsCompleteState(f.path);
    folders.push_back(std::move(f));
  }
  std::sort(folders.begin(), folders.end(), [](const DatedFolder& a, const DatedFolder& b) { return a.name < b.name; });
  return folders;
}

bool IsCompleteState(const std::string& folder) {
  const auto st = platform::lstatPath(MarkPath(folder));
  return st && st->kind == platform::EntryKind::File && !st->isSymlink;
}

bool MarkStateComplete(const std::string& folder, const std::string& text, int* err) {
  platform::AtomicFileWriter mark(MarkPath(folder), 0644);
  return mark.open(err) && mark.write(text, err) && mark.commit(err);
}

bool UnmarkStateComplete(const std::string& folder, int* err) {
  int e = 0;
  if (platform::removeFile(MarkPath(folder), &e) || e == ENOENT) return true;
  if (err) *err = e;
  return false;
}

}  // namespace kalvero
