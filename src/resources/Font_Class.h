#pragma once
// Fonts: stored glyph rectangles and metrics plus an 8-bit coverage atlas
// (bitmap fonts), or glyphs taken from the frames of a sprite (sprite fonts).
#include <array>
#include <cstdint>
#include <string>
#include <vector>

class CStream;

// The code page of a character set number (1252 for the default set and any
// number without its own page).
int CharsetCodePage(int charset);

// The stored part of a font: everything but its texture, so that a copy of
// the data never shares a texture with the original.
struct RFontData {
  std::string s_name;
  int s_size = 12;
  bool s_bold = false;
  bool s_italic = false;
  int s_charset = 1;
  int s_AntiAlias = 3;
  int s_first = 32;
  int s_last = 128;
  int s_spr = -1;
  std::array<int, 256> s_x{}, s_y{}, s_w{}, s_h{};
  std::array<int, 256> s_shift{};
  std::array<int, 256> s_offset{};
  int s_bw = 0;
  int s_bh = 0;
  std::vector<uint8_t> s_bytes;
  int s_FontHeight = 0;
};

class CFont : public RFontData {
 public:
  int s_tex = -1;  // the atlas texture, owned by the font

  // A font owns its texture: a copy makes its own, a move hands it over,
  // clearing or destroying frees it.
  CFont() = default;
  CFont(const CFont& obj) { Assign(obj); }
  CFont(CFont&& obj) noexcept;
  CFont& operator=(const CFont& obj) {
    Assign(obj);
    return *this;
  }
  CFont& operator=(CFont&& obj) noexcept;
  ~CFont() { FreeTexture(); }

  void Clear();
  // Copies everything (the atlas only for bitmap fonts), then makes the
  // texture.
  void Assign(const CFont& obj);
  bool IsSpriteFont() const { return s_spr >= 0; }

  // Record: version 800, name, size, bold, italic, packed range start, last,
  // 256 x (x, y, w, h, shift, offset), atlas size and the atlas bytes.
  bool LoadFromStream(CStream& str);
  void SaveToStream(CStream& str) const;

  // A font rendered from an installed font through the rasteriser of
  // Font_Atlas.h; a font that cannot be found leaves it without glyphs.
  void CreateFont(const std::string& name, int size, bool bold, bool italic, int first, int last);
  // Glyphs from the frames of sprite ind; the font stays cleared when the
  // sprite does not exist.
  void CreateFromSprite(int ind, int first, bool prop, int sep);

  // Advance of one character code.
  int CharShift(int c) const;
  // The character codes of a UTF-8 text in the font's code page: one code
  // per byte; characters the code page lacks become "?".
  std::string ConvertText(const std::string& utf8) const;
  // Width of a UTF-8 text, and of text already given as character codes.
  int TextWidth(const std::string& utf8) const { return TextWidthCodes(ConvertText(utf8)); }
  int TextWidthCodes(const std::string& codes) const;
  int TextHeight(const std::string&) const { return s_FontHeight; }

  // The atlas texture of a bitmap font with a name (white texels, coverage
  // as alpha); none without a render device. Sprite fonts have none.
  void InitTexture();
  void FreeTexture();

  // One line of character codes from (x, y), the pen moving right; each
  // glyph's top-left at the pen plus its offset. Colours are colour
  // integers; angles in degrees. The _Color forms spread c1 .. c4 as a
  // horizontal gradient over the whole line (c1 top-left, c2 top-right,
  // c3 bottom-right, c4 bottom-left).
  void Draw_String(double x, double y, const std::string& codes, int col, double alpha) const;
  void Draw_String_Transformed(double x, double y, const std::string& codes, double xsc, double ysc, double angle,
                               int col, double alpha) const;
  void Draw_String_Color(double x, double y, const std::string& codes, int c1, int c2, int c3, int c4,
                         double alpha) const;
  void Draw_String_Transformed_Color(double x, double y, const std::string& codes, double xsc, double ysc,
                                     double angle, int c1, int c2, int c3, int c4, double alpha) const;

 private:
  void DrawLine(double x, double y, const std::string& codes, double xsc, double ysc, double angle, int col,
                const int* corners, double alpha) const;
};
