#include "run/ChecksumList.h"

#include <algorithm>

namespace kalvero {

std::string FormatChecksumLine(const ChecksumLine& line) {
  // One pass over the name (a list of a million lines is formatted at the end of a run).
  const bool escaped =
      std::any_of(line.path.begin(), line.path.end(), [](char c) { return c == '\\' || c == '\n' || c == '\r'; });
  std::string out;
  out.reserve(line.path.size() + 69);
  if (escaped) out += '\\';
  platform::AppendSha256Hex(line.digest, out);
  out += "  ";
  if (!escaped) {
    out += line.path;
  } else {
    for (const char c : line.path) {
      if (c == '\\') out += "\\\\";
      else if (c == '\n') out += "\\n";
      else if (c == '\r') out += "\\r";
      else out += c;
    }
  }
  out += '\n';
  return out;
}

namespace {
bool Unescape(std::string_view in, std::string* out) {
  out->clear();
  for (std::size_t i = 0; i < in.size(); ++i) {
    if (in[i] != '\\') {
      *out += in[i];
      continue;
    }
    if (++i == in.size()) return false;
    switch (in[i]) {
      case '\\': *out += '\\'; break;
      case 'n': *out += '\n'; break;
      case 'r': *out += '\r'; break;
      default: return false;
    }
  }
  return true;
}
}  // namespace

bool ParseChecksumLine(std::string_view text, ChecksumLine* line) {
  if (!text.empty() && text.back() == '\r') text.remove_suffix(1);
  const bool escaped = !text.empty() && text.front() == '\\';
  if (escaped) text.remove_prefix(1);
  if (text.size() < 66 || !platform::ParseSha256Hex(text.substr(0, 64), &line->digest)) return false;
  if (text[64] != ' ' || (text[65] != ' ' && text[65] != '*')) return false;
  const std::string_view name = text.substr(66);
  if (name.empty()) return false;
  if (!escaped) {
    line->path.assign(name);
    return true;
  }
  return Unescape(name, &line->path);
}

}  // namespace kalvero
