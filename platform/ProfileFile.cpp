#include "platform/ProfileFile.h"

#include "platform/TextUtil.h"

#include <cerrno>
#include <climits>
#include <cstdlib>

#include "platform/Files.h"

namespace kalvero::platform {
namespace {

bool equalsNoCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
    if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x + 32);
    if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y + 32);
    if (x != y) return false;
  }
  return true;
}

std::string trim(const std::string& s) { return std::string(TrimBlanks(s)); }

// A line break inside a value would split it into lines of their own.
std::string oneLine(const std::string& s) {
  std::string r = s;
  for (char& c : r)
    if (c == '\r' || c == '\n') c = ' ';
  return r;
}

struct Entry {
  std::string raw;     // the line as read or last written
  bool isKey = false;  // "key=value" (not a comment)
  std::string key;
  std::string value;
};

struct Section {
  std::string name;
  bool hasHeader = true;  // false for the lines before the first section
  std::string headerRaw;
  std::vector<Entry> entries;
};

}  // namespace

struct ProfileDocument::Impl {
  bool crlf = true;
  bool bom = false;
  std::vector<Section> sections;

  Section* findSection(const std::string& name) {
    for (auto& s : sections)
      if (s.hasHeader && equalsNoCase(s.name, name)) return &s;
    return nullptr;
  }
  const Entry* findKey(const std::string& section, const std::string& key) const {
    for (const auto& s : sections) {
      if (!s.hasHeader || !equalsNoCase(s.name, section)) continue;
      for (const auto& e : s.entries)
        if (e.isKey && equalsNoCase(e.key, key)) return &e;
    }
    return nullptr;
  }
};

ProfileDocument::ProfileDocument() : impl_(std::make_unique<Impl>()) {}
ProfileDocument::~ProfileDocument() = default;
ProfileDocument::ProfileDocument(ProfileDocument&&) noexcept = default;
ProfileDocument& ProfileDocument::operator=(ProfileDocument&&) noexcept = default;

bool ProfileDocument::load(const std::string& path, int* err) {
  std::string text;
  int e = 0;
  if (!readWholeFile(path, text, &e)) {
    parse("");
    if (e == ENOENT) return true;  // created by the first write
    if (err) *err = e;
    return false;
  }
  parse(text);
  return true;
}

void ProfileDocument::parse(const std::string& text) {
  impl_ = std::make_unique<Impl>();
  std::size_t pos = 0;
  if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) {
    impl_->bom = true;
    pos = 3;
  }
  bool endsKnown = false;
  impl_->sections.push_back(Section{"", false, "", {}});
  while (pos < text.size()) {
    std::size_t nl = text.find('\n', pos);
    std::size_t end = nl == std::string::npos ? text.size() : nl;
    std::string line = text.substr(pos, end - pos);
    bool cr = !line.empty() && line.back() == '\r';
    if (cr) line.pop_back();
    if (!endsKnown && nl != std::string::npos) {
      impl_->crlf = cr;
      endsKnown = true;
    }
    pos = nl == std::string::npos ? text.size() : nl + 1;

    std::string t = trim(line);
    std::size_t close = t.find(']');
    if (!t.empty() && t[0] == '[' && close != std::string::npos) {
      impl_->sections.push_back(Section{trim(t.substr(1, close - 1)), true, line, {}});
      continue;
    }
    Entry e;
    e.raw = line;
    std::size_t eq = t.find('=');
    if (!t.empty() && t[0] != ';' && t[0] != '#' && eq != std::string::npos) {
      e.key = trim(t.substr(0, eq));
      e.value = trim(t.substr(eq + 1));
      e.isKey = !e.key.empty();
    }
    impl_->sections.back().entries.push_back(std::move(e));
  }
}

std::string ProfileDocument::serialize() const {
  const char* eol = impl_->crlf ? "\r\n" : "\n";
  std::string out;
  if (impl_->bom) out += "\xEF\xBB\xBF";
  for (const auto& s : impl_->sections) {
    if (s.hasHeader) out += s.headerRaw + eol;
    for (const auto& e : s.entries) out += e.raw + eol;
  }
  return out;
}

bool ProfileDocument::save(const std::string& path, int* err) const {
  AtomicFileWriter writer(path);
  if (!writer.open(err)) return false;
  if (!writer.write(serialize(), err)) return false;
  return writer.commit(err);
}

bool ProfileDocument::hasKey(const std::string& section, const std::string& key) const {
  return impl_->findKey(section, key) != nullptr;
}

std::string ProfileDocument::readString(const std::string& section, const std::string& key,
                                        const std::string& def) const {
  const Entry* e = impl_->findKey(section, key);
  return e ? e->value : def;
}

int ProfileDocument::readInt(const std::string& section, const std::string& key, int def) const {
  const Entry* e = impl_->findKey(section, key);
  if (!e || e->value.empty()) return def;
  return AtoiLike(e->value);
}

std::vector<std::string> ProfileDocument::sectionLines(const std::string& section) const {
  std::vector<std::string> lines;
  for (const auto& s : impl_->sections) {
    if (!s.hasHeader || !equalsNoCase(s.name, section)) continue;
    for (const auto& e : s.entries)
      if (!trim(e.raw).empty()) lines.push_back(e.raw);
  }
  return lines;
}

std::vector<std::string> ProfileDocument::sectionNames() const {
  std::vector<std::string> names;
  for (const auto& s : impl_->sections)
    if (s.hasHeader) names.push_back(s.name);
  return names;
}

void ProfileDocument::writeString(const std::string& section, const std::string& key, const std::string& value) {
  std::string k = trim(oneLine(key));
  std::string v = trim(oneLine(value));
  for (auto& s : impl_->sections) {
    if (!s.hasHeader || !equalsNoCase(s.name, section)) continue;
    for (auto& e : s.entries) {
      if (e.isKey && equalsNoCase(e.key, k)) {
        if (e.value != v) {
          e.value = v;
          e.raw = e.key + "=" + v;
        }
        return;
      }
    }
  }
  Section* s = impl_->findSection(section);
  if (!s) {
    impl_->sections.push_back(Section{trim(oneLine(section)), true, "[" + trim(oneLine(section)) + "]", {}});
    s = &impl_->sections.back();
  }
  // New keys go after the last non-blank line of the section, before blank separator lines.
  std::size_t at = s->entries.size();
  while (at > 0 && trim(s->entries[at - 1].raw).empty()) --at;
  Entry e;
  e.isKey = true;
  e.key = k;
  e.value = v;
  e.raw = k + "=" + v;
  s->entries.insert(s->entries.begin() + static_cast<std::ptrdiff_t>(at), std::move(e));
}

void ProfileDocument::writeInt(const std::string& section, const std::string& key, int value) {
  writeString(section, key, std::to_string(value));
}

void ProfileDocument::deleteKey(const std::string& section, const std::string& key) {
  for (auto& s : impl_->sections) {
    if (!s.hasHeader || !equalsNoCase(s.name, section)) continue;
    std::erase_if(s.entries, [&](const Entry& e) { return e.isKey && equalsNoCase(e.key, key); });
  }
}

void ProfileDocument::deleteSection(const std::string& section) {
  std::erase_if(impl_->sections, [&](const Section& s) { return s.hasHeader && equalsNoCase(s.name, section); });
}

// ---- ProfileFile

namespace {
ProfileDocument loaded(const std::string& path) {
  ProfileDocument doc;
  doc.load(path);
  return doc;
}
}  // namespace

std::string ProfileFile::readString(const std::string& section, const std::string& key, const std::string& def) const {
  return loaded(path_).readString(section, key, def);
}

int ProfileFile::readInt(const std::string& section, const std::string& key, int def) const {
  return loaded(path_).readInt(section, key, def);
}

std::vector<std::string> ProfileFile::readSection(const std::string& section) const {
  return loaded(path_).sectionLines(section);
}

bool ProfileFile::writeString(const std::string& section, const std::string& key, const std::string& value, int* err) {
  return update([&](ProfileDocument& d) { d.writeString(section, key, value); }, err);
}

bool ProfileFile::writeInt(const std::string& section, const std::string& key, int value, int* err) {
  return update([&](ProfileDocument& d) { d.writeInt(section, key, value); }, err);
}

bool ProfileFile::deleteKey(const std::string& section, const std::string& key, int* err) {
  return update([&](ProfileDocument& d) { d.deleteKey(section, key); }, err);
}

bool ProfileFile::deleteSection(const std::string& section, int* err) {
  return update([&](ProfileDocument& d) { d.deleteSection(section); }, err);
}

}  // namespace kalvero::platform
