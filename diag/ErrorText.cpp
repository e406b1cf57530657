#include "diag/ErrorText.h"

#include <fmt/printf.h>

#include "platform/ErrorNumber.h"

namespace kalvero {
namespace {

constexpr const char* kErrorNumber = "Fehlernummer = %d";
constexpr std::size_t kMaxErrorText = 2047;

const char* compressionTitle(int id) {
  switch (id) {
    case COMPRESS_ERR_OPEN: return "Open-Fehler";
    case COMPRESS_ERR_FILE: return "FileException-Fehler";
    case COMPRESS_ERR_ZIP: return "ZipException-Fehler";
    case COMPRESS_ERR_CANCELLED: return "Das Sichern wurde abgerochen";
    default: return "";
  }
}

}  // namespace

std::string SystemErrorText(int error) {
  std::string description = platform::errorDescription(error);
  while (!description.empty() && (description.back() == '\r' || description.back() == '\n')) description.pop_back();
  return fmt::sprintf(kErrorNumber, error) + "  " + description;
}

void DescribeCompressionError(int id, CompressionError& error) {
  std::string text = fmt::sprintf("%s (%s,Datei='%s',cause=%d,Os=%d)", error.text, compressionTitle(id),
                                  error.fileName, error.cause, error.osError);
  if (text.size() > kMaxErrorText) text.resize(kMaxErrorText);
  error.text = std::move(text);
}

}  // namespace kalvero
