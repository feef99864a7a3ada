#pragma once
// An ini file held in memory: sections of key=value lines, with comments and
// lines it does not understand kept in place so that a rewrite loses nothing.
#include <cstddef>
#include <string>
#include <vector>

class CIniFile {
 public:
  // Files larger than this are read but never written back (a rewrite would
  // have to hold and replace what we refuse to parse).
  static constexpr size_t kMaxBytes = size_t(64) << 20;

  // Reads a file. A missing file gives an empty ini file; an unreadable or
  // oversized one an empty ini file that refuses to be saved. Lines that are
  // neither sections, keys, comments nor blank are kept as they are and
  // counted in c_oddlines.
  void Load(const std::string& path);
  void Parse(const std::string& text);
  std::string Text() const;
  // Replaces the file atomically (temporary file and rename); false when it
  // could not be written or the file must not be replaced.
  bool Save(const std::string& path) const;

  // Sections and keys compare ignoring ASCII case; keys, section names and
  // values are trimmed of blanks and tabs, and a value wholly in double
  // quotes loses them.
  const std::string* Find(const std::string& section, const std::string& key) const;
  bool SectionExists(const std::string& section) const;
  // Each returns whether anything changed.
  bool Set(const std::string& section, const std::string& key, const std::string& value);
  bool DeleteKey(const std::string& section, const std::string& key);
  bool DeleteSection(const std::string& section);
  // Every key of a section in file order.
  std::vector<std::string> Keys(const std::string& section) const;

  bool c_writable = true;
  int c_oddlines = 0;

 private:
  struct RLine {
    bool is_key = false;
    std::string key, value;  // is_key
    std::string raw;         // otherwise: a comment, a blank or an odd line
  };
  struct RSection {
    std::string name;
    bool header = true;  // false for the lines before the first section
    std::vector<RLine> lines;
  };
  std::vector<RSection> c_sections;

  RSection* FindSection(const std::string& name);
  const RSection* FindSection(const std::string& name) const;
};

// Parses an ini real: sign, digits, "." or "," for the fraction, "e" for the
// exponent; any other character ends the number ("7+" is 7, "1,5e2" is 150).
// False when the result is not a finite number.
bool ParseIniReal(const std::string& text, double& out);
// The shortest decimal text that reads back as v.
std::string ShortestReal(double v);
