#pragma once
// INI primitives over one settings file. Section and key names compare
// case-insensitively; unknown sections, keys and comments are kept; LF and
// CR LF are read, and the file keeps its line ends (CR LF for a new file).
// Every write replaces the whole file atomically.
#include <memory>
#include <string>
#include <vector>

namespace kalvero::platform {

// The parsed file, edited in memory: several edits become one replacement
// of the file (a composite save).
class ProfileDocument {
 public:
  ProfileDocument();
  ~ProfileDocument();
  ProfileDocument(ProfileDocument&&) noexcept;
  ProfileDocument& operator=(ProfileDocument&&) noexcept;

  // Missing file: empty document, true. Unreadable file or directory: empty, false.
  bool load(const std::string& path, int* err = nullptr);
  void parse(const std::string& text);
  std::string serialize() const;
  bool save(const std::string& path, int* err = nullptr) const;  // atomic

  bool hasKey(const std::string& section, const std::string& key) const;
  std::string readString(const std::string& section, const std::string& key,
                         const std::string& def = "") const;
  // Decimal integer as atoi reads it (junk after the digits ignored); def when missing.
  int readInt(const std::string& section, const std::string& key, int def) const;
  // Raw lines of a section in file order (without line ends).
  std::vector<std::string> sectionLines(const std::string& section) const;
  std::vector<std::string> sectionNames() const;

  void writeString(const std::string& section, const std::string& key, const std::string& value);
  void writeInt(const std::string& section, const std::string& key, int value);
  void deleteKey(const std::string& section, const std::string& key);
  void deleteSection(const std::string& section);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// Single-key access: each call reads the file and, for writes, replaces it.
class ProfileFile {
 public:
  explicit ProfileFile(std::string path) : path_(std::move(path)) {}
  const std::string& path() const { return path_; }

  std::string readString(const std::string& section, const std::string& key, const std::string& def = "") const;
  int readInt(const std::string& section, const std::string& key, int def) const;
  std::vector<std::string> readSection(const std::string& section) const;
  bool writeString(const std::string& section, const std::string& key, const std::string& value, int* err = nullptr);
  bool writeInt(const std::string& section, const std::string& key, int value, int* err = nullptr);
  bool deleteKey(const std::string& section, const std::string& key, int* err = nullptr);
  bool deleteSection(const std::string& section, int* err = nullptr);

  // Composite save: load, let edit change the document, replace the file once.
  template <class Edit>
  bool update(Edit&& edit, int* err = nullptr) {
    ProfileDocument doc;
    if (!doc.load(path_, err)) return false;
    edit(doc);
    return doc.save(path_, err);
  }

 private:
  std::string path_;
};

}  // namespace kalvero::platform
