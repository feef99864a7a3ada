#include "runtime/IO_Script.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "runtime/IO_Joystick.h"
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

// "joystick J ..." with w the words from "joystick" on and rest the text
// from there (a device name keeps its spaces).
bool ParseJoystick(const std::string& rest, const std::vector<std::string>& w, RInputEvent& e, std::string& why) {
  static const char* const kForms =
      "expected \"joystick 1|2 connect [axes N] [buttons N] [pov] [name TEXT]\", \"joystick 1|2 disconnect\", "
      "\"joystick 1|2 axis x|y|z|r|u|v 0..65535\", \"joystick 1|2 button 1..32 down|up\" or "
      "\"joystick 1|2 pov DEGREES|centre\"";
  long long slot = 0;
  if (w.size() < 3 || !ParseInt(w[1], 1, 2, slot)) {
    why = kForms;
    return false;
  }
  e.a = static_cast<int>(slot);
  const std::string how = Lower(w[2]);
  if (how == "connect") {
    e.kind = RInputEvent::JoyConnect;
    e.b = 2;
    e.c = 8;
    e.text = u"Joystick";
    for (size_t i = 3; i < w.size(); ++i) {
      const std::string opt = Lower(w[i]);
      long long n = 0;
      if (opt == "pov") {
        e.d = 1;
      } else if ((opt == "axes" || opt == "buttons") && i + 1 < w.size() &&
                 ParseInt(w[i + 1], 0, opt == "axes" ? 6 : 32, n)) {
        (opt == "axes" ? e.b : e.c) = static_cast<int>(n);
        ++i;
      } else if (opt == "name" && i + 1 < w.size()) {
        // The rest of the line after the word "name".
        size_t at = 0;
        for (size_t k = 0; k <= i; ++k) at = rest.find(w[k], at) + w[k].size();
        const size_t from = rest.find_first_not_of(" \t", at);
        std::string name = rest.substr(from);
        while (!name.empty() && (name.back() == ' ' || name.back() == '\t')) name.pop_back();
        e.text = Utf8ToUtf16(name);
        return true;
      } else {
        why = "joystick connect takes axes 0..6, buttons 0..32, pov and name TEXT, not \"" + w[i] + "\"";
        return false;
      }
    }
    return true;
  }
  if (how == "disconnect" && w.size() == 3) {
    e.kind = RInputEvent::JoyDisconnect;
    return true;
  }
  if (how == "axis" && w.size() == 5) {
    static const std::string kAxes = "xyzruv";
    const std::string name = Lower(w[3]);
    long long v = 0;
    if (name.size() != 1 || kAxes.find(name[0]) == std::string::npos || !ParseInt(w[4], 0, 65535, v)) {
      why = "joystick axis needs x, y, z, r, u or v and a value 0..65535 (32767 is the centre)";
      return false;
    }
    e.kind = RInputEvent::JoyAxis;
    e.b = static_cast<int>(kAxes.find(name[0]));
    e.c = static_cast<int>(v);
    return true;
  }
  if (how == "button" && w.size() == 5) {
    long long n = 0;
    const std::string dir = Lower(w[4]);
    if (!ParseInt(w[3], 1, 32, n) || (dir != "down" && dir != "up")) {
      why = "joystick button needs a number 1..32 and down or up";
      return false;
    }
    e.kind = dir == "down" ? RInputEvent::JoyButtonDown : RInputEvent::JoyButtonUp;
    e.b = static_cast<int>(n);
    return true;
  }
  if (how == "pov" && w.size() == 4) {
    e.kind = RInputEvent::JoyPov;
    const std::string v = Lower(w[3]);
    if (v == "centre" || v == "center") {
      e.c = kJoyPovCentred;
      return true;
    }
    char* end = nullptr;
    const double deg = std::strtod(w[3].c_str(), &end);
    if (end == w[3].c_str() || *end != '\0' || !(deg >= 0 && deg < 360)) {
      why = "joystick pov needs degrees from 0 to below 360, or centre";
      return false;
    }
    e.c = static_cast<int>(deg * 100 + 0.5);
    return true;
  }
  why = kForms;
  return false;
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
  if (word == "numlock") {
    if (!want(2, "numlock on|off")) return false;
    const std::string how = Lower(w[1]);
    if (how != "on" && how != "off") return want(0, "numlock on|off");
    e.kind = RInputEvent::NumLock;
    e.a = how == "on" ? 1 : 0;
    return true;
  }
  if (word == "joystick") return ParseJoystick(rest, w, e, why);
  why = "unknown event \"" + word + "\" (key, char, mouse, wheel, close, error, joystick, numlock)";
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
    case RInputEvent::JoyConnect: IO_JoyConnect(e.a, Utf16ToUtf8(e.text), e.b, e.c, e.d != 0); break;
    case RInputEvent::JoyDisconnect: IO_JoyDisconnect(e.a); break;
    case RInputEvent::JoyAxis: IO_JoyAxis(e.a, e.b, e.c); break;
    case RInputEvent::JoyButtonDown: IO_JoyButton(e.a, e.b, true); break;
    case RInputEvent::JoyButtonUp: IO_JoyButton(e.a, e.b, false); break;
    case RInputEvent::JoyPov: IO_JoyPov(e.a, e.c); break;
    case RInputEvent::NumLock: IO_NumLock(e.a != 0); break;
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
