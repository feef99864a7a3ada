// The atlas builder of run-time fonts, fed by a rasteriser with made-up
// glyphs whose layout can be worked out by hand.
#include <gtest/gtest.h>

#include "resources/Font_Atlas.h"
#include "resources/Font_Class.h"

namespace {

// Ascent 5; every glyph c other than the space is (c % 5 + 1) x 4 of level
// 64, its top 3 above the baseline; code 33 starts 1 pixel left of the pen.
class FakeRasteriser : public IFontRasteriser {
 public:
  bool fail = false;
  bool Select(const std::string&, int, bool, bool, int) override { return !fail; }
  RFontMetrics Metrics() override { return {5, 7, 4, 6}; }
  RGlyph Glyph(int c) override {
    RGlyph g;
    if (c == 32) {
      g.advance = 3;
      return g;
    }
    g.has_bitmap = true;
    g.w = c % 5 + 1;
    g.h = 4;
    g.ox = c == 33 ? -1 : 0;
    g.oy = 3;
    g.advance = g.w + 1;
    g.bits.assign(size_t((g.w + 3) & ~3) * 4, 64);
    return g;
  }
};

TEST(FontAtlasTest, GlyphMetricsLayoutAndPixels) {
  SetFontRasteriser(std::make_unique<FakeRasteriser>());
  CFont f;
  f.CreateFont("Fake Sans", 10, true, false, 32, 34);
  EXPECT_EQ(f.s_name, "Fake Sans");
  EXPECT_TRUE(f.s_bold);
  // Height of a glyph: ascent + ink height - origin y = 5 + 4 - 3.
  EXPECT_EQ(f.s_h[34], 6);
  EXPECT_EQ(f.s_FontHeight, 6);
  EXPECT_EQ(f.s_w[33], 4);
  EXPECT_EQ(f.s_shift[33], 6);  // advance 5 less the origin -1
  EXPECT_EQ(f.s_offset[33], -1);
  // The space has no bitmap: its width is its advance, its height the font's.
  EXPECT_EQ(f.s_w[32], 3);
  EXPECT_EQ(f.s_shift[32], 3);
  EXPECT_EQ(f.s_h[32], 6);
  // Largest first: 34 (5 x 6), 33 (4 x 6), the space (3 x 6). At 16 pixels
  // wide the space starts a second row, so 16 x 16 is the smallest size.
  EXPECT_EQ(f.s_bw, 16);
  EXPECT_EQ(f.s_bh, 16);
  EXPECT_EQ(f.s_x[34], 0);
  EXPECT_EQ(f.s_x[33], 7);
  EXPECT_EQ(f.s_x[32], 0);
  EXPECT_EQ(f.s_y[32], 8);
  // Glyph 34 is drawn from y = ascent - origin y = 2, level 64 as 255.
  EXPECT_EQ(f.s_bytes[1 * 16 + 0], 0);
  EXPECT_EQ(f.s_bytes[2 * 16 + 0], 255);
  EXPECT_EQ(f.s_bytes[5 * 16 + 4], 255);
  EXPECT_EQ(f.s_bytes[5 * 16 + 5], 0);
  EXPECT_EQ(f.s_bytes[8 * 16 + 0], 0);  // the space leaves no ink
  SetFontRasteriser(nullptr);
}

TEST(FontAtlasTest, SizeSearchAndMissingFonts) {
  int w = 0, h = 0;
  ChooseAtlasSize({}, w, h);
  EXPECT_EQ(w, 1);
  EXPECT_EQ(h, 1);
  ChooseAtlasSize({{3000, 4}}, w, h);  // fits nowhere: the largest size
  EXPECT_EQ(w, 2048);
  EXPECT_EQ(h, 2048);
  std::vector<int> xs, ys;
  EXPECT_TRUE(LayoutGlyphs({{10, 5}, {10, 7}, {10, 3}}, 23, 20, &xs, &ys));
  EXPECT_EQ(xs, (std::vector<int>{0, 12, 0}));
  EXPECT_EQ(ys, (std::vector<int>{0, 0, 9}));

  auto r = std::make_unique<FakeRasteriser>();
  r->fail = true;
  SetFontRasteriser(std::move(r));
  CFont f;
  f.CreateFont("Nowhere", 12, false, false, -5, 300);
  EXPECT_EQ(f.s_first, 0);
  EXPECT_EQ(f.s_last, 255);
  EXPECT_TRUE(f.s_bytes.empty());
  SetFontRasteriser(nullptr);
}

TEST(FontAtlasTest, InstalledFontsRender) {
  SetFontRasteriser(nullptr);
  CFont f;
  f.CreateFont("DejaVu Sans", 12, false, false, 32, 127);
  if (f.s_bw == 0) GTEST_SKIP() << "no installed fonts";
  // 12 points at 96 dpi: 16 pixels; glyphs share one top.
  EXPECT_GT(f.s_FontHeight, 10);
  EXPECT_LT(f.s_FontHeight, 24);
  EXPECT_GT(f.s_shift['W'], f.s_shift['i']);
  EXPECT_GT(f.s_w[32], 0);
  int ink = 0;
  for (uint8_t b : f.s_bytes) ink += b == 255;
  EXPECT_GT(ink, 100);
  EXPECT_LE(f.s_bw, 512);
  EXPECT_EQ(f.TextWidth("Wi"), f.s_shift['W'] + f.s_shift['i']);
}

}  // namespace
