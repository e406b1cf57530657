#include "support/ZipTestSupport.h"

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "support/TempDir.h"
#include "backup/CompressZip.h"

namespace kalvero::test {

CommandResult run(const std::string& command) {
  TempDir dir;
  const std::string out = dir / "output";
  CommandResult r;
  int raw = std::system(("( " + command + " ) >" + q(out) + " 2>&1 </dev/null").c_str());
  r.output = readFile(out);
  if (raw != -1 && WIFEXITED(raw)) r.status = WEXITSTATUS(raw);
  return r;
}

std::string q(const std::string& text) {
  std::string out = "'";
  for (char c : text) {
    if (c == '\'')
      out += "'\\''";
    else
      out += c;
  }
  return out + "'";
}

bool haveTool(const std::string& name) { return run("command -v " + name).status == 0; }

void writeArchive(const std::string& path, const std::string& entry, const std::string& source) {
  ZipArchiveLayer zip;
  zip.Open(path, ZipArchiveLayer::Create);
  zip.SetArchiveComment(kArchiveComment);
  ZipEntryHeader h;
  h.name = entry;
  zip.OpenNewFile(h, -1, source);
  std::string data = readFile(source);
  zip.WriteNewFile(data.data(), data.size());
  zip.CloseNewFile();
  zip.Close(false);
}

std::string readEntry(ZipArchiveLayer& zip, int index) {
  std::string out;
  if (!zip.OpenEntry(index)) return out;
  std::string buffer(ZipArchiveLayer::kChunk, '\0');
  for (;;) {
    std::size_t n = zip.ReadEntry(buffer.data(), buffer.size());
    out.append(buffer.data(), n);
    if (n < buffer.size()) break;
  }
  zip.CloseEntry();
  return out;
}

std::string mixedBytes(std::size_t n, std::uint32_t seed) {
  std::string out;
  out.reserve(n);
  static const char* words[] = {"Sicherung ", "Datei ", "Verzeichnis ", "Kalvero ", "zlib ", "\n"};
  std::uint32_t x = seed * 2654435761u + 1;
  while (out.size() < n) {
    x = x * 1103515245u + 12345u;
    if ((x >> 16) % 7 == 0)
      out += static_cast<char>(x >> 8);
    else
      out += words[(x >> 16) % 6];
  }
  out.resize(n);
  return out;
}

std::string noiseBytes(std::size_t n, std::uint32_t seed) {
  std::string out(n, '\0');
  std::uint64_t x = 0x9E3779B97F4A7C15ull ^ seed;
  for (char& c : out) {
    x ^= x << 13;
    x ^= x >> 7;
    x ^= x << 17;
    c = static_cast<char>(x >> 24);
  }
  return out;
}

}  // namespace kalvero::test
