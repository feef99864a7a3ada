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

class CFont {
 public:
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
  int s_tex = -1;
  int s_FontHeight = 0;

  void Clear();
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
};
