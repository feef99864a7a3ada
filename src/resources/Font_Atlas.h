#pragma once
// Building the glyph atlas of a font created at run time from an installed
// font. The glyphs come from a rasteriser behind this interface, so that the
// layout does not depend on the font library.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct RFontMetrics {
  int ascent = 0;
  int height = 0;
  int avgwidth = 0;
  int maxwidth = 0;
};

struct RGlyph {
  bool has_bitmap = false;  // false for empty glyphs such as the space
  int w = 0, h = 0;         // ink box
  int ox = 0, oy = 0;       // glyph origin: x from the pen, y up from the baseline
  int advance = 0;          // cell advance
  // Grey levels 0..64, rows of ((w + 3) & ~3) bytes, top to bottom.
  std::vector<uint8_t> bits;
};

class IFontRasteriser {
 public:
  virtual ~IFontRasteriser() = default;
  // Selects a font; false when it cannot be found or opened.
  virtual bool Select(const std::string& name, int size, bool bold, bool italic, int charset) = 0;
  virtual RFontMetrics Metrics() = 0;
  // The glyph of a character code of the font's code page.
  virtual RGlyph Glyph(int code) = 0;
};

// The rasteriser used by CFont::CreateFont: the installed-font rasteriser
// unless another was set (null restores it).
IFontRasteriser* FontRasteriser();
void SetFontRasteriser(std::unique_ptr<IFontRasteriser> r);

// Lays out glyphs of the given sizes left to right in rows, 2 pixels apart;
// false when they do not fit in w x h. Positions go to xs, ys when given.
bool LayoutGlyphs(const std::vector<std::pair<int, int>>& sizes, int w, int h, std::vector<int>* xs = nullptr,
                  std::vector<int>* ys = nullptr);
// The atlas size: from 2048 x 2048, halving height then width while the
// glyphs still fit; the last size that fitted.
void ChooseAtlasSize(const std::vector<std::pair<int, int>>& sizes, int& w, int& h);
