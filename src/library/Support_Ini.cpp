// Ini files in memory: parsing, lookups and changes, and the atomic rewrite.
#include "library/Support_Ini.h"

#include <strings.h>
#include <sys/stat.h>

#include <charconv>
#include <cmath>
#include <fstream>
#include <sstream>

#include "runner/Support_File.h"
#include "runner/Support_Various.h"

namespace {
std::string Trim(const std::string& s) {
  size_t b = 0, e = s.size();
  while (b < e && (s[b] == ' ' || s[b] == '\t')) ++b;
  while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t')) --e;
  return s.substr(b, e - b);
}
bool Same(const std::string& a, const std::string& b) {
  return a.size() == b.size() && ::strncasecmp(a.c_str(), b.c_str(), a.size()) == 0;
}
}  // namespace

void CIniFile::Load(const std::string& path) {
  c_sections.clear();
  c_oddlines = 0;
  c_writable = true;
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return;  // a new file
  if (!S_ISREG(st.st_mode) || size_t(st.st_size) > kMaxBytes) {
    c_writable = false;
    TraceWrite("Ini file " + path + " is not a regular file of a sane size: read nothing, it will not be written");
    return;
  }
  std::vector<uint8_t> bytes;
  if (!ReadWholeFile(path, bytes)) {
    c_writable = false;
    TraceWrite("Ini file " + path + " cannot be read: it will not be written");
    return;
  }
  Parse(std::string(bytes.begin(), bytes.end()));
  if (c_oddlines > 0)
    TraceWrite("Ini file " + path + ": " + std::to_string(c_oddlines) + " line(s) not understood, kept as they are");
}

void CIniFile::Parse(const std::string& text) {
  c_sections.clear();
  c_oddlines = 0;
  c_sections.push_back(RSection{std::string(), false, {}});
  size_t i = 0;
  while (i < text.size()) {
    size_t e = text.find('\n', i);
    if (e == std::string::npos) e = text.size();
    std::string line = text.substr(i, e - i);
    i = e + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const std::string t = Trim(line);
    if (!t.empty() && t[0] == '[' && t.find(']') != std::string::npos) {
      c_sections.push_back(RSection{Trim(t.substr(1, t.find(']') - 1)), true, {}});
      continue;
    }
    RLine l;
    const size_t eq = t.find('=');
    if (t.empty() || t[0] == ';' || t[0] == '#' || eq == std::string::npos || eq == 0) {
      if (!t.empty() && t[0] != ';' && t[0] != '#') ++c_oddlines;
      l.raw = line;
    } else {
      l.is_key = true;
      l.key = Trim(t.substr(0, eq));
      l.value = Trim(t.substr(eq + 1));
      if (l.value.size() >= 2 && l.value.front() == '"' && l.value.back() == '"')
        l.value = l.value.substr(1, l.value.size() - 2);
    }
    c_sections.back().lines.push_back(std::move(l));
  }
}

std::string CIniFile::Text() const {
  std::string out;
  for (const RSection& s : c_sections) {
    if (s.header) out += "[" + s.name + "]\r\n";
    for (const RLine& l : s.lines) out += (l.is_key ? l.key + "=" + l.value : l.raw) + "\r\n";
  }
  return out;
}

bool CIniFile::Save(const std::string& path) const {
  if (!c_writable) return false;
  const std::string text = Text();
  std::string error;
  if (ReplaceFileSafely(path, reinterpret_cast<const uint8_t*>(text.data()), text.size(), false, &error)) return true;
  TraceWrite("Ini file " + path + " not written: " + error);
  return false;
}

CIniFile::RSection* CIniFile::FindSection(const std::string& name) {
  for (RSection& s : c_sections)
    if (s.header && Same(s.name, name)) return &s;
  return nullptr;
}
const CIniFile::RSection* CIniFile::FindSection(const std::string& name) const {
  return const_cast<CIniFile*>(this)->FindSection(name);
}

const std::string* CIniFile::Find(const std::string& section, const std::string& key) const {
  const RSection* s = FindSection(Trim(section));
  if (s == nullptr) return nullptr;
  const std::string k = Trim(key);
  for (const RLine& l : s->lines)
    if (l.is_key && Same(l.key, k)) return &l.value;
  return nullptr;
}

bool CIniFile::SectionExists(const std::string& section) const { return FindSection(Trim(section)) != nullptr; }

std::vector<std::string> CIniFile::Keys(const std::string& section) const {
  std::vector<std::string> keys;
  if (const RSection* s = FindSection(Trim(section)))
    for (const RLine& l : s->lines)
      if (l.is_key) keys.push_back(l.key);
  return keys;
}

bool CIniFile::Set(const std::string& section, const std::string& key, const std::string& value) {
  const std::string sec = Trim(section), k = Trim(key);
  // A line break in a value would make a new line: written as blanks.
  std::string v = value;
  for (char& c : v)
    if (c == '\r' || c == '\n') c = ' ';
  RSection* s = FindSection(sec);
  if (s == nullptr) {
    if (c_sections.empty()) c_sections.push_back(RSection{std::string(), false, {}});
    c_sections.push_back(RSection{sec, true, {}});
    s = &c_sections.back();
  }
  for (RLine& l : s->lines) {
    if (l.is_key && Same(l.key, k)) {
      if (l.value == v) return false;
      l.value = v;
      return true;
    }
  }
  // After the section's last key, so trailing comments and blanks stay last.
  size_t at = s->lines.size();
  while (at > 0 && !s->lines[at - 1].is_key) --at;
  RLine l;
  l.is_key = true;
  l.key = k;
  l.value = v;
  s->lines.insert(s->lines.begin() + long(at), std::move(l));
  return true;
}

bool CIniFile::DeleteKey(const std::string& section, const std::string& key) {
  RSection* s = FindSection(Trim(section));
  if (s == nullptr) return false;
  const std::string k = Trim(key);
  for (size_t i = 0; i < s->lines.size(); ++i) {
    if (s->lines[i].is_key && Same(s->lines[i].key, k)) {
      s->lines.erase(s->lines.begin() + long(i));
      return true;
    }
  }
  return false;
}

bool CIniFile::DeleteSection(const std::string& section) {
  const std::string sec = Trim(section);
  for (size_t i = 0; i < c_sections.size(); ++i) {
    if (c_sections[i].header && Same(c_sections[i].name, sec)) {
      c_sections.erase(c_sections.begin() + long(i));
      return true;
    }
  }
  return false;
}

bool ParseIniReal(const std::string& text, double& out) {
  // The fraction's digits are gathered as a whole number and divided once,
  // so "0,75" is exactly the double nearest 0.75.
  double value = 0, fraction = 0, scale = 1;
  int sign = 1, expsign = 1, exp = 0;
  bool frac = false, inexp = false;
  for (const char c : text) {
    if (c == '.' || c == ',') {
      if (frac || inexp) break;
      frac = true;
    } else if (c == 'e' || c == 'E') {
      if (inexp) break;
      inexp = true;
    } else if (c == '-') {
      if (inexp) expsign = -expsign;
      else sign = -sign;
    } else if (c >= '0' && c <= '9') {
      const int d = c - '0';
      if (inexp) {
        if (exp < 100000) exp = exp * 10 + d;  // far beyond any finite result already
      } else if (frac) {
        if (scale < 1e300) {
          fraction = fraction * 10 + d;
          scale *= 10;
        }
      } else {
        value = value * 10 + d;
      }
    } else {
      break;
    }
  }
  value += fraction / scale;
  if (value == 0) {
    out = 0;
    return true;
  }
  const double r = sign * value * std::pow(10.0, double(expsign * exp));
  if (!std::isfinite(r)) return false;
  out = r;
  return true;
}

std::string ShortestReal(double v) {
  char buf[64];
  const auto res = std::to_chars(buf, buf + sizeof buf, v);
  return std::string(buf, res.ptr);
}
