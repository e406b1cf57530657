// DOS time and date of entries, in local time.
#include "platform/FileTime.h"
#include "zip/ZipArchiveLayer.h"

namespace kalvero {

void DosTimeFromFileTime(platform::FileTime t, std::uint16_t& dosTime, std::uint16_t& dosDate) {
  platform::LocalTime lt;
  if (!platform::localFromUnix(platform::unixSecondsFromFileTime(t), lt)) {
    dosTime = 0;
    dosDate = 0;
    return;
  }
  int year = lt.year <= 1980 ? 0 : lt.year - 1980;
  dosTime = static_cast<std::uint16_t>(lt.hour * 2048 + lt.minute * 32 + lt.second / 2);
  dosDate = static_cast<std::uint16_t>(year * 512 + lt.month * 32 + lt.day);
}

platform::FileTime FileTimeFromDos(std::uint16_t dosTime, std::uint16_t dosDate) {
  platform::LocalTime lt;
  lt.year = 1980 + (dosDate >> 9);
  lt.month = (dosDate >> 5) & 0x0F;
  lt.day = dosDate & 0x1F;
  lt.hour = dosTime >> 11;
  lt.minute = (dosTime >> 5) & 0x3F;
  lt.second = (dosTime & 0x1F) * 2;
  if (lt.month < 1 || lt.month > 12 || lt.day < 1 || lt.hour > 23 || lt.minute > 59 || lt.second > 59)
    return 0;
  std::int64_t seconds = platform::unixFromLocal(lt);
  if (seconds < 0) return 0;
  return platform::fileTimeFromUnix(seconds, 0);
}

platform::FileTime ZipEntryHeader::lastWriteTime() const { return FileTimeFromDos(modTime, modDate); }

}  // namespace kalvero
