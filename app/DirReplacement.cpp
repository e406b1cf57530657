#include "app/DirReplacement.h"

#include <fmt/format.h>

#include "app/SettingsFile.h"
#include "platform/ProfileFile.h"

namespace kalvero {
namespace {

std::string upper(const std::string& s) {
  std::string r = s;
  for (char& c : r)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  return r;
}

// One entry, searching again from the start after each replacement. The
// guard ends a list whose replacements would keep producing new matches.
bool replaceFromStart(std::string& result, const std::string& oldName, const std::string& newName) {
  const std::string oldUpper = upper(oldName);
  const std::size_t limit = result.size() * 4 + 65536;
  for (int rounds = 0; rounds < 100000; ++rounds) {
    std::size_t p = upper(result).find(oldUpper);
    if (p == std::string::npos) return true;
    result.replace(p, oldName.size(), newName);
    if (result.size() > limit) return false;
  }
  return false;
}

// One entry, searching on after the inserted text: every occurrence of the
// original text is replaced exactly once.
void replaceOnwards(std::string& result, const std::string& oldName, const std::string& newName) {
  const std::string oldUpper = upper(oldName);
  std::string u = upper(result);
  std::string out;
  std::size_t pos = 0;
  for (;;) {
    std::size_t p = u.find(oldUpper, pos);
    if (p == std::string::npos) break;
    out.append(result, pos, p - pos);
    out += newName;
    pos = p + oldName.size();
  }
  out.append(result, pos, std::string::npos);
  result = std::move(out);
}

// The fields of a stored value without padding: at most count fields, the
// last running to the end of the value.
std::vector<std::string> splitFields(const std::string& value, int count) {
  std::vector<std::string> fields;
  std::size_t start = 0;
  for (int i = 1; i < count; ++i) {
    std::size_t bar = value.find('|', start);
    if (bar == std::string::npos) break;
    fields.push_back(value.substr(start, bar - start));
    start = bar + 1;
  }
  fields.push_back(value.substr(start));
  return fields;
}

// Replaces in the fields from firstPath on; the flag fields before them and
// the separators stay exactly as stored.
std::string replacePathFields(const std::string& value, int count, int firstPath,
                              const std::vector<DirReplacement>& list) {
  auto fields = splitFields(value, count);
  std::string out;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    if (i > 0) out += '|';
    out += static_cast<int>(i) >= firstPath ? ApplyDirReplacements(fields[i], list) : fields[i];
  }
  return out;
}

bool hasEntries(const DirReplacementList& r) { return !r.entries.empty(); }

}  // namespace

std::string ApplyDirReplacements(const std::string& text, const std::vector<DirReplacement>& list) {
  std::string result = text;
  for (const DirReplacement& e : list) {
    if (e.active == 0 || e.oldName.empty()) continue;
    if (upper(e.newName).find(upper(e.oldName)) != std::string::npos) {
      replaceOnwards(result, e.oldName, e.newName);
      continue;
    }
    std::string attempt = result;
    if (replaceFromStart(attempt, e.oldName, e.newName))
      result = std::move(attempt);
    else
      replaceOnwards(result, e.oldName, e.newName);
  }
  return result;
}

bool ReplaceInBackupSettings(SettingsFile& settings, std::string* error) {
  DirReplacementList r = settings.loadDirReplacementList();
  if (!hasEntries(r)) return true;
  const auto& list = r.entries;
  platform::ProfileFile file(settings.path());
  int err = 0;
  bool ok = file.update(
      [&](platform::ProfileDocument& d) {
        for (const char* key : {"Protokolldatei", "Prueffile"})
          d.writeString("Allg", key, ApplyDirReplacements(d.readString("Allg", key), list));
        const int version = d.readInt("SichQZ", "Version", 0);
        const int count = d.readInt("SichQZ", "Anzahl", 0);
        for (int i = 0; i < count; ++i) {
          const std::string key = fmt::format("Verz{}", i);
          if (!d.hasKey("SichQZ", key)) break;
          const std::string value = d.readString("SichQZ", key);
          if (!value.empty())
            d.writeString("SichQZ", key,
                          version == 0 ? replacePathFields(value, 3, 1, list) : replacePathFields(value, 4, 2, list));
          for (int k = 0;; ++k) {
            const std::string negKey = fmt::format("Neg{}", k);
            if (!d.hasKey(key, negKey)) break;
            d.writeString(key, negKey, replacePathFields(d.readString(key, negKey), 2, 1, list));
          }
        }
      },
      &err);
  if (!ok && error) *error = SettingsWriteFailedText(settings.path(), err);
  return ok;
}

bool ReplaceInRestoreSettings(SettingsFile& settings, std::string* error) {
  DirReplacementList r = settings.loadDirReplacementList();
  if (!hasEntries(r)) return true;
  platform::ProfileFile file(settings.path());
  int err = 0;
  bool ok = file.update(
      [&](platform::ProfileDocument& d) {
        for (const char* key : {"PathSrc", "PathDst", "Protokolldatei"})
          d.writeString("Rueck", key, ApplyDirReplacements(d.readString("Rueck", key), r.entries));
      },
      &err);
  if (!ok && error) *error = SettingsWriteFailedText(settings.path(), err);
  return ok;
}

}  // namespace kalvero
