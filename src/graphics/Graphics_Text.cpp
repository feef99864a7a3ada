// Text on the screen: text state, the default font, splitting a text into
// lines, measuring and aligning them, and handing each line to its font.
#include "graphics/Graphics_Text.h"

#include <cmath>
#include <cstdint>
#include <memory>
#include <numbers>

#include "graphics/Graphics_D3D.h"
#include "resources/Font_Main.h"

namespace {
int g_font = -1;
int g_halign = 0;
int g_valign = 0;
// Made at first need, after the texture list, so that it goes before the
// list at exit.
std::unique_ptr<CFont>& DefaultFont() {
  static std::unique_ptr<CFont> font;
  return font;
}

void DefaultColor(int& color, double& alpha) {
  color = 0;
  alpha = 1;
}

// Line breaks are carriage returns from the escape step on.
constexpr char kBreak = '\r';

// "#" becomes a break, "\#" a literal "#"; then a line feed after a
// carriage return goes and any other becomes a break.
std::string ResolveBreaks(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const char ch = text[i];
    if (ch == '\\' && i + 1 < text.size() && text[i + 1] == '#') {
      out += '#';
      ++i;
    } else if (ch == '#') {
      out += kBreak;
    } else if (ch == '\n') {
      if (i == 0 || text[i - 1] != '\r') out += kBreak;
    } else {
      out += ch;
    }
  }
  return out;
}

// Words end just after a space or a hyphen, which stay with them.
void Wrap(const CFont& font, const std::string& line, int w, std::vector<std::string>& out) {
  std::vector<std::string> words;
  size_t start = 0;
  for (size_t i = 0; i < line.size(); ++i)
    if (line[i] == ' ' || line[i] == '-') {
      words.push_back(line.substr(start, i + 1 - start));
      start = i + 1;
    }
  if (start < line.size()) words.push_back(line.substr(start));
  size_t i = 0;
  while (i < words.size()) {
    std::string cur = words[i++];
    int64_t width = font.TextWidthCodes(cur);
    while (i < words.size() && width < w) {
      const int64_t next = font.TextWidthCodes(words[i]);
      if (width + next > w) break;
      cur += words[i++];
      width += next;
    }
    out.push_back(std::move(cur));
  }
}

int LineSep(const CFont& font, int sep) { return sep < 0 ? font.TextHeight("") : sep; }
}  // namespace

void (*TextColorProvider)(int& color, double& alpha) = DefaultColor;

void GR_Text_Set_Font(int font) { g_font = FontExists(font) ? font : -1; }
int GR_Text_Get_Font() { return g_font; }
void GR_Text_Set_Halign(int align) { g_halign = align >= 0 && align <= 2 ? align : 0; }
void GR_Text_Set_Valign(int align) { g_valign = align >= 0 && align <= 2 ? align : 0; }
int GR_Text_Get_Halign() { return g_halign; }
int GR_Text_Get_Valign() { return g_valign; }

const CFont& GR_Text_Font() {
  if (const CFont* f = GetFont(g_font)) return *f;
  std::unique_ptr<CFont>& def = DefaultFont();
  if (!def) {
    def = std::make_unique<CFont>();
    def->CreateFont("Arial", 12, false, false, 32, 127);
  }
  // Measuring may come before there is a device to hold the atlas.
  if (def->s_tex < 0 && GR_D3D_Exists()) def->InitTexture();
  return *def;
}

std::vector<std::string> GR_Text_Lines(const CFont& font, const std::string& text, int w) {
  std::vector<std::string> lines;
  const std::string flat = ResolveBreaks(text);
  size_t start = 0;
  while (start < flat.size()) {
    size_t end = flat.find(kBreak, start);
    if (end == std::string::npos) end = flat.size();
    // Breaks are ASCII and found before conversion: a byte of a multi-byte
    // character can look like "\" in some code pages.
    std::string codes = font.ConvertText(flat.substr(start, end - start));
    if (w < 0 || codes.empty()) lines.push_back(std::move(codes));
    else Wrap(font, codes, w, lines);
    start = end + 1;
  }
  return lines;
}

int GR_Text_Width(const std::string& text, int, int w) {
  const CFont& font = GR_Text_Font();
  int width = 1;
  for (const std::string& line : GR_Text_Lines(font, text, w)) width = std::max(width, font.TextWidthCodes(line));
  return width;
}

double GR_Text_Height(const std::string& text, int sep, int w) {
  const CFont& font = GR_Text_Font();
  const size_t n = GR_Text_Lines(font, text, w).size();
  if (n == 0) return 1;
  return double(font.TextHeight("")) + double(LineSep(font, sep)) * double(n - 1);
}

RTextColors GR_Text_Draw_Colors() {
  RTextColors c;
  TextColorProvider(c.color, c.alpha);
  return c;
}

void GR_Text_Draw(double x, double y, const std::string& text, int sep, int w, const RTextColors& colors) {
  const CFont& font = GR_Text_Font();
  const std::vector<std::string> lines = GR_Text_Lines(font, text, w);
  sep = LineSep(font, sep);
  // Whole pixels, the half rounded toward zero; in 64 bits, as sep can be
  // any integer the game gives.
  const int64_t total = int64_t(lines.size()) * sep;
  if (g_valign == 1) y -= double(total / 2);
  else if (g_valign == 2) y -= double(total);
  for (size_t i = 0; i < lines.size(); ++i) {
    const int width = g_halign == 0 ? 0 : font.TextWidthCodes(lines[i]);
    const double dx = g_halign == 1 ? -double(width / 2) : -double(width);
    const double lx = x + dx, ly = y + double(i) * sep;
    if (colors.gradient)
      font.Draw_String_Color(lx, ly, lines[i], colors.c[0], colors.c[1], colors.c[2], colors.c[3], colors.alpha);
    else
      font.Draw_String(lx, ly, lines[i], colors.color, colors.alpha);
  }
}

void GR_Text_Draw_Transformed(double x, double y, const std::string& text, int sep, int w, double xscale,
                              double yscale, double angle, const RTextColors& colors) {
  const CFont& font = GR_Text_Font();
  const std::vector<std::string> lines = GR_Text_Lines(font, text, w);
  sep = LineSep(font, sep);
  const double a = angle * std::numbers::pi / 180, s = std::sin(a), c = std::cos(a);
  const double sx = s * yscale * sep, sy = c * yscale * sep;
  const double n = double(lines.size());
  if (g_valign == 1) {
    x -= std::nearbyint(n * sx / 2);
    y -= std::nearbyint(n * sy / 2);
  } else if (g_valign == 2) {
    x -= std::nearbyint(n * sx);
    y -= std::nearbyint(n * sy);
  }
  for (const std::string& line : lines) {
    double d = 0;
    if (g_halign != 0) {
      const double width = xscale * font.TextWidthCodes(line);
      d = -std::nearbyint(g_halign == 1 ? width / 2 : width);
    }
    const double lx = x + d * c, ly = y - d * s;
    if (colors.gradient)
      font.Draw_String_Transformed_Color(lx, ly, line, xscale, yscale, angle, colors.c[0], colors.c[1],
                                         colors.c[2], colors.c[3], colors.alpha);
    else
      font.Draw_String_Transformed(lx, ly, line, xscale, yscale, angle, colors.color, colors.alpha);
    x += sx;
    y += sy;
  }
}

void GR_Text_Reset() {
  g_font = -1;
  g_halign = g_valign = 0;
  DefaultFont().reset();
}
