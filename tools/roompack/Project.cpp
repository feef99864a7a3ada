#include "Project.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <set>
#include <sstream>

#include "Image_Bmp.h"

using nlohmann::json;
namespace fs = std::filesystem;

// ---------------------------------------------------------------------------
// Errors and typed field access

namespace {
std::string Compose(const std::string& file, const std::string& field, const std::string& problem) {
  std::string s = file + ": ";
  if (!field.empty()) s += field + ": ";
  return s + problem;
}

std::string Quote(const std::string& s) { return "\"" + s + "\""; }

bool IsCommentKey(const std::string& key) { return key.rfind("//", 0) == 0; }
}  // namespace

ProjectError::ProjectError(std::string file, std::string field, std::string problem)
    : std::runtime_error(Compose(file, field, problem)),
      file_(std::move(file)),
      field_(std::move(field)),
      problem_(std::move(problem)) {}

void JsonField::Fail(const std::string& problem) const { throw ProjectError(file_, path_, problem); }

void JsonField::ExpectObject() const {
  if (!value_->is_object()) Fail("expected an object ({ ... })");
}

void JsonField::ExpectList() const {
  if (!value_->is_array()) Fail("expected a list ([ ... ])");
}

bool JsonField::Has(const char* key) const { return Find(key).has_value(); }

std::optional<JsonField> JsonField::Find(const char* key) const {
  ExpectObject();
  auto it = value_->find(key);
  if (it == value_->end() || it->is_null()) return std::nullopt;
  return JsonField(*it, file_, path_.empty() ? std::string(key) : path_ + "." + key);
}

JsonField JsonField::Member(const char* key) const {
  auto f = Find(key);
  if (!f) Fail("missing " + Quote(key));
  return *f;
}

int JsonField::GetInt(const char* key, int fallback) const {
  auto f = Find(key);
  return f ? f->AsInt() : fallback;
}

bool JsonField::GetBool(const char* key, bool fallback) const {
  auto f = Find(key);
  return f ? f->AsBool() : fallback;
}

std::string JsonField::GetString(const char* key, const std::string& fallback) const {
  auto f = Find(key);
  return f ? f->AsString() : fallback;
}

int JsonField::GetColor(const char* key, int fallback) const {
  auto f = Find(key);
  return f ? f->AsColor() : fallback;
}

namespace {
// Edits (insert, delete, change one character) from a to b.
size_t EditDistance(const std::string& a, const std::string& b) {
  std::vector<size_t> row(b.size() + 1);
  for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (size_t i = 1; i <= a.size(); ++i) {
    size_t diag = row[0];
    row[0] = i;
    for (size_t j = 1; j <= b.size(); ++j) {
      const size_t up = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diag + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diag = up;
    }
  }
  return row[b.size()];
}
}  // namespace

void JsonField::CheckKeys(std::initializer_list<const char*> allowed) const {
  ExpectObject();
  for (auto it = value_->begin(); it != value_->end(); ++it) {
    if (IsCommentKey(it.key())) continue;
    bool known = false;
    for (const char* a : allowed) known = known || it.key() == a;
    if (!known) {
      std::string where = path_.empty() ? it.key() : path_ + "." + it.key();
      std::string best;
      size_t best_distance = 3;  // more edits than this is no near miss
      for (const char* a : allowed) {
        const size_t d = EditDistance(it.key(), a);
        if (d < best_distance && d < std::string(a).size()) {
          best_distance = d;
          best = a;
        }
      }
      throw ProjectError(file_, where, best.empty() ? "unknown field" : "unknown field (did you mean \"" + best + "\"?)");
    }
  }
}

size_t JsonField::Size() const {
  ExpectList();
  return value_->size();
}

JsonField JsonField::At(size_t index) const {
  ExpectList();
  return JsonField((*value_)[index], file_, path_ + "[" + std::to_string(index) + "]");
}

int JsonField::AsInt() const {
  if (value_->is_number_integer()) {
    if (value_->is_number_unsigned()) {
      auto v = value_->get<uint64_t>();
      if (v > uint64_t(INT_MAX)) Fail("integer out of range");
      return int(v);
    }
    auto v = value_->get<int64_t>();
    if (v < INT_MIN || v > INT_MAX) Fail("integer out of range");
    return int(v);
  }
  if (value_->is_number_float()) {
    double d = value_->get<double>();
    if (std::floor(d) == d && d >= INT_MIN && d <= INT_MAX) return int(d);
  }
  Fail("expected an integer");
}

bool JsonField::AsBool() const {
  if (!value_->is_boolean()) Fail("expected true or false");
  return value_->get<bool>();
}

std::string JsonField::AsString() const {
  if (!value_->is_string()) Fail("expected a text");
  return value_->get<std::string>();
}

int JsonField::AsColor() const {
  if (value_->is_string()) {
    std::string s = value_->get<std::string>();
    if (s.size() == 7 && s[0] == '#' && s.find_first_not_of("0123456789abcdefABCDEF", 1) == std::string::npos) {
      unsigned long rgb = std::stoul(s.substr(1), nullptr, 16);
      // Stored colours keep red in the low byte.
      return int(((rgb >> 16) & 0xFF) | (rgb & 0xFF00) | ((rgb & 0xFF) << 16));
    }
    Fail("expected a colour \"#RRGGBB\" or an integer");
  }
  if (!value_->is_number_integer()) Fail("expected a colour \"#RRGGBB\" or an integer");
  return AsInt();
}

// ---------------------------------------------------------------------------
// Texts

bool CheckUtf8(const std::string& text, int& badline) {
  int line = 1;
  size_t i = 0, n = text.size();
  while (i < n) {
    unsigned char c = text[i];
    if (c == '\n') ++line;
    int extra;
    uint32_t cp;
    if (c < 0x80) {
      ++i;
      continue;
    } else if ((c & 0xE0) == 0xC0) {
      extra = 1;
      cp = c & 0x1F;
    } else if ((c & 0xF0) == 0xE0) {
      extra = 2;
      cp = c & 0x0F;
    } else if ((c & 0xF8) == 0xF0) {
      extra = 3;
      cp = c & 0x07;
    } else {
      badline = line;
      return false;
    }
    for (int k = 1; k <= extra; ++k) {
      if (i + k >= n || (static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) {
        badline = line;
        return false;
      }
      cp = (cp << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
    }
    static const uint32_t kMin[4] = {0, 0x80, 0x800, 0x10000};
    if (cp < kMin[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
      badline = line;
      return false;
    }
    i += extra + 1;
  }
  return true;
}

std::string PlainTextToRtf(const std::string& text) {
  std::string out = "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fnil Arial;}}\\f0\\fs20 ";
  size_t i = 0, n = text.size();
  auto unicode = [&out](uint32_t unit) {
    // Rich text takes a signed 16-bit number followed by a fallback character.
    out += "\\u" + std::to_string(int16_t(uint16_t(unit))) + "?";
  };
  while (i < n) {
    unsigned char c = text[i];
    if (c == '\r') {
      if (i + 1 < n && text[i + 1] == '\n') ++i;
      out += "\\par\n";
      ++i;
    } else if (c == '\n') {
      out += "\\par\n";
      ++i;
    } else if (c == '\t') {
      out += "\\tab ";
      ++i;
    } else if (c == '\\' || c == '{' || c == '}') {
      out += '\\';
      out += char(c);
      ++i;
    } else if (c < 0x80) {
      if (c >= 0x20) out += char(c);
      ++i;
    } else {
      int extra = (c & 0xE0) == 0xC0 ? 1 : (c & 0xF0) == 0xE0 ? 2 : 3;
      uint32_t cp = c & (extra == 1 ? 0x1F : extra == 2 ? 0x0F : 0x07);
      for (int k = 1; k <= extra && i + k < n; ++k) cp = (cp << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
      i += extra + 1;
      if (cp >= 0x10000) {
        cp -= 0x10000;
        unicode(0xD800 + (cp >> 10));
        unicode(0xDC00 + (cp & 0x3FF));
      } else {
        unicode(cp);
      }
    }
  }
  out += "}";
  return out;
}

bool ParseGuid(const std::string& text, std::array<uint8_t, 16>& out) {
  std::string s = text;
  if (s.size() == 38 && s.front() == '{' && s.back() == '}') s = s.substr(1, 36);
  if (s.size() != 36 || s[8] != '-' || s[13] != '-' || s[18] != '-' || s[23] != '-') return false;
  std::string hex;
  for (size_t i = 0; i < s.size(); ++i) {
    if (i == 8 || i == 13 || i == 18 || i == 23) continue;
    if (!std::isxdigit(static_cast<unsigned char>(s[i]))) return false;
    hex += s[i];
  }
  uint8_t b[16];
  for (int i = 0; i < 16; ++i) b[i] = uint8_t(std::stoul(hex.substr(i * 2, 2), nullptr, 16));
  // The first three groups are stored little-endian, the last eight bytes as written.
  const int order[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
  for (int i = 0; i < 16; ++i) out[i] = b[order[i]];
  return true;
}

// ---------------------------------------------------------------------------
// Project

RGameSettings DefaultSettings() {
  RGameSettings s;
  s.version = 820;
  s.scale = -1;  // fit the window, keeping the aspect ratio
  s.noscreensaver = true;
  s.scaleprogress = true;
  s.argerrors = true;
  return s;
}

RGameInfo DefaultGameInfo() {
  RGameInfo g;
  g.InfoColor = 0xE1FFFF;  // pale yellow
  g.InfoCaption = "Game Information";
  g.InfoModal = true;
  return g;
}

const std::vector<std::string> kResourceKeys = {"extensions", "triggers", "sounds",  "sprites",
                                                 "backgrounds", "paths",   "scripts", "fonts",
                                                 "timelines",   "objects", "rooms"};

void Project::NoteCode(const JsonField& f, bool in_file, const std::string& place, const std::string& text,
                       bool expression) const {
  RCodeSite s;
  s.file = in_file ? f.AsString() : f.File();
  if (!in_file) s.field = f.Path();
  s.place = place;
  s.text = text;
  s.expression = expression;
  code_sites.push_back(std::move(s));
}

void Project::Warn(const std::string& key, const std::string& text) const {
  for (const std::string& k : warned_keys)
    if (k == key) return;
  warned_keys.push_back(key);
  warnings.push_back(text);
}

int ResourceList::Find(const std::string& name) const {
  for (size_t i = 0; i < names.size(); ++i) {
    if (names[i] && *names[i] == name) return int(i);
  }
  return -1;
}

const ResourceList& Project::Resources(const std::string& key) const {
  static const ResourceList kEmpty;
  auto it = resources.find(key);
  return it == resources.end() ? kEmpty : it->second;
}

std::vector<uint8_t> Project::ReadFile(const std::string& relpath, const JsonField& from) const {
  if (relpath.empty()) from.Fail("empty file path");
  fs::path p = dir / fs::path(relpath);
  std::error_code ec;
  if (!fs::exists(p, ec)) from.Fail("file " + relpath + " not found");
  if (!fs::is_regular_file(p, ec)) from.Fail(relpath + " is not a file");
  auto size = fs::file_size(p, ec);
  if (ec) from.Fail("cannot read " + relpath + ": " + ec.message());
  if (size > uint64_t(INT_MAX)) from.Fail(relpath + " is larger than 2 GB");
  std::ifstream in(p, std::ios::binary);
  std::vector<uint8_t> bytes(size);
  if (!in || !in.read(reinterpret_cast<char*>(bytes.data()), std::streamsize(size))) {
    from.Fail("cannot read " + relpath + ": " + std::strerror(errno));
  }
  return bytes;
}

std::string Project::ReadText(const std::string& relpath, const JsonField& from) const {
  std::vector<uint8_t> bytes = ReadFile(relpath, from);
  std::string text(bytes.begin(), bytes.end());
  if (text.rfind("\xEF\xBB\xBF", 0) == 0) text.erase(0, 3);
  int badline = 0;
  if (!CheckUtf8(text, badline)) {
    throw ProjectError(relpath, "line " + std::to_string(badline), "not valid UTF-8 text");
  }
  return text;
}

namespace {

// A resource name must work as a file name inside its kind's folder.
void CheckResourceName(const JsonField& f, const std::string& name) {
  if (name.empty()) f.Fail("empty name");
  if (name == "." || name == ".." || name.find_first_of("/\\") != std::string::npos) {
    f.Fail(Quote(name) + " cannot be used as a name (no /, \\, . or ..)");
  }
  for (unsigned char c : name) {
    if (c < 0x20) f.Fail(Quote(name) + " contains a control character");
  }
}

bool IsConstantName(const std::string& name) {
  if (name.empty()) return false;
  auto letter = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; };
  if (!letter(name[0])) return false;
  for (char c : name) {
    if (!letter(c) && !(c >= '0' && c <= '9')) return false;
  }
  return true;
}

std::string TrimControls(const std::string& s) {
  size_t a = 0, b = s.size();
  while (a < b && static_cast<unsigned char>(s[a]) <= 32) ++a;
  while (b > a && static_cast<unsigned char>(s[b - 1]) <= 32) --b;
  return s.substr(a, b - a);
}

// The code's number syntax has no exponent, so reals are written out in
// fixed notation, with the fewest digits that read back as the same double.
std::string RealText(double d) {
  char buf[400];
  auto r = std::to_chars(buf, buf + sizeof buf, d, std::chars_format::fixed);
  return std::string(buf, r.ptr);
}

// A setting given either as a readable word/number or as its stored code.
int Choice(const JsonField& f, const std::vector<std::pair<json, int>>& table, const std::string& expected) {
  for (const auto& [key, code] : table) {
    if (f.Value() == key) return code;
  }
  f.Fail("expected " + expected);
}

void LoadSettings(Project& p, const JsonField& s) {
  s.CheckKeys({"fullscreen",     "interpolate",      "no_border",       "show_cursor",    "scale",
               "sizeable",       "stay_on_top",      "window_color",    "change_resolution",
               "color_depth",    "resolution",       "frequency",       "no_buttons",     "sync",
               "no_screensaver", "key_f4",           "key_f1",          "key_esc",        "key_f5",
               "key_f9",         "close_as_esc",     "priority",        "freeze",         "show_progress",
               "progress_back",  "progress_front",   "load_image",      "load_transparent",
               "load_alpha",     "scale_progress",   "show_errors",     "log_errors",     "abort_errors",
               "uninit_zero",    "arg_errors",       "create_first"});
  RGameSettings& o = p.settings;
  o.fullscreen = s.GetBool("fullscreen", o.fullscreen);
  o.interpolate = s.GetBool("interpolate", o.interpolate);
  o.noborder = s.GetBool("no_border", o.noborder);
  o.showcursor = s.GetBool("show_cursor", o.showcursor);
  o.scale = s.GetInt("scale", o.scale);
  o.sizeable = s.GetBool("sizeable", o.sizeable);
  o.stayontop = s.GetBool("stay_on_top", o.stayontop);
  o.windowcolor = s.GetColor("window_color", o.windowcolor);
  o.changeresolution = s.GetBool("change_resolution", o.changeresolution);
  if (auto f = s.Find("color_depth")) {
    o.colordepth = Choice(*f, {{"unchanged", 0}, {16, 1}, {32, 2}}, "16, 32 or \"unchanged\"");
  }
  if (auto f = s.Find("resolution")) {
    o.resolution = Choice(*f,
                          {{"unchanged", 0},
                           {"320x240", 1},
                           {"640x480", 2},
                           {"800x600", 3},
                           {"1024x768", 4},
                           {"1280x1024", 5},
                           {"1600x1200", 6}},
                          "\"320x240\", \"640x480\", \"800x600\", \"1024x768\", \"1280x1024\", \"1600x1200\" or "
                          "\"unchanged\"");
  }
  if (auto f = s.Find("frequency")) {
    o.frequency = Choice(*f, {{"unchanged", 0}, {60, 1}, {70, 2}, {85, 3}, {100, 4}, {120, 5}},
                         "60, 70, 85, 100, 120 or \"unchanged\"");
  }
  o.nobuttons = s.GetBool("no_buttons", o.nobuttons);
  o.sync = s.GetInt("sync", o.sync);
  o.noscreensaver = s.GetBool("no_screensaver", o.noscreensaver);
  o.keyf4 = s.GetBool("key_f4", o.keyf4);
  o.keyf1 = s.GetBool("key_f1", o.keyf1);
  o.keyesc = s.GetBool("key_esc", o.keyesc);
  o.keyf5 = s.GetBool("key_f5", o.keyf5);
  o.keyf9 = s.GetBool("key_f9", o.keyf9);
  o.closeasesc = s.GetBool("close_as_esc", o.closeasesc);
  if (auto f = s.Find("priority")) {
    o.priority = Choice(*f, {{"normal", 0}, {"high", 1}, {"highest", 2}}, "\"normal\", \"high\" or \"highest\"");
  }
  o.freeze = s.GetBool("freeze", o.freeze);
  o.showprogress = s.GetBool("show_progress", o.showprogress);
  auto picture = [&](const char* key, std::optional<std::vector<uint8_t>>& slot) {
    auto f = s.Find(key);
    if (!f) return;
    std::string path = f->AsString();
    std::vector<uint8_t> png = p.ReadFile(path, *f);
    std::vector<uint8_t> bmp;
    std::string error;
    if (!PngToBmp(png, bmp, error)) throw ProjectError(path, "", error);
    slot = std::move(bmp);
  };
  picture("progress_back", o.progressback);
  picture("progress_front", o.progressfront);
  picture("load_image", o.loadimage);
  o.loadtransparent = s.GetBool("load_transparent", o.loadtransparent);
  o.loadalpha = s.GetInt("load_alpha", o.loadalpha);
  if (o.loadalpha < 0 || o.loadalpha > 255) s.Member("load_alpha").Fail("expected an integer from 0 to 255");
  o.scaleprogress = s.GetBool("scale_progress", o.scaleprogress);
  o.showerrors = s.GetBool("show_errors", o.showerrors);
  o.logerrors = s.GetBool("log_errors", o.logerrors);
  o.aborterrors = s.GetBool("abort_errors", o.aborterrors);
  o.uninitzero = s.GetBool("uninit_zero", o.uninitzero);
  o.argerrors = s.GetBool("arg_errors", o.argerrors);
  o.createfirst = s.GetBool("create_first", o.createfirst);
}

void LoadResourceLists(Project& p, const JsonField& root) {
  for (const std::string& key : kResourceKeys) {
    ResourceList& list = p.resources[key];
    auto f = root.Find(key.c_str());
    if (!f) continue;
    std::set<std::string> seen;
    for (size_t i = 0; i < f->Size(); ++i) {
      JsonField e = f->At(i);
      if (e.IsNull()) {
        list.names.emplace_back();
        continue;
      }
      std::string name = e.AsString();
      CheckResourceName(e, name);
      if (!seen.insert(name).second) e.Fail("the name " + Quote(name) + " is used twice");
      list.names.emplace_back(name);
    }
  }
}

void LoadConstants(Project& p, const JsonField& root) {
  auto f = root.Find("constants");
  if (!f) return;
  for (size_t i = 0; i < f->Size(); ++i) {
    JsonField e = f->At(i);
    e.CheckKeys({"name", "value"});
    JsonField nf = e.Member("name");
    std::string name = TrimControls(nf.AsString());
    if (!IsConstantName(name)) {
      nf.Fail(Quote(nf.AsString()) + " is not a valid constant name (a letter or _ followed by letters, digits or _)");
    }
    JsonField vf = e.Member("value");
    std::string value;
    if (vf.Value().is_number()) {
      if (vf.Value().is_number_unsigned()) {
        value = std::to_string(vf.Value().get<uint64_t>());
      } else if (vf.Value().is_number_integer()) {
        value = std::to_string(vf.Value().get<int64_t>());
      } else {
        value = RealText(vf.Value().get<double>());
      }
    } else if (vf.Value().is_string()) {
      value = vf.AsString();
    } else {
      vf.Fail("expected a number or the text of an expression");
    }
    if (vf.Value().is_string()) p.NoteCode(vf, false, "constant " + name, value, true);
    p.constants.emplace_back(name, value);
  }
}

void LoadScripts(Project& p, const JsonField& root) {
  const ResourceList& list = p.Resources("scripts");
  for (size_t i = 0; i < list.names.size(); ++i) {
    if (!list.names[i]) {
      p.script_texts.emplace_back();
      continue;
    }
    JsonField from = root.Member("scripts").At(i);
    p.script_texts.emplace_back(p.ReadText("scripts/" + *list.names[i] + ".code", from));
    RCodeSite s;
    s.file = "scripts/" + *list.names[i] + ".code";
    s.place = "script " + *list.names[i];
    s.text = *p.script_texts.back();
    p.code_sites.push_back(std::move(s));
  }
}

void LoadIncludedFiles(Project& p, const JsonField& root) {
  auto f = root.Find("included_files");
  if (!f) return;
  std::set<std::string> seen;
  for (size_t i = 0; i < f->Size(); ++i) {
    JsonField e = f->At(i);
    e.CheckKeys({"file", "name", "original_name", "store", "export", "export_dir", "overwrite", "free_data",
                 "remove_at_end"});
    CDataFile inc;
    // Exporting to the game's private temporary directory is the default: a
    // file exported elsewhere and removed at the end could be one the player
    // already had under that name.
    inc.s_exportaction = 1;
    std::string path = e.GetString("file", "");
    if (auto nf = e.Find("name")) {
      inc.s_filename = nf->AsString();
    } else if (!path.empty()) {
      inc.s_filename = fs::path(path).filename().string();
    } else {
      e.Fail("needs a \"file\" or a \"name\"");
    }
    if (inc.s_filename.empty()) e.Member("name").Fail("empty name");
    if (!seen.insert(inc.s_filename).second) e.Fail("the name " + Quote(inc.s_filename) + " is used twice");
    inc.s_origname = e.GetString("original_name", path);
    inc.s_store = e.GetBool("store", true);
    if (!path.empty()) {
      std::vector<uint8_t> bytes = p.ReadFile(path, e.Member("file"));
      inc.s_exists = true;
      inc.s_size = int(bytes.size());
      if (inc.s_store) inc.s_data = std::move(bytes);
    }
    if (auto xf = e.Find("export")) {
      inc.s_exportaction = Choice(*xf, {{"none", 0}, {"temp", 1}, {"working", 2}, {"directory", 3}},
                                  "\"none\", \"temp\", \"working\" or \"directory\"");
    }
    inc.s_exportdir = e.GetString("export_dir", "");
    if (inc.s_exportaction == 3 && inc.s_exportdir.empty()) e.Fail("export \"directory\" needs an \"export_dir\"");
    inc.s_overwrite = e.GetBool("overwrite", inc.s_overwrite);
    inc.s_freedata = e.GetBool("free_data", inc.s_freedata);
    inc.s_removeend = e.GetBool("remove_at_end", inc.s_removeend);
    p.included_files.push_back(std::move(inc));
  }
}

void LoadGameInfo(Project& p, const JsonField& root) {
  auto f = root.Find("game_information");
  if (!f) return;
  f->CheckKeys({"background_color", "embedded", "caption", "left", "top", "width", "height", "border", "sizeable",
                "on_top", "modal", "text"});
  RGameInfo& g = p.info;
  g.InfoColor = f->GetColor("background_color", g.InfoColor);
  g.InfoEmbedded = f->GetBool("embedded", g.InfoEmbedded);
  g.InfoCaption = f->GetString("caption", g.InfoCaption);
  g.InfoLeft = f->GetInt("left", g.InfoLeft);
  g.InfoTop = f->GetInt("top", g.InfoTop);
  g.InfoWidth = f->GetInt("width", g.InfoWidth);
  g.InfoHeight = f->GetInt("height", g.InfoHeight);
  if (g.InfoWidth <= 0) f->Member("width").Fail("expected a positive integer");
  if (g.InfoHeight <= 0) f->Member("height").Fail("expected a positive integer");
  g.InfoBorder = f->GetBool("border", g.InfoBorder);
  g.InfoSizeable = f->GetBool("sizeable", g.InfoSizeable);
  g.InfoOnTop = f->GetBool("on_top", g.InfoOnTop);
  g.InfoModal = f->GetBool("modal", g.InfoModal);
  if (auto tf = f->Find("text")) {
    std::string path = tf->AsString();
    std::vector<uint8_t> bytes = p.ReadFile(path, *tf);
    std::string text(bytes.begin(), bytes.end());
    if (text.rfind("{\\rtf", 0) == 0) {
      g.InfoText = text;  // already rich text
    } else {
      g.InfoText = PlainTextToRtf(p.ReadText(path, *tf));
    }
  }
}

void LoadLibraryInit(Project& p, const JsonField& root) {
  auto f = root.Find("library_init");
  if (!f) return;
  for (size_t i = 0; i < f->Size(); ++i) {
    JsonField e = f->At(i);
    p.library_init.push_back(p.ReadText(e.AsString(), e));
    p.NoteCode(e, true, "library initialisation code", p.library_init.back(), false);
  }
}

void LoadRoomOrder(Project& p, const JsonField& root) {
  const ResourceList& rooms = p.Resources("rooms");
  if (auto f = root.Find("room_order")) {
    for (size_t i = 0; i < f->Size(); ++i) {
      JsonField e = f->At(i);
      std::string name = e.AsString();
      int index = rooms.Find(name);
      if (index < 0) e.Fail("no room named " + Quote(name) + " in \"rooms\"");
      p.room_order.push_back(index);
    }
    if (p.room_order.empty()) f->Fail("the game needs at least one room");
  } else {
    for (size_t i = 0; i < rooms.names.size(); ++i) {
      if (rooms.names[i]) p.room_order.push_back(int(i));
    }
    if (p.room_order.empty()) {
      throw ProjectError("game.json", "rooms", "the game needs at least one room");
    }
  }
}

json ParseGameJson(const fs::path& file) {
  std::error_code ec;
  if (!fs::exists(file, ec)) {
    throw ProjectError("game.json", "", "not found in " + file.parent_path().string());
  }
  std::ifstream in(file, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  if (!in) throw ProjectError("game.json", "", std::string("cannot read: ") + std::strerror(errno));
  return ParseJsonText(ss.str(), "game.json");
}

}  // namespace

json ParseJsonText(std::string text, const std::string& relpath) {
  if (text.rfind("\xEF\xBB\xBF", 0) == 0) text.erase(0, 3);
  try {
    return json::parse(text);
  } catch (const json::parse_error& e) {
    // Say where, then the parser's own explanation without its prefix.
    size_t upto = std::min<size_t>(e.byte == 0 ? 0 : e.byte - 1, text.size());
    int line = 1, column = 1;
    for (size_t i = 0; i < upto; ++i) {
      if (text[i] == '\n') {
        ++line;
        column = 1;
      } else {
        ++column;
      }
    }
    std::string why = e.what();
    size_t colon = why.find(": ");
    if (colon != std::string::npos) why = why.substr(colon + 2);
    throw ProjectError(relpath, "line " + std::to_string(line) + ", column " + std::to_string(column),
                       "invalid JSON: " + why);
  }
}

Project LoadProject(const fs::path& dir) {
  Project p;
  p.dir = dir;
  std::error_code ec;
  if (!fs::is_directory(dir, ec)) throw ProjectError(dir.string(), "", "not a project folder");
  p.doc = ParseGameJson(dir / "game.json");
  JsonField root = p.Root();
  if (!p.doc.is_object()) throw ProjectError("game.json", "", "expected an object ({ ... }) at the top");

  std::vector<std::string> allowed = {"game_id",         "guid",     "debug",    "settings",
                                      "graphics_library", "constants", "included_files",
                                      "game_information", "library_init", "room_order"};
  allowed.insert(allowed.end(), kResourceKeys.begin(), kResourceKeys.end());
  for (auto it = p.doc.begin(); it != p.doc.end(); ++it) {
    bool known = IsCommentKey(it.key());
    for (const auto& a : allowed) known = known || a == it.key();
    if (!known) throw ProjectError("game.json", it.key(), "unknown field");
  }

  p.game_id = root.GetInt("game_id", 0);
  if (auto g = root.Find("guid")) {
    if (!ParseGuid(g->AsString(), p.guid)) g->Fail("expected a GUID like {01234567-89AB-CDEF-0123-456789ABCDEF}");
  }
  p.debug = root.GetBool("debug", false);
  if (auto s = root.Find("settings")) LoadSettings(p, *s);
  if (auto lib = root.Find("graphics_library")) {
    lib->CheckKeys({"name", "file"});
    p.library_name = lib->GetString("name", p.library_name);
    if (p.library_name.empty() || p.library_name.find_first_of("/\\") != std::string::npos) {
      lib->Member("name").Fail("expected a plain file name");
    }
    if (auto ff = lib->Find("file")) p.library_data = p.ReadFile(ff->AsString(), *ff);
  }
  LoadConstants(p, root);
  LoadResourceLists(p, root);
  LoadScripts(p, root);
  LoadIncludedFiles(p, root);
  LoadGameInfo(p, root);
  LoadLibraryInit(p, root);
  LoadRoomOrder(p, root);
  return p;
}
