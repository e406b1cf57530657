#pragma once
// Helpers of the archive tests: shell commands of the peer tools, archives
// written straight through the layer, and byte patterns.
#include <cstdint>
#include <string>

#include "zip/ZipArchiveLayer.h"

namespace kalvero::test {

struct CommandResult {
  int status = -1;  // exit status, -1 when the command could not run
  std::string output;
};

// Runs a shell command (stdout and stderr together).
CommandResult run(const std::string& command);
// Quotes a path for the shell.
std::string q(const std::string& text);
// True when the tool can be run (tests of a missing tool skip themselves).
bool haveTool(const std::string& name);

// Writes path as the program writes an archive: one deflated entry named
// entry with the contents of source, and the program's comment.
void writeArchive(const std::string& path, const std::string& entry, const std::string& source);

// Reads entry index of an open archive completely.
std::string readEntry(ZipArchiveLayer& zip, int index);

// Bytes that compress partly: text with some noise.
std::string mixedBytes(std::size_t n, std::uint32_t seed = 1);
// Bytes that do not compress: an archive of them is as large as they are.
std::string noiseBytes(std::size_t n, std::uint32_t seed = 1);

}  // namespace kalvero::test
