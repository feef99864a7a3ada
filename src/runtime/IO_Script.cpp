#include "runtime/IO_Script.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "runtime/IO_Main.h"
#include "script/Code_Constant.h"
#include "script/Code_Error.h"
#include "script/Code_Text.h"

namespace {
std::vector<RInputEvent> g_events;
size_t g_next = 0;
std::string g_name;  // the script file, for messages

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

bool ParseInt(const std::string& t, long long lo, long long hi, long long& out) {
  if (t.empty()) return false;
  char* end = nullptr;
  errno = 0;
  const long long v = std::strtoll(t.c_str(), &end, 10);
  if (errno != 0 || *end != '\0' || v < lo || v > hi) return false;
  out = v;
  return true;
}

// A key: a code, a letter, a quoted character, or a key constant's name.
bool ParseKey(const std::string& t, int& out) {
  long long v = 0;
  if (!t.empty() && (std::isdigit(static_cast<unsigned char>(t[0])) || t[0] == '-')) {
    if (!ParseInt(t, 0, 255, v)) return false;
    out = static_cast<int>(v);
    return true;
  }
  if (t.size() == 1 && std::isalpha(static_cast<unsigned char>(t[0]))) {
    out = std::toupper(static_cast<unsigned char>(t[0]));
    return true;
  }
  if (t.size() == 3 && t[0] == '\'' && t[2] == '\'' && std::isalnum(static_cast<unsigned char>(t[1]))) {
    out = std::toupper(static_cast<unsigned char>(t[1]));
    return true;
  }
  const std::string name = Lower(t).rfind("vk_", 0) == 0 ? Lower(t) : "vk_" + Lower(t);
  for (int i = 0; i < kBuiltinConstantCount; ++i) {
    const RBuiltinConstant& c = kBuiltinConstants[i];
    if (name == c.name && c.value >= 0 && c.value <= 255) {
      out = static_cast<int>(c.value);
      return true;
    }
  }
  return false;
}

bool ParseButton(const std::string& t, int& out) {
  const std::string l = Lower(t);
  if (l == "left" || l == "1") out = 1;
  else if (l == "right" || l == "2") out = 2;
  else if (l == "middle" || l == "3") out = 3;
  else return false;
  return true;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The text of a char line with its escapes resolved.
bool ParseText(const std::string& raw, std::u16string& out, std::string& why) {
  std::string utf8;
  for (size_t i = 0; i < raw.size(); ++i) {
    if (raw[i] != '\\') {
      utf8 += raw[i];
      continue;
    }
    if (i + 1 >= raw.size()) {
      why = "a \\ at the end of the text";
      return false;
    }
    const char e = raw[++i];
    switch (e) {
      case '\\': utf8 += '\\'; break;
      case 'b': utf8 += '\b'; break;
      case 't': utf8 += '\t'; break;
      case 'n': utf8 += '\n'; break;
      case 'r': utf8 += '\r'; break;
      case 'e': utf8 += '\x1b'; break;
      case 's': utf8 += ' '; break;
      case 'u': {
        if (i + 4 >= raw.size()) {
          why = "\\u needs four hexadecimal digits";
          return false;
        }
        int v = 0;
        for (int k = 1; k <= 4; ++k) {
          const int d = HexDigit(raw[i + size_t(k)]);
          if (d < 0) {
            why = "\\u needs four hexadecimal digits";
            return false;
          }
          v = v * 16 + d;
        }
        i += 4;
        // A code unit of its own: flush the UTF-8 gathered so far first.
        out += Utf8ToUtf16(utf8);
        utf8.clear();
        out.push_back(static_cast<char16_t>(v));
        break;
      }
      default:
        why = std::string("unknown escape \\") + e;
        return false;
    }
  }
  out += Utf8ToUtf16(utf8);
  return true;
}

std::vector<std::string> Words(const std::string& s) {
  std::vector<std::string> w;
  std::istringstream in(s);
  std::string t;
  while (in >> t) w.push_back(t);
  return w;
}

// One non-empty, non-comment line; why tells what is wrong.
bool ParseLine(const std::string& line, RInputEvent& e, std::string& why) {
  // The step and the event word.
  size_t p = line.find_first_not_of(" \t");
  size_t q = line.find_first_of(" \t", p);
  const std::string stepword = line.substr(p, q == std::string::npos ? std::string::npos : q - p);
  long long step = 0;
  if (!ParseInt(stepword, 1, kMaxInputStep, step)) {
    why = "the step must be a whole number from 1 to " + std::to_string(kMaxInputStep) + ", not \"" + stepword + "\"";
    return false;
  }
  e.step = step;
  const std::string rest = q == std::string::npos ? std::string() : line.substr(q);
  const size_t r0 = rest.find_first_not_of(" \t");
  if (r0 == std::string::npos) {
    why = "an event is missing after the step";
    return false;
  }
  const size_t r1 = rest.find_first_of(" \t", r0);
  const std::string word = Lower(rest.substr(r0, r1 == std::string::npos ? std::string::npos : r1 - r0));
  if (word == "char") {
    // The text is everything after one blank following "char".
    const std::string raw = r1 == std::string::npos ? std::string() : rest.substr(r1 + 1);
    e.kind = RInputEvent::Char;
    if (!ParseText(raw, e.text, why)) return false;
    if (e.text.empty()) {
      why = "char needs a text (\\s is a space)";
      return false;
    }
    return true;
  }
  const std::vector<std::string> w = Words(rest);  // w[0] is the event word
  auto want = [&](size_t n, const char* form) {
    if (w.size() == n) return true;
    why = std::string("expected \"") + form + "\"";
    return false;
  };
  if (word == "key") {
    if (!want(3, "key down|up|tap KEY")) return false;
    const std::string how = Lower(w[1]);
    if (how == "down") e.kind = RInputEvent::KeyDown;
    else if (how == "up") e.kind = RInputEvent::KeyUp;
    else if (how == "tap") e.kind = RInputEvent::KeyTap;
    else {
      why = "expected \"key down|up|tap KEY\"";
      return false;
    }
    if (!ParseKey(w[2], e.a)) {
      why = "unknown key \"" + w[2] + "\" (a code 0..255, a letter, '0'..'9' or a key name such as vk_left)";
      return false;
    }
    return true;
  }
  if (word == "mouse") {
    const std::string how = w.size() > 1 ? Lower(w[1]) : std::string();
    if (how == "move") {
      if (!want(4, "mouse move X Y")) return false;
      long long x = 0, y = 0;
      if (!ParseInt(w[2], -1000000, 1000000, x) || !ParseInt(w[3], -1000000, 1000000, y)) {
        why = "mouse move needs two whole numbers from -1000000 to 1000000";
        return false;
      }
      e.kind = RInputEvent::MouseMove;
      e.a = static_cast<int>(x);
      e.b = static_cast<int>(y);
      return true;
    }
    if (how == "down" || how == "up") {
      if (!want(3, "mouse down|up left|right|middle")) return false;
      e.kind = how == "down" ? RInputEvent::MouseDown : RInputEvent::MouseUp;
      if (!ParseButton(w[2], e.a)) {
        why = "unknown mouse button \"" + w[2] + "\" (left, right, middle)";
        return false;
      }
      return true;
    }
    why = "expected \"mouse move X Y\" or \"mouse down|up BUTTON\"";
    return false;
  }
  if (word == "wheel") {
    if (!want(2, "wheel up|down")) return false;
    const std::string how = Lower(w[1]);
    if (how == "up") e.kind = RInputEvent::WheelUp;
    else if (how == "down") e.kind = RInputEvent::WheelDown;
    else return want(0, "wheel up|down");
    return true;
  }
  if (word == "close") {
    if (!want(1, "close")) return false;
    e.kind = RInputEvent::Close;
    return true;
  }
  if (word == "error") {
    if (!want(2, "error ignore|abort")) return false;
    const std::string how = Lower(w[1]);
    if (how != "ignore" && how != "abort") return want(0, "error ignore|abort");
    e.kind = RInputEvent::ErrorChoice;
    e.a = how == "abort" ? 1 : 0;
    return true;
  }
  why = "unknown event \"" + word + "\" (key, char, mouse, wheel, close, error)";
  return false;
}
}  // namespace

bool IO_ScriptParse(const std::string& text, const std::string& name, std::vector<RInputEvent>& out,
                    std::string& error) {
  out.clear();
  // Editors on some systems start UTF-8 files with a byte-order mark; it is
  // not part of the first line.
  size_t pos = text.starts_with("\xEF\xBB\xBF") ? 3 : 0;
  int number = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(pos, end - pos);
    pos = end + 1;
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const size_t first = line.find_first_not_of(" \t");
    if (first == std::string::npos || line[first] == '#') continue;
    RInputEvent e;
    e.line = number;
    std::string why;
    if (!ParseLine(line, e, why)) {
      error = name + ":" + std::to_string(number) + ": " + why;
      out.clear();
      return false;
    }
    out.push_back(std::move(e));
  }
  return true;
}

bool IO_ScriptLoad(const std::string& file, std::string& error) {
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    error = file + ": cannot read the input file";
    return false;
  }
  std::ostringstream text;
  text << in.rdbuf();
  if (in.bad()) {
    error = file + ": cannot read the input file";
    return false;
  }
  std::vector<RInputEvent> events;
  if (!IO_ScriptParse(text.str(), file, events, error)) return false;
  IO_ScriptInstall(std::move(events));
  g_name = file;
  return true;
}

void IO_ScriptInstall(std::vector<RInputEvent> events) {
  std::stable_sort(events.begin(), events.end(),
                   [](const RInputEvent& a, const RInputEvent& b) { return a.step < b.step; });
  g_events = std::move(events);
  g_next = 0;
}

void IO_DeliverEvent(const RInputEvent& e) {
  switch (e.kind) {
    case RInputEvent::KeyDown: IO_KeyDown(e.a); break;
    case RInputEvent::KeyUp: IO_KeyUp(e.a); break;
    case RInputEvent::KeyTap:
      IO_KeyDown(e.a);
      IO_KeyUp(e.a);
      break;
    case RInputEvent::Char:
      for (char16_t c : e.text) IO_KeyPress(c);
      break;
    case RInputEvent::MouseMove: IO_MouseMove(e.a, e.b); break;
    case RInputEvent::MouseDown: IO_MouseDown(e.a); break;
    case RInputEvent::MouseUp: IO_MouseUp(e.a); break;
    case RInputEvent::WheelUp: IO_Wheel(true); break;
    case RInputEvent::WheelDown: IO_Wheel(false); break;
    case RInputEvent::Close: IO_CloseQuery(); break;
    case RInputEvent::ErrorChoice: SetHeadlessErrorChoice(e.a != 0); break;
  }
}

void IO_ScriptDeliver(int64_t step) {
  // An event's handler may run game code (the close button's event), which
  // may pump messages again: the position moves on before delivery.
  while (g_next < g_events.size() && g_events[g_next].step <= step) {
    const RInputEvent e = g_events[g_next++];
    IO_DeliverEvent(e);
  }
}

bool IO_ScriptDeliverNext() {
  if (g_next >= g_events.size()) return false;
  const RInputEvent e = g_events[g_next++];
  IO_DeliverEvent(e);
  return true;
}

bool IO_ScriptActive() { return g_next < g_events.size(); }

void IO_ScriptClear() {
  g_events.clear();
  g_next = 0;
}

bool IO_ParseKeyName(const std::string& text, int& code) { return ParseKey(text, code); }

std::string IO_ScriptLeftOverWarning() {
  if (g_next >= g_events.size()) return std::string();
  const RInputEvent& first = g_events[g_next];
  const size_t left = g_events.size() - g_next;
  return (g_name.empty() ? std::string("input") : g_name) + ":" + std::to_string(first.line) + ": " +
         std::to_string(left) + (left == 1 ? " event was" : " events were") +
         " never delivered: the game ended before step " + std::to_string(first.step);
}
