#include "ui/LastBackup.h"

#include <fmt/printf.h>

#include <QFile>
#include <cstdio>
#include <string_view>

#include "backup/BackupTexts.h"
#include "ui/UiTexts.h"

namespace kalvero {

namespace {

// Only the end of a long log is read: the last summary is there.
constexpr qint64 kTailBytes = 1 << 20;

// The constant part of a format up to its first placeholder.
std::string_view prefixOf(const char* format) {
  const std::string_view f(format);
  return f.substr(0, f.find('%'));
}

}  // namespace

QString LastBackupTextOf(const std::string& log) {
  namespace t = ui_texts;
  const std::string_view header = prefixOf(texts::SUMMARY_HEADER);
  const std::size_t at = log.rfind(header);
  if (at == std::string::npos) return {};
  int day = 0, month = 0, year = 0, hour = 0, minute = 0, second = 0;
  const std::string dateText = log.substr(at + header.size(), 32);
  if (std::sscanf(dateText.c_str(), "%d.%d.%d %d:%d:%d", &day, &month, &year, &hour, &minute, &second) != 6) return {};
  const std::string_view totals = prefixOf(texts::SUMMARY_TOTAL_ERRORS);
  const std::size_t totalsAt = log.find(totals, at);
  int errors = 0, missing = 0;
  if (totalsAt == std::string::npos ||
      std::sscanf(log.c_str() + totalsAt, texts::SUMMARY_TOTAL_ERRORS, &errors, &missing) != 2)
    return {};
  // A cancel is told in the pair summary just before the final one.
  const std::size_t previous = at == 0 ? std::string::npos : log.rfind(header, at - 1);
  const std::size_t runStart = previous == std::string::npos ? 0 : previous;
  const bool cancelled = log.find(texts::LOG_CANCELLED, runStart) < at;
  std::string result;
  if (cancelled) result = t::kLastBackupCancelled;
  if (errors > 0) result += (result.empty() ? "" : ", ") + fmt::sprintf(t::kLastBackupErrors, errors);
  if (missing > 0) result += (result.empty() ? "" : ", ") + fmt::sprintf(t::kLastBackupMissing, missing);
  if (result.empty()) result = t::kLastBackupClean;
  return QString::fromStdString(fmt::sprintf(t::kLastBackup, day, month, year, hour, minute, result));
}

QString LastBackupText(const std::string& runLogPath) {
  QFile file(QString::fromStdString(runLogPath));
  if (runLogPath.empty() || !file.open(QIODevice::ReadOnly)) return {};
  if (file.size() > kTailBytes) file.seek(file.size() - kTailBytes);
  return LastBackupTextOf(file.read(kTailBytes).toStdString());
}

}  // namespace kalvero
