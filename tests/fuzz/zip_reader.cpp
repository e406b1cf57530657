// libFuzzer target: the archive reader on arbitrary bytes, as a restore
// meets them (open, comment, list, read every entry, extract one).
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/FileError.h"
#include "platform/TraceSocket.h"
#include "zip/ZipArchiveLayer.h"

namespace {

const std::string& scratch() {
  static const std::string dir = [] {
    auto d = std::filesystem::temp_directory_path() / ("kalvero-fuzz-" + std::to_string(kalvero::platform::processId()));
    std::filesystem::create_directories(d);
    return d.string();
  }();
  return dir;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string archive = scratch() + "/input.zip";
  {
    std::ofstream out(archive, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  kalvero::ZipArchiveLayer zip;
  try {
    zip.Open(archive, kalvero::ZipArchiveLayer::OpenExisting);
    (void)zip.GetArchiveComment();
    static unsigned char buffer[65536];
    const int count = zip.GetEntryCount();
    for (int i = 0; i < count; ++i) {
      kalvero::ZipEntryHeader h;
      zip.GetEntryInfo(i, h);
      if (zip.IsEntryDirectory(i)) continue;
      try {
        if (i == 0) {
          zip.ExtractEntry(i, scratch() + "/entry");
          continue;
        }
        if (!zip.OpenEntry(i)) continue;
        while (zip.ReadEntry(buffer, sizeof buffer) == sizeof buffer) {
        }
        zip.CloseEntry();
      } catch (const kalvero::CZipException&) {
        zip.Close(true);
        return 0;
      }
    }
    zip.Close(false);
  } catch (const kalvero::CZipException&) {
    zip.Close(true);
  } catch (const kalvero::platform::FileError&) {
    zip.Close(true);
  }
  return 0;
}
