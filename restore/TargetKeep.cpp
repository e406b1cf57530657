#include "restore/TargetKeep.h"

#include <cerrno>
#include <cstring>
#include <memory>

#include <fmt/format.h>
#include <fmt/printf.h>

#include "diag/ErrorText.h"
#include "platform/FileCopy.h"
#include "platform/FileSystem.h"
#include "platform/Files.h"
#include "restore/RestoreJob.h"
#include "restore/RestoreTexts.h"

namespace kalvero {

namespace {

constexpr std::size_t kBlock = 1 << 20;

// Byte for byte; a file that cannot be read counts as different (it is kept).
bool sameBytes(const std::string& a, const std::string& b) {
  platform::InputFile fa, fb;
  if (!fa.open(a) || !fb.open(b)) return false;
  const auto bufferA = std::make_unique_for_overwrite<char[]>(kBlock);
  const auto bufferB = std::make_unique_for_overwrite<char[]>(kBlock);
  for (;;) {
    const long long na = fa.tryReadFull(bufferA.get(), kBlock);
    const long long nb = fb.tryReadFull(bufferB.get(), kBlock);
    if (na < 0 || nb < 0 || na != nb) return false;
    if (na == 0) return true;
    if (std::memcmp(bufferA.get(), bufferB.get(), static_cast<std::size_t>(na)) != 0) return false;
  }
}

}  // namespace

TargetState CompareTarget(const std::string& backupCopy, const std::string& target) {
  const auto there = platform::lstatPath(target);
  if (!there) return TargetState::Missing;
  if (there->isSymlink || there->kind != platform::EntryKind::File) return TargetState::NotAFile;
  // A link of the backup is never equal to a file.
  const auto copy = platform::lstatPath(backupCopy);
  if (!copy || copy->isSymlink || copy->size != there->size || !sameBytes(backupCopy, target)) return TargetState::Differs;
  return copy->lastWrite == there->lastWrite ? TargetState::Equal : TargetState::SameContent;
}

std::string KeptVersionName(const std::string& target, const platform::LocalTime& day, int number) {
  const std::size_t slash = target.find_last_of('/');
  const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
  std::size_t dot = target.find_last_of('.');
  if (dot == std::string::npos || dot <= nameStart) dot = target.size();
  std::string label = fmt::sprintf(restore_text::kKeptLabel, day.year, day.month, day.day);
  if (number > 1) label += fmt::format(", {}", number);
  return target.substr(0, dot) + " (" + label + ")" + target.substr(dot);
}

std::string KeepTargetVersion(const std::string& target, const platform::LocalTime& day, int* err) {
  int error = 0;
  for (int number = 1; number <= 999; ++number) {
    const std::string kept = KeptVersionName(target, day, number);
    if (platform::linkPath(target, kept, &error)) return kept;
    if (error == EEXIST) continue;
    // No second names here (vfat, some network shares): a copy keeps the file as well.
    if (platform::lstatPath(kept)) continue;
    if (platform::copyFile(target, kept, {}, &error)) return kept;
    break;
  }
  if (err) *err = error != 0 ? error : EEXIST;
  return {};
}

TargetReplacement::TargetReplacement(const std::string& backupCopy, std::string target, RestoreContext& ctx)
    : ctx_(ctx), target_(std::move(target)), state_(CompareTarget(backupCopy, target_)) {
  if (state_ == TargetState::Equal && ctx_.unchangedTargets) ++*ctx_.unchangedTargets;
  if (state_ != TargetState::Differs) return;
  int err = 0;
  kept_ = KeepTargetVersion(target_, ctx_.day, &err);
  if (kept_.empty()) refusal_ = fmt::sprintf(restore_text::kKeepFailed, target_, SystemErrorText(err));
}

void TargetReplacement::end(bool replaced) {
  if (kept_.empty()) return;
  if (!replaced) {
    platform::removeFile(kept_);  // the target is still there as it was
    return;
  }
  if (ctx_.keptVersions) ++*ctx_.keptVersions;
  ctx_.note(fmt::sprintf(restore_text::kKeptVersion, target_, kept_));
}

}  // namespace kalvero
