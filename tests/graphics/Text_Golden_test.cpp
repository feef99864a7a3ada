// Text end to end: tests/games/draw_text packed and played headless, its
// frame compared with the reference picture and a few pixels worked out by
// hand from the pixel font (tests/games/draw_text/fonts: 5 x 7 capitals in
// 6 x 8 cells, advancing by ink width + 1), and the default font's frame.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>

#include "../Test_Process.h"
#include "graphics/BM32_Bitmap.h"

namespace {
const std::string kBin = ROOMRUN_BIN_DIR;
const std::string kGames = std::string(ROOMRUN_SOURCE_DIR) + "/tests/games/";

using testproc::Capture;
using testproc::ROutput;

int Rgb(const TBitmap32& bm, int x, int y) {
  const TColor32 c = bm.GetPixel(x, y);
  return (C32_Red(c) << 16) | (C32_Green(c) << 8) | C32_Blue(c);
}

// Every pixel within one step per channel (llvmpipe's rounding).
::testing::AssertionResult SamePicture(const TBitmap32& got, const TBitmap32& want) {
  if (got.s_w != want.s_w || got.s_h != want.s_h) return ::testing::AssertionFailure() << "size differs";
  int bad = 0;
  std::string where;
  for (int y = 0; y < got.s_h; ++y)
    for (int x = 0; x < got.s_w; ++x) {
      const TColor32 a = got.GetPixel(x, y), b = want.GetPixel(x, y);
      const int d = std::max({std::abs(C32_Red(a) - C32_Red(b)), std::abs(C32_Green(a) - C32_Green(b)),
                              std::abs(C32_Blue(a) - C32_Blue(b))});
      if (d > 1 && ++bad <= 5) where += " (" + std::to_string(x) + "," + std::to_string(y) + ")";
    }
  if (bad == 0) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << bad << " pixels differ, first at" << where;
}

class TextGoldenTest : public testproc::ScratchDirTest {};

TEST_F(TextGoldenTest, AlignmentBreaksWrappingScaleTurnAndColoursMatchTheReference) {
  const std::string game = (dir_ / "game.bin").string();
  ROutput r = Capture(kBin + "/roompack " + kGames + "draw_text -o " + game + " 2>&1");
  ASSERT_EQ(r.status, 0) << r.out;
  r = Capture("cd " + dir_.string() + " && " + kBin +
              "/roomrun --fast --headless --steps 2 --screenshot 1:main.png --screenshot 2:default.png " + game +
              " 2>&1");
  ASSERT_EQ(r.status, 0) << r.out;
  // string_width("LEFT"): 4 x 6; string_height("A#B"): 2 x 8; the wrapped
  // text: "KNOWN " is the widest line (5 x 6 + 3), 4 lines 10 apart below
  // the first's 8; the empty text: 1 and 1.
  ASSERT_EQ(r.out.substr(0, r.out.find('\n')), "24 16 33 38 1 1") << r.out;
  // The default font (Arial, here its metric twin Liberation Sans, 12 points
  // at 96 dots per inch): "Hello, world!" about 90 wide, 16-20 high.
  int dw = 0, dh = 0;
  ASSERT_EQ(std::sscanf(r.out.c_str() + r.out.find('\n') + 1, "%d %d", &dw, &dh), 2) << r.out;
  EXPECT_GT(dw, 75);
  EXPECT_LT(dw, 105);
  EXPECT_GE(dh, 16);
  EXPECT_LE(dh, 20);

  TBitmap32 main;
  ASSERT_TRUE(main.LoadFromImageFile((dir_ / "main.png").string()));
  ASSERT_EQ(main.s_w, 160);
  const int bg = 0xC0C0C0, ink = 0x000000;
  struct RPixel {
    int x, y, rgb;
    const char* why;
  };
  const RPixel pixels[] = {
      {4, 5, ink, "L of LEFT: column 0 of row 1"},
      {5, 5, bg, "L: its second column is empty"},
      {62, 4, bg, "CENTER (36 wide) starts at 80 - 18 = 62; C's row 0 is .###."},
      {63, 4, ink, "C, row 0, column 1"},
      {127, 4, bg, "RIGHT (28 wide) ends at 156: it starts at 128"},
      {128, 4, ink, "R, row 0, column 0"},
      {4, 19, bg, "MID#DLE in the middle of y 28: two lines of 8, so it starts at 20"},
      {4, 20, ink, "M, row 0"},
      {4, 29, ink, "D of DLE, row 1, at 28 + 1"},
      {40, 20, ink, "BOTTOM at the bottom of y 28: one line of 8 from 20"},
      {10, 52, bg, "B#C: B is 6 wide, the # glyph's row 0 is .#.#."},
      {11, 52, ink, "the literal #"},
      {4, 60, bg, "A#B\\#C##D: the third line is empty"},
      {4, 68, ink, "D on the fourth line"},
      {40, 50, ink, "KNOWN on the wrapped text's second line, 10 below"},
      {40, 70, ink, "WRAP on the fourth"},
      {111, 40, ink, "2.5 shows as 2.50: the 2, row 0, column 1"},
      {116, 45, ink, "the point after the 2 (advance 6), row 5"},
      {119, 40, ink, "the 5 after the point (advance 3)"},
      {110, 50, ink, "3 shows as 3"},
      {11, 92, ink, "BIG scaled 2 x 3: B's row 0, columns 0..3 cover x 4..11, y 90..92"},
      {12, 90, bg, "its column 4 is empty"},
      {6, 93, bg, "row 1 (y 93..95) is #...#: x 6..7 empty"},
      {140, 106, ink, "UP turned 90 degrees: texel (4, 0) of U at (140, 110 - 4)"},
      {140, 109, bg, "texel (1, 0) is empty"},
      {146, 109, ink, "texel (1, 6) at (140 + 6, 110 - 1)"},
      {148, 109, ink, "the second line 90 steps 8 to the right"},
      {148, 110, bg, "9's texel (0, 0) is empty"},
  };
  for (const RPixel& p : pixels) EXPECT_EQ(Rgb(main, p.x, p.y), p.rgb) << p.why << " (" << p.x << "," << p.y << ")";
  // GRADIENT (46 wide) from red to blue. G's quad spans x 39.5..44.5 and
  // its right corners carry merge(red, blue, 6 / 46) = (222, 0, 33), so at
  // x 41 (0.3 across) red is 255 - 0.3 x 33 = 245.1 and blue 9.9. T's quad
  // runs from advance 40 (33, 0, 222) to 46 (blue); x 84 is 0.9 across.
  const int g = Rgb(main, 41, 82), t = Rgb(main, 84, 82);
  EXPECT_NEAR(g >> 16, 245, 1);
  EXPECT_NEAR(g & 0xFF, 10, 1);
  EXPECT_NEAR(t >> 16, 3, 1);
  EXPECT_NEAR(t & 0xFF, 252, 1);

  TBitmap32 want;
  ASSERT_TRUE(want.LoadFromImageFile(kGames + "draw_text/expected/main.png"));
  EXPECT_TRUE(SamePicture(main, want));

  // The default font: ink only inside the measured box from (4, 4).
  TBitmap32 def;
  ASSERT_TRUE(def.LoadFromImageFile((dir_ / "default.png").string()));
  int inside = 0, outside = 0;
  for (int y = 0; y < def.s_h; ++y)
    for (int x = 0; x < def.s_w; ++x) {
      if (Rgb(def, x, y) == bg) continue;
      (x >= 4 && x < 4 + dw && y >= 4 && y < 4 + dh ? inside : outside) += 1;
    }
  EXPECT_GT(inside, 100);
  EXPECT_EQ(outside, 0);
}
}  // namespace
