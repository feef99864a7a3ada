// Text drawing and measuring: the line model, alignment, the glyph quads a
// font sends to the device (worked out by hand from a font whose metrics are
// known), gradients, sprite fonts, the default font, the font functions and
// the widths the stored font of a packed game gives.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "../Test_Process.h"
#include "Fake_Device.h"
#include "graphics/Graphics_Draw.h"
#include "graphics/Graphics_Text.h"
#include "resources/Font_Atlas.h"
#include "resources/Font_Main.h"
#include "resources/Sprite_Main.h"
#include "runner/DataNew_Main.h"
#include "script/Code_Error.h"
#include "script/Code_Function.h"

namespace {

// Font 0: characters 32..127, every glyph 4 x 10 at atlas (c % 16 x 8,
// c / 16 x 12) advancing 6, 'i' advancing 3, offset 1 for 'j'; atlas 128 x 128.
CFont TestFont() {
  CFont f;
  f.s_name = "Test";
  f.s_first = 32;
  f.s_last = 127;
  for (int c = 32; c <= 127; ++c) {
    f.s_x[c] = (c % 16) * 8;
    f.s_y[c] = (c / 16) * 12;
    f.s_w[c] = 4;
    f.s_h[c] = 10;
    f.s_shift[c] = 6;
  }
  f.s_shift['i'] = 3;
  f.s_offset['j'] = 1;
  f.s_bw = f.s_bh = 128;
  f.s_bytes.assign(128 * 128, 255);
  f.s_FontHeight = 10;
  return f;
}

class TextTest : public fakedev::FakeDeviceTest {
 protected:
  void SetUp() override {
    FakeDeviceTest::SetUp();
    RegisterBuiltins();
    SetHeadlessErrorChoice(false);
    ErrorResetForTests();
    ClearFonts();
    ClearSprites();
    GR_Text_Reset();
    CFont* f = FontList().Ensure(AddFont());
    *f = TestFont();
    f->InitTexture();
    GR_Text_Set_Font(0);
    log.draws.clear();
  }
  void TearDown() override {
    GR_Text_Reset();
    GR_Draw_Reset_State();
    ClearFonts();
    ClearSprites();
    ErrorResetForTests();
    SetFontRasteriser(nullptr);
    FakeDeviceTest::TearDown();
  }

  RValue Call(const std::string& name, std::vector<RValue> args) { return CallBuiltin(name, std::move(args)); }
  // Top-left corners of the glyph quads drawn, in order.
  std::vector<std::pair<double, double>> Starts() const {
    std::vector<std::pair<double, double>> out;
    for (const auto& d : log.draws) out.emplace_back(d.v[0].x, d.v[0].y);
    return out;
  }
};

using Points = std::vector<std::pair<double, double>>;

TEST_F(TextTest, LinesBreakAtHashesAndLineEndsAndWrapAtSpacesAndHyphens) {
  const CFont& f = *GetFont(0);
  struct RCase {
    std::string text;
    int w;
    std::vector<std::string> lines;
  };
  const RCase cases[] = {
      {"a#b", -1, {"a", "b"}},
      {"a\\#b", -1, {"a#b"}},
      {"a#", -1, {"a"}},
      {"a##b", -1, {"a", "", "b"}},
      {"", -1, {}},
      {"#", -1, {""}},
      {"a\r\nb\nc\rd", -1, {"a", "b", "c", "d"}},
      {"a\\b", -1, {"a\\b"}},  // no other escape
      // 'hello ' is 36 wide; with 'world' it would be 66.
      {"hello world", 40, {"hello ", "world"}},
      {"hello world", 66, {"hello world"}},
      {"well-known", 30, {"well-", "known"}},
      // A word wider than the width stands alone; so does an empty line.
      {"abcdefghijk x", 12, {"abcdefghijk ", "x"}},
      {"a##b c", 7, {"a", "", "b ", "c"}},
      // Once a line reaches the width nothing more is appended.
      {"ab cd", 18, {"ab ", "cd"}},
  };
  for (const RCase& c : cases) {
    SCOPED_TRACE(c.text + " at " + std::to_string(c.w));
    EXPECT_EQ(GR_Text_Lines(f, c.text, c.w), c.lines);
  }
}

TEST_F(TextTest, MeasuringUsesTheWidestLineAndTheSeparation) {
  struct RCase {
    const char* fn;
    std::vector<RValue> args;
    double want;
  };
  const RCase cases[] = {
      {"string_width", {RValue("")}, 1},
      {"string_height", {RValue("")}, 1},
      {"string_width", {RValue("abc#de")}, 18},
      {"string_width", {RValue("iii")}, 9},
      {"string_height", {RValue("abc#de#f")}, 30},
      {"string_height", {RValue("x#")}, 10},
      {"string_width", {RValue(12.0)}, 1},  // a real measures as the empty text
      {"string_width_ext", {RValue("hello world"), RValue(3.0), RValue(40.0)}, 36},
      {"string_height_ext", {RValue("hello world"), RValue(3.0), RValue(40.0)}, 13},
      {"string_height_ext", {RValue("a#b#c"), RValue(-1.0), RValue(-1.0)}, 30},
  };
  for (const RCase& c : cases) {
    SCOPED_TRACE(c.fn);
    EXPECT_EQ(Call(c.fn, c.args).val, c.want);
  }
}

TEST_F(TextTest, GlyphQuadsFollowThePenAndTheAlignment) {
  // 'a' (97) at atlas (8, 72); every quad is its glyph's 4 x 10 part, top-left
  // at the pen plus the offset, moved by -0.5.
  Call("draw_text", {RValue(10.0), RValue(20.0), RValue("aj")});
  ASSERT_EQ(log.draws.size(), 2u);
  const auto& a = log.draws[0];
  EXPECT_EQ(a.tex, GR_Texture_Device_Handle(GetFont(0)->s_tex));
  EXPECT_FLOAT_EQ(a.v[0].x, 9.5f);
  EXPECT_FLOAT_EQ(a.v[0].y, 19.5f);
  EXPECT_FLOAT_EQ(a.v[2].x, 13.5f);
  EXPECT_FLOAT_EQ(a.v[2].y, 29.5f);
  EXPECT_FLOAT_EQ(a.v[0].u, 8.0f / 128);
  EXPECT_FLOAT_EQ(a.v[0].v, 72.0f / 128);
  EXPECT_FLOAT_EQ(a.v[2].u, 12.0f / 128);
  EXPECT_EQ(a.v[0].color, 0xFF000000u);  // the draw colour: black, alpha 1
  EXPECT_FLOAT_EQ(log.draws[1].v[0].x, 10 + 6 + 1 - 0.5f);  // 'j' is offset by 1

  // Centred: the line "iii" (9 wide) starts at x - (9 div 2); right: x - 9.
  // Middle: two lines of 10 lift the text by 10; bottom by 20.
  struct RCase {
    int halign, valign;
    Points first;
  };
  const RCase cases[] = {
      {1, 0, {{95.5, 49.5}, {98.5, 49.5}, {101.5, 49.5}, {96.5, 59.5}}},
      {2, 0, {{90.5, 49.5}, {93.5, 49.5}, {96.5, 49.5}, {93.5, 59.5}}},
      {0, 1, {{99.5, 39.5}, {102.5, 39.5}, {105.5, 39.5}, {99.5, 49.5}}},
      {0, 2, {{99.5, 29.5}, {102.5, 29.5}, {105.5, 29.5}, {99.5, 39.5}}},
      {7, 9, {{99.5, 49.5}, {102.5, 49.5}, {105.5, 49.5}, {99.5, 59.5}}},  // other values: left, top
  };
  for (const RCase& c : cases) {
    SCOPED_TRACE(std::to_string(c.halign) + "," + std::to_string(c.valign));
    log.draws.clear();
    Call("draw_set_halign", {RValue(double(c.halign))});
    Call("draw_set_valign", {RValue(double(c.valign))});
    Call("draw_text", {RValue(100.0), RValue(50.0), RValue("iii#a")});
    EXPECT_EQ(Starts(), c.first);
  }

  // Characters outside the font draw nothing but move the pen (by the
  // space's advance); a real shows as its text.
  Call("draw_set_halign", {RValue(0.0)});
  Call("draw_set_valign", {RValue(0.0)});
  log.draws.clear();
  Call("draw_text", {RValue(0.0), RValue(0.0), RValue("\xC3\xA9" "a")});  // e acute: code 233
  EXPECT_EQ(Starts(), (Points{{5.5, -0.5}}));
  log.draws.clear();
  Call("draw_text", {RValue(0.0), RValue(0.0), RValue(2.5)});
  EXPECT_EQ(log.draws.size(), 4u);  // "2.50"
  log.draws.clear();
  Call("draw_text_ext", {RValue(0.0), RValue(0.0), RValue(3.0), RValue(-1.0), RValue(-1.0)});
  EXPECT_EQ(log.draws.size(), 1u);  // "3"
  // Lines sep apart and wrapped at w.
  log.draws.clear();
  Call("draw_text_ext", {RValue(0.0), RValue(0.0), RValue("ab cd"), RValue(14.0), RValue(18.0)});
  EXPECT_EQ(Starts(), (Points{{-0.5, -0.5}, {5.5, -0.5}, {11.5, -0.5}, {-0.5, 13.5}, {5.5, 13.5}}));
}

// Separations and widths come from the game and its file: sums past the
// integer range saturate or are taken as reals instead of overflowing.
TEST_F(TextTest, HugeSeparationsAndAdvancesStayInRange) {
  EXPECT_EQ(Call("string_height_ext", {RValue("a#b#c"), RValue(2e9), RValue(-1.0)}).val, 10 + 2 * 2e9);
  Call("draw_set_valign", {RValue(2.0)});
  Call("draw_text_ext", {RValue(0.0), RValue(0.0), RValue("a#b"), RValue(2e9), RValue(-1.0)});
  ASSERT_EQ(log.draws.size(), 2u);
  EXPECT_FLOAT_EQ(log.draws[0].v[0].y, float(-2 * 2e9 - 0.5));
  CFont& f = *GetFont(0);
  f.s_shift['a'] = 2147483647;
  f.s_shift['b'] = -2147483647 - 1;
  EXPECT_EQ(Call("string_width", {RValue("aaa")}).val, 2147483647);
  Call("draw_set_halign", {RValue(2.0)});
  Call("draw_set_valign", {RValue(0.0)});
  log.draws.clear();
  Call("draw_text", {RValue(0.0), RValue(0.0), RValue("bb")});
  ASSERT_EQ(log.draws.size(), 2u);
  EXPECT_FLOAT_EQ(log.draws[0].v[0].x, float(2147483648.0 - 0.5));
  Call("draw_text_ext", {RValue(0.0), RValue(0.0), RValue("a a b b"), RValue(-1.0), RValue(2e9)});
}

TEST_F(TextTest, TransformedTextTurnsAboutItsStartAndStepsLinesAlongTheTurn) {
  // 90 degrees: the baseline runs up the screen, the next line lies to the
  // right. The glyph's local corners (-0.5, -0.5) .. (3.5, 9.5) turn into
  // x + ly, y - lx.
  Call("draw_text_transformed", {RValue(100.0), RValue(100.0), RValue("ai#a"), RValue(1.0), RValue(1.0), RValue(90.0)});
  ASSERT_EQ(log.draws.size(), 3u);
  const auto near = [](const RDeviceVertex& v, double x, double y) {
    return std::fabs(v.x - x) < 1e-3 && std::fabs(v.y - y) < 1e-3;
  };
  EXPECT_TRUE(near(log.draws[0].v[0], 99.5, 100.5));
  EXPECT_TRUE(near(log.draws[0].v[2], 109.5, 96.5));
  EXPECT_TRUE(near(log.draws[1].v[0], 99.5, 94.5));   // the pen moved 6 up
  EXPECT_TRUE(near(log.draws[2].v[0], 109.5, 100.5));  // next line: 10 right

  // Scaled 2 x 3, centred: the line's 12 pixels become 24, so it starts 12
  // left; each glyph is 8 x 30 and the pen steps 12.
  log.draws.clear();
  Call("draw_set_halign", {RValue(1.0)});
  Call("draw_set_valign", {RValue(2.0)});  // one line of 10 x 3: 30 up
  Call("draw_text_transformed", {RValue(100.0), RValue(100.0), RValue("ab"), RValue(2.0), RValue(3.0), RValue(0.0)});
  ASSERT_EQ(log.draws.size(), 2u);
  EXPECT_TRUE(near(log.draws[0].v[0], 87.5, 69.5));
  EXPECT_TRUE(near(log.draws[0].v[2], 95.5, 99.5));
  EXPECT_TRUE(near(log.draws[1].v[0], 99.5, 69.5));
}

// Plain text is drawn in the draw colour and alpha of the moment; the _color
// forms keep their own colours whatever the draw colour.
TEST_F(TextTest, PlainTextTakesTheDrawColourAndAlpha) {
  Call("draw_set_color", {RValue(255.0)});  // red
  Call("draw_set_alpha", {RValue(0.5)});
  Call("draw_text", {RValue(0.0), RValue(0.0), RValue("a")});
  Call("draw_text_transformed", {RValue(0.0), RValue(0.0), RValue("a"), RValue(2.0), RValue(2.0), RValue(30.0)});
  Call("draw_text_ext", {RValue(0.0), RValue(0.0), RValue("a"), RValue(-1.0), RValue(-1.0)});
  ASSERT_EQ(log.draws.size(), 3u);
  for (const auto& d : log.draws)
    for (int k = 0; k < 4; ++k) EXPECT_EQ(d.v[k].color, 0x80FF0000u);

  // A later change shows in the next text, not only in the first.
  log.draws.clear();
  Call("draw_set_color", {RValue(16711680.0)});  // blue
  Call("draw_set_alpha", {RValue(1.0)});
  Call("draw_text", {RValue(0.0), RValue(0.0), RValue("a")});
  Call("draw_text_color", {RValue(0.0), RValue(0.0), RValue("a"), RValue(65280.0), RValue(65280.0),
                           RValue(65280.0), RValue(65280.0), RValue(1.0)});
  ASSERT_EQ(log.draws.size(), 2u);
  EXPECT_EQ(log.draws[0].v[0].color, 0xFF0000FFu);
  EXPECT_EQ(log.draws[1].v[0].color, 0xFF00FF00u);  // green, not the draw colour
}

TEST_F(TextTest, GradientsSpreadOverTheWholeLine) {
  // "ai": 9 wide. 'a' spans advances 0..6, 'i' 6..9; c1 red, c2 blue on
  // top, c4 green, c3 white below.
  const double red = 255, blue = 16711680, green = 65280, white = 16777215;
  Call("draw_text_color", {RValue(0.0), RValue(0.0), RValue("ai"), RValue(red), RValue(blue), RValue(white),
                           RValue(green), RValue(0.5)});
  ASSERT_EQ(log.draws.size(), 2u);
  // merge at 6 / 9: round(255 / 3) = 85 of the first, 170 of the second.
  // Vertex colours are 0xAARRGGBB with alpha round(0.5 x 255) = 128.
  EXPECT_EQ(log.draws[0].v[0].color, 0x80FF0000u);
  EXPECT_EQ(log.draws[0].v[1].color, 0x805500AAu);
  EXPECT_EQ(log.draws[0].v[2].color, 0x80AAFFAAu);
  EXPECT_EQ(log.draws[0].v[3].color, 0x8000FF00u);
  EXPECT_EQ(log.draws[1].v[0].color, 0x805500AAu);
  EXPECT_EQ(log.draws[1].v[1].color, 0x800000FFu);
  EXPECT_EQ(log.draws[1].v[2].color, 0x80FFFFFFu);
  // The transformed form gives the same colours.
  log.draws.clear();
  Call("draw_text_ext_transformed_color", {RValue(0.0), RValue(0.0), RValue("ai"), RValue(-1.0), RValue(-1.0),
                                           RValue(1.0), RValue(1.0), RValue(45.0), RValue(red), RValue(blue),
                                           RValue(white), RValue(green), RValue(1.0)});
  ASSERT_EQ(log.draws.size(), 2u);
  EXPECT_EQ(log.draws[0].v[1].color, 0xFF5500AAu);
}

TEST_F(TextTest, SpriteFontsDrawFramesAndFollowTheirSprite) {
  // Sprite 0: three 8 x 10 frames, origin (2, 3); frame 1 has ink in
  // columns 3..5.
  CSprite* s = SpriteList().Ensure(AddSprite());
  for (int i = 0; i < 3; ++i) {
    TBitmap32 bm(8, 10);
    if (i == 1)
      for (int x = 3; x <= 5; ++x) bm.SetPixel(x, 4, 0xFF000000u);
    s->AddFromBitmap(bm, 0, false);
  }
  s->i_xorig = 2;
  s->i_yorig = 3;
  s->InitTexture();
  const RValue ind = Call("font_add_sprite", {RValue(0.0), RValue(65.0), RValue(1.0), RValue(2.0)});
  EXPECT_EQ(ind.val, 1);
  EXPECT_EQ(Call("font_get_first", {RValue(1.0)}).val, 65);
  EXPECT_EQ(Call("font_get_last", {RValue(1.0)}).val, 67);
  Call("draw_set_font", {RValue(1.0)});
  // 'B' is frame 1: offset -3, so the frame's left edge is 3 left of the
  // pen, and the origin applies: (10 - 3 - 2, 20 - 3).
  log.draws.clear();
  Call("draw_text", {RValue(10.0), RValue(20.0), RValue("B")});
  ASSERT_EQ(log.draws.size(), 1u);
  EXPECT_EQ(log.draws[0].tex, GR_Texture_Device_Handle(s->i_tex[1]));
  EXPECT_FLOAT_EQ(log.draws[0].v[0].x, 4.5f);
  EXPECT_FLOAT_EQ(log.draws[0].v[0].y, 16.5f);
  EXPECT_EQ(Call("string_width", {RValue("B")}).val, 4);  // ink 3 + sep 2 - 1
  // The _color form draws the whole frame without the origin.
  log.draws.clear();
  Call("draw_text_color", {RValue(10.0), RValue(20.0), RValue("B"), RValue(0.0), RValue(0.0), RValue(0.0),
                           RValue(0.0), RValue(1.0)});
  ASSERT_EQ(log.draws.size(), 1u);
  EXPECT_FLOAT_EQ(log.draws[0].v[0].x, 6.5f);
  EXPECT_FLOAT_EQ(log.draws[0].v[0].y, 19.5f);
  // Without its sprite the font draws nothing, and nothing breaks.
  DeleteSprite(0);
  log.draws.clear();
  Call("draw_text", {RValue(10.0), RValue(20.0), RValue("ABC")});
  EXPECT_TRUE(log.draws.empty());
}

TEST_F(TextTest, FontFunctionsAddReplaceAndDeleteWithTheirErrors) {
  // A rasteriser whose glyphs are all 3 x 5, advancing 4.
  class CBlocks : public IFontRasteriser {
   public:
    bool Select(const std::string&, int, bool, bool, int) override { return true; }
    RFontMetrics Metrics() override { return {5, 6, 4, 4}; }
    RGlyph Glyph(int) override {
      RGlyph g;
      g.has_bitmap = true;
      g.w = 3;
      g.h = 5;
      g.oy = 5;
      g.advance = 4;
      g.bits.assign(4 * 5, 64);
      return g;
    }
  };
  SetFontRasteriser(std::make_unique<CBlocks>());
  const int live = int(log.textures.size());
  const RValue ind = Call("font_add", {RValue("Blocks"), RValue(9.0), RValue(1.0), RValue(0.0), RValue(40.0), RValue(300.0)});
  ASSERT_EQ(ind.val, 1);
  EXPECT_EQ(int(log.textures.size()), live + 1);  // the atlas became a texture
  EXPECT_EQ(Call("font_get_name", {RValue(1.0)}).str, "__newfont1");
  EXPECT_EQ(Call("font_name", {RValue(1.0)}).str, "__newfont1");
  EXPECT_EQ(Call("font_get_fontname", {RValue(1.0)}).str, "Blocks");
  EXPECT_EQ(Call("font_get_size", {RValue(1.0)}).val, 9);
  EXPECT_EQ(Call("font_get_bold", {RValue(1.0)}).val, 1);
  EXPECT_EQ(Call("font_get_italic", {RValue(1.0)}).val, 0);
  EXPECT_EQ(Call("font_get_first", {RValue(1.0)}).val, 40);
  EXPECT_EQ(Call("font_get_last", {RValue(1.0)}).val, 255);
  Call("draw_set_font", {RValue(1.0)});
  EXPECT_EQ(Call("string_width", {RValue("ABC")}).val, 12);

  // Replacing keeps the name and frees the old texture.
  const unsigned old = GR_Texture_Device_Handle(GetFont(1)->s_tex);
  EXPECT_EQ(Call("font_replace", {RValue(1.0), RValue("Other"), RValue(20.0), RValue(0.0), RValue(1.0), RValue(32.0),
                                  RValue(127.0)}).val, 1);
  EXPECT_EQ(Call("font_get_name", {RValue(1.0)}).str, "__newfont1");
  EXPECT_EQ(Call("font_get_italic", {RValue(1.0)}).val, 1);
  EXPECT_EQ(log.textures.count(old), 0u);
  EXPECT_EQ(int(log.textures.size()), live + 1);

  // Deleting frees it; the current font falls back to the default font.
  EXPECT_EQ(Call("font_delete", {RValue(1.0)}).val, 1);
  EXPECT_EQ(int(log.textures.size()), live);
  EXPECT_EQ(Call("font_exists", {RValue(1.0)}).val, 0);
  EXPECT_EQ(Call("font_get_name", {RValue(1.0)}).str, "<undefined>");
  EXPECT_EQ(Call("font_get_fontname", {RValue(1.0)}).str, "");
  EXPECT_EQ(Call("font_get_size", {RValue(1.0)}).val, -1);
  EXPECT_EQ(&GR_Text_Font(), &GR_Text_Font());
  EXPECT_NE(&GR_Text_Font(), GetFont(0));
  EXPECT_EQ(GR_Text_Font().s_name, "Arial");  // made by the same rasteriser
  EXPECT_EQ(GR_Text_Font().s_last, 127);
  Call("draw_set_font", {RValue(7.0)});  // no such font: the default font
  EXPECT_EQ(GR_Text_Get_Font(), -1);

  struct RCase {
    const char* fn;
    std::vector<RValue> args;
    const char* error;
  };
  const RCase cases[] = {
      {"font_add_sprite", {RValue(5.0), RValue(32.0), RValue(0.0), RValue(0.0)},
       "Trying to create font from non-existing sprite."},
      {"font_replace", {RValue(9.0), RValue("A"), RValue(9.0), RValue(0.0), RValue(0.0), RValue(32.0), RValue(64.0)},
       "Trying to replace non-existing font."},
      {"font_replace_sprite", {RValue(9.0), RValue(0.0), RValue(32.0), RValue(0.0), RValue(0.0)},
       "Trying to replace non-existing font."},
      {"font_replace_sprite", {RValue(0.0), RValue(5.0), RValue(32.0), RValue(0.0), RValue(0.0)},
       "Trying to replace font from non-existing sprite."},
      {"font_delete", {RValue(1.0)}, "Trying to delete non-existing font."},
  };
  const int count = FontCount();
  for (const RCase& c : cases) {
    SCOPED_TRACE(c.fn);
    error_last.clear();
    EXPECT_EQ(Call(c.fn, c.args).val, 0);
    EXPECT_NE(error_last.find(c.error), std::string::npos) << error_last;
  }
  EXPECT_EQ(FontCount(), count);  // nothing was added
  EXPECT_EQ(GetFont(0)->s_name, "Test");  // nor replaced
}

// A font name no installed font has: fontconfig's nearest font stands in, as
// the desktop the games were made for substitutes one; text still measures.
TEST_F(TextTest, AMissingSystemFontFallsBackToAnInstalledOne) {
  SetFontRasteriser(nullptr);
  const RValue ind = Call("font_add", {RValue("No Such Font 3f9a"), RValue(12.0), RValue(0.0), RValue(0.0),
                                       RValue(32.0), RValue(127.0)});
  Call("draw_set_font", {ind});
  EXPECT_GT(Call("string_width", {RValue("Hello")}).val, 10);
  EXPECT_GT(Call("string_height", {RValue("Hello")}).val, 8);
  log.draws.clear();
  Call("draw_text", {RValue(0.0), RValue(0.0), RValue("Hi")});
  EXPECT_EQ(log.draws.size(), 2u);
}

// The stored font of the text fixture: each glyph's width as measured is
// the advance its record says, and so a sample string is their sum. The
// picture font has ink 5 wide for most capitals, 3 for I, 4 for '-', 2 for
// '.', one pixel of spacing, and 2 + 1 for empty cells such as the space.
class StoredFontTest : public TextTest {
 protected:
  std::filesystem::path dir;
  void SetUp() override {
    TextTest::SetUp();
    std::string pattern = (std::filesystem::temp_directory_path() / "rr_text_XXXXXX").string();
    dir = mkdtemp(pattern.data());
  }
  void TearDown() override {
    ClearGameData();
    std::filesystem::remove_all(dir);
    TextTest::TearDown();
  }
};

TEST_F(StoredFontTest, GlyphWidthsAreTheRecordsAdvances) {
  const std::string game = (dir / "g.bin").string();
  const auto r = testproc::Capture(std::string(ROOMRUN_BIN_DIR) + "/roompack " + ROOMRUN_SOURCE_DIR +
                                   "/tests/games/draw_text -o " + game + " 2>&1");
  ASSERT_EQ(r.status, 0) << r.out;
  ASSERT_TRUE(OpenGameFile(game));
  const int fi = FindFont("fnt_pixel");
  ASSERT_GE(fi, 0);
  CFont& f = *GetFont(fi);
  f.InitTexture();
  Call("draw_set_font", {RValue(double(fi))});
  ASSERT_EQ(f.s_first, 32);
  ASSERT_EQ(f.s_last, 95);  // every cell of the 16 x 4 grid
  EXPECT_EQ(f.s_FontHeight, 8);
  for (int c = f.s_first; c <= f.s_last; ++c) {
    SCOPED_TRACE(c);
    // "#" alone is a line break; "\#" is the character.
    const std::string text = c == '#' ? "\\#" : std::string(1, char(c));
    EXPECT_EQ(Call("string_width", {RValue(text)}).val, std::max(f.s_shift[c], 1));
  }
  const struct {
    char c;
    int shift;
  } known[] = {{'A', 6}, {'I', 4}, {'1', 4}, {'-', 5}, {'.', 3}, {' ', 3}, {'!', 3}};
  for (const auto& k : known) EXPECT_EQ(f.s_shift[size_t(k.c)], k.shift) << k.c;

  const std::string sample = "HI THERE-1.";
  int sum = 0;
  for (char c : sample) sum += f.s_shift[size_t(c)];
  EXPECT_EQ(sum, 6 + 4 + 3 + 6 * 5 + 5 + 4 + 3);
  EXPECT_EQ(Call("string_width", {RValue(sample)}).val, sum);
  EXPECT_EQ(Call("string_height", {RValue(sample)}).val, 8);
  // Drawn, each glyph is its record's atlas part at the pen.
  log.draws.clear();
  Call("draw_text", {RValue(0.0), RValue(0.0), RValue(sample)});
  ASSERT_EQ(log.draws.size(), sample.size());
  const RTexture& t = GR_Texture_List()[size_t(f.s_tex)];
  int pen = 0;
  for (size_t k = 0; k < sample.size(); ++k) {
    const unsigned char c = static_cast<unsigned char>(sample[k]);
    SCOPED_TRACE(sample[k]);
    EXPECT_FLOAT_EQ(log.draws[k].v[0].x, float(pen + f.s_offset[c]) - 0.5f);
    EXPECT_FLOAT_EQ(log.draws[k].v[2].x - log.draws[k].v[0].x, float(f.s_w[c]));
    EXPECT_FLOAT_EQ(log.draws[k].v[0].u, float(f.s_x[c]) / float(t.wt));
    pen += f.s_shift[c];
  }
}

}  // namespace
