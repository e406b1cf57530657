#pragma once
// German texts for system errors and failed compressions.
#include <string>

namespace kalvero {

// "Fehlernummer = %d" + two blanks + the system's description (line ends cut).
std::string SystemErrorText(int error);

// The error fields a failed compression leaves behind (filled by CompressZip).
struct CompressionError {
  std::string text;      // at most 2047 characters
  int cause = 0;
  int osError = 0;
  std::string fileName;
};

// Error ids of the compression with their titles.
enum CompressionErrorId : int {
  COMPRESS_ERR_NONE = 0,
  COMPRESS_ERR_OPEN = 153,          // "Open-Fehler"
  COMPRESS_ERR_FILE = 154,          // "FileException-Fehler"
  COMPRESS_ERR_ZIP = 155,           // "ZipException-Fehler"
  COMPRESS_ERR_CANCELLED = 222,     // "Das Sichern wurde abgerochen"
};

// Rewrites error.text as "%s (%s,Datei='%s',cause=%d,Os=%d)", cut to 2047 characters.
void DescribeCompressionError(int id, CompressionError& error);

}  // namespace kalvero
